#pragma once
// The two help documents and the maker's home page. The documents are built beside the program
// and installed into the documentation folder; whichever is found first is opened.

#include <QString>
#include <QStringList>
#include <functional>

class MessageBoxes;

namespace HelpFiles {

inline const QString manual = QStringLiteral("Manual.html");
inline const QString readme = QStringLiteral("Readme.html");

// The maker's home page (set when the build is configured).
QString homePage();

// Where `name` is looked for, in order: beside the program, in the documentation folder of the
// prefix the program runs from, in the documentation folder of the configured prefix.
QStringList candidates(const QString& name, const QString& programFolder);

// The first candidate that exists; empty when none does.
QString find(const QString& name, const QString& programFolder);

// Opens the document `name` with `open` (true when a program took it). When the document is
// missing, or nothing on this computer opens it, the user is told where it is or was looked for:
// the desktop reports that failure on standard error only, where nobody reads it.
void show(const QString& name, const QString& programFolder,
          const std::function<bool(const QString& path)>& open, MessageBoxes& messages);
// The same for the home page, whose address the user can then copy into a browser.
void showHomePage(const std::function<bool(const QString& address)>& open, MessageBoxes& messages);

} // namespace HelpFiles
