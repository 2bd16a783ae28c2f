#pragma once
// The help documents and the home page, handed to the desktop. Opening a path and its
// properties are ShellActions'. Failures of the desktop are ignored.

#include <QString>

namespace ShellCommands {

// Opens "Manual.html" or "Readme.html" in the browser.
void openHelp(const QString& name);
void openHomePage();

} // namespace ShellCommands
