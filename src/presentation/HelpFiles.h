#pragma once
// The two help documents and the maker's home page. The documents are built beside the program
// and installed into the documentation folder; whichever is found first is opened.

#include <QString>
#include <QStringList>

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

} // namespace HelpFiles
