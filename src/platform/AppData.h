#pragma once
// Where Quillmot keeps its files, and the few facts about this computer it needs.

#include <QString>

namespace AppData {

// $XDG_CONFIG_HOME/Quillmot (by default ~/.config/Quillmot). Not created here.
QString folder();

// Full path of a store or preference file in the application-data folder.
QString filePath(const QString& name);

// The computer's host name, at most 255 characters, cut at its first NUL.
QString computerName();

} // namespace AppData
