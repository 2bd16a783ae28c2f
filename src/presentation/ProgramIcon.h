#pragma once
// The program's icon as a file, for entries that other programs show (the log-in start entry).
// The build folder has it beside the program; an installed program has it in the hicolor theme
// of the prefix it runs from, under the name of its desktop entry.

#include <QString>

namespace ProgramIcon {

// The icon's name in the theme (the desktop entry's name without ".desktop").
QString themeName();

// The icon beside the program in `programFolder`, else the installed theme's scalable icon;
// empty when neither exists.
QString find(const QString& programFolder);

} // namespace ProgramIcon
