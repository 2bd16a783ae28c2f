#pragma once
// The commands that hand a path or an address to the desktop: Open, Properties, the help
// documents and the home page. Failures of the desktop are ignored: nothing is shown when a path
// cannot be opened.

#include <QString>

namespace ShellCommands {

// Opens a file, folder or drive with its usual program.
void open(const QString& path);
// The file manager's properties of `path`; without a file manager that offers them, the
// folder holding it opens instead.
void showProperties(const QString& path);
// Opens "Manual.html" or "Readme.html" in the browser.
void openHelp(const QString& name);
void openHomePage();

} // namespace ShellCommands
