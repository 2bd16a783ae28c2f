#pragma once
// Starting the program at the user's log-in: a per-user start-up entry that runs the program
// hidden ("nowin"). On Linux it is an XDG autostart entry, $XDG_CONFIG_HOME/autostart/
// Quillmot.desktop. An entry under any name counts when it is enabled and its program, resolved
// to a real path, is this program.

#include <QString>
#include <QStringList>
#include <optional>

namespace StartupShortcut {

inline const QString entryName = QStringLiteral("Quillmot.desktop");
inline const QString description = QStringLiteral("Data Preservation Software");
inline const QString hiddenStartArgument = QStringLiteral("nowin");
// Minimised and not activated; the hidden start itself comes from the argument.
constexpr int showMinimisedNoActivate = 7;

// The per-user start-up folder ($XDG_CONFIG_HOME/autostart).
QString startupFolder();

// Writes one start-up entry at `linkPath` (atomically, replacing a file of that name) that runs
// `target` with `arguments` in `workingDirectory`, with the icon at `iconPath`. Empty optional
// parts are left out. False when `linkPath` or `target` is empty or the write failed.
bool CreateShortcut(const QString& linkPath, const QString& target, const QString& workingDirectory,
                    const QString& arguments, const QString& iconPath, int iconIndex,
                    int showCommand);

// The program an entry starts, as written in it (the first word of its command, unquoted);
// empty when the file is missing, unreadable or its command cannot be read.
QString ReadShortcutTarget(const QString& linkPath);

// True when the start-up folder holds an enabled entry that starts `programPath`.
bool CheckStartup(const QString& programPath);

// Makes the start-up folder match the box: when `wanted`, (re)writes Quillmot.desktop for
// `programPath` with the "nowin" argument and `iconPath`; otherwise deletes every enabled entry
// that starts `programPath`, whatever its name. False when the change could not be made (a
// missing folder that cannot be made, a read-only folder).
bool UpdateStartupShortcut(bool wanted, const QString& programPath, const QString& iconPath);

// The Exec value for a command line, quoted and escaped by the Desktop Entry rules.
QString execValue(const QStringList& command);
// The command line of an Exec value; nullopt when the value is broken (an open quote).
std::optional<QStringList> splitExecValue(const QString& value);

} // namespace StartupShortcut
