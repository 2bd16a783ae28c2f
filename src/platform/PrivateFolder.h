#pragma once
// Folders and files of the user's own that nobody else may read: the configuration folder holds
// every backed-up path and every destination.

#include <QString>

namespace PrivateFolder {

// Makes `path` and each missing folder above it with access for the owner only (0700). Folders
// that exist keep their permissions. True when `path` is a folder afterwards.
bool make(const QString& path);

// Takes group and other access away from `folder` and from every folder and file below it that
// this user owns, so that files an older run left readable by others are private too. Links are
// neither followed nor changed. A folder that does not exist is left alone.
void tighten(const QString& folder);

} // namespace PrivateFolder
