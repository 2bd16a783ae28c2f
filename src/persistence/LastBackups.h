#pragma once
// lastbackup: when each association's newest copy landed, kept across runs so that the tree's
// "Last backup" does not start from "Never" at every log-in. Two lines per association: its
// source path, and the time as ISO 8601 in UTC (a machine's text, read in any locale and zone).

#include "platform/TextFile.h"

#include <QDateTime>
#include <QHash>
#include <QString>

inline const QString lastBackupsFile = QStringLiteral("lastbackup");

TextFile::WriteResult saveLastBackups(const QHash<QString, QDateTime>& bySource,
                                      const QString& folder);

// Empty when the file is missing or unreadable; a pair whose time does not read is skipped.
QHash<QString, QDateTime> loadLastBackups(const QString& folder);
