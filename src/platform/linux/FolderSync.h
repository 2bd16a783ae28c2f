#pragma once
// A new or renamed file is only durable once the folder entry naming it is on the disk too.

#include <QString>

// Flushes the entries of the folder that holds `path` (the current folder for a bare name).
// Best effort: a folder that cannot be opened is left as it is, the file itself is in place.
void syncFolderOf(const QString& path);
