#pragma once
// The copy behind FileSystem::stageCopy and commitCopy: data into a hidden, locked temporary file
// beside the target, permission bits and times from the source, then a rename over the target.

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QString>
#include <functional>

// Fills a fresh temporary file; `tempPath` and `lock` receive it and the descriptor that holds
// its lock (both also set when the copy then failed, for the caller to discard).
CopyResult stageCopyData(const QString& source, const QString& target, QByteArray& tempPath,
                         int& lock, const std::function<bool()>& between);
// Renames the finished temporary file over `target` and flushes the folder.
CopyResult commitStagedCopy(const QByteArray& tempPath, const QByteArray& target);
// See FileSystem::removeStaleTemporaries.
int removeStaleTemps(const QString& folder);
