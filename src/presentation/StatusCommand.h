#pragma once
// `quillmot status`: the running program is asked through its single-instance socket (same
// user only) and answers with one line of JSON; the command prints one line per association and
// ends with 0 when everything enabled is protected (or a change is on its way), 1 otherwise, also
// when no Quillmot runs. It never starts the program.

#include "presentation/ProtectionStatus.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <optional>
#include <vector>

namespace StatusCommand {

inline const QByteArray request = "status";
constexpr int protectedExit = 0;
constexpr int notProtectedExit = 1;

// True when the program is running, something is enabled, and each association that is enabled
// is protected or has a change on its way.
bool everythingProtected(const std::vector<AssociationState>& states, bool paused);

// The running program's answer: one line of JSON.
QByteArray answer(const std::vector<AssociationState>& states, bool paused, const QDateTime& now);
// The answer while the program is still reading its associations: nothing is known protected.
QByteArray startingAnswer();

// What the command prints for an answer, and its exit code. `running` false: no Quillmot of this
// user answered; `text` empty: it answered nothing (an older version, or it was too busy).
struct Printed {
    QStringList lines;
    int exitCode = notProtectedExit;
};
Printed print(bool running, const std::optional<QByteArray>& text);

// Asks the running program of this user, prints its answer on standard output, and returns the
// exit code.
int run();

} // namespace StatusCommand
