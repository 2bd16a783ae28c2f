#pragma once
// The copy behind FileSystem::stageCopy and commitCopy: data into a hidden, locked temporary file
// in the target's folder, permission bits and times from the source, then a rename over the
// target. A symbolic link is staged as a link with the same target text.

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <sys/stat.h>

// Fills a fresh temporary file in the open folder `folder`; `tempName` and `lock` receive its
// name and the descriptor that holds its lock (both also set when the copy then failed, for the
// caller to discard). `flush` makes the written data durable, as fsync does. `batched`: the copy
// is one of a batch whose data is written out together, so a file of one chunk is left to that.
CopyResult stageCopyData(const QString& source, int folder, QByteArray& tempName, int& lock,
                         const std::function<bool()>& between, const std::function<int(int)>& flush,
                         bool batched = false);
// Renames the finished temporary file over `target` in `folder`, and flushes the folder unless
// a batch's flush does that later.
CopyResult commitStagedCopy(int folder, const QByteArray& tempName, const QByteArray& target,
                            bool flushFolder = true);

// Creates a fresh temporary file with Quillmot's own kind of name in `folder`, locked for as long
// as it is open: its descriptor, or -1 (errno).
int createLockedTemporary(int folder, QByteArray& tempName);
// Copies the data of the regular file open as `in` (whose stat is `source`) from its start into
// `out`; holes stay holes. `between` runs after each chunk; false stops (ECANCELED). Each chunk
// is handed to the disk at once, unless `batched` and the file is a single chunk. 0, or -1 with
// errno set.
int copyFileData(int in, int out, const struct stat& source, const std::function<bool()>& between,
                 bool batched = false);
