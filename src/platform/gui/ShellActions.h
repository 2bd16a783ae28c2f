#pragma once
// The desktop's "open" and "properties" of a file or folder.

#include <QString>

namespace ShellActions {
// Opens a file or folder with the desktop's program for it; false when the desktop has no
// program to hand it to.
bool open(const QString& path);
// The file manager's properties window of `path`; without a file manager that offers one, the
// containing folder is opened instead.
void ShowFileProperties(const QString& path);
// The file manager's window of the folder holding `path`, with `path` selected where the file
// manager can do that.
void showInFolder(const QString& path);
} // namespace ShellActions
