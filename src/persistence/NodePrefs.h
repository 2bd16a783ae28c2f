#pragma once
// nprefs: the keys of the tree nodes that were visible, one per line, in tree order.

#include "platform/TextFile.h"
#include <QString>
#include <QStringList>

inline const QString nodePrefsFile = QStringLiteral("nprefs");

// False when it failed.
TextFile::WriteResult saveNodePrefs(const QStringList& visibleNodeKeys, const QString& folder);

// Empty when nprefs is missing or unreadable.
QStringList loadNodePrefs(const QString& folder);
