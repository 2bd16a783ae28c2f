#pragma once
// The help documents and the home page, handed to the desktop; the user is told when nothing
// opened them. Opening a path and its properties are ShellActions'.

#include <QString>

class MessageBoxes;

namespace ShellCommands {

// Opens "Manual.html" or "Readme.html" in the browser.
void openHelp(const QString& name, MessageBoxes& messages);
void openHomePage(MessageBoxes& messages);

} // namespace ShellCommands
