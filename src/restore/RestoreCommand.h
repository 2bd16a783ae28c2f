#pragma once
// The command-line words for scripts and machines without a display: "versions PATH" lists every
// kept copy of a file, one tab-separated line each, and "restore PATH [options]" brings a file
// or a folder back. They read the association store and the backups directly, so they work
// whether or not the tray program runs, and they never start it.

#include <QString>
#include <cstdio>

namespace RestoreCommand {

inline const QString versionsWord = QStringLiteral("versions");
inline const QString restoreWord = QStringLiteral("restore");

// True when `word` (the first argument) is one of these commands.
bool handles(const QString& word);

// Runs the command in `argv[1]` with its arguments; the exit code: 0 when everything asked for
// was done, 1 when something failed (said on `err`), 2 for a command line it cannot take.
// Paths are taken from `argv` byte for byte, so a name that is not UTF-8 still reaches its file.
int run(int argc, char** argv, FILE* out, FILE* err);

// What "--help" says of these commands, one entry each.
QString usage();

} // namespace RestoreCommand
