#pragma once
// The copy behind FileSystem::copyFile: data into a hidden temporary file beside the target,
// permission bits and times from the source, then a rename over the target.

#include "platform/FileSystem.h"

#include <QString>
#include <functional>

CopyResult copyFileAtomically(const QString& source, const QString& target,
                              const std::function<void()>& between);
