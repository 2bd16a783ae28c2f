#pragma once
// What the protection status says: the tree's state and "Last backup" columns and their tool
// tips, the tray's look and tool tip, the lines of `quillmot status` and the notices of states
// that last. Times are told against `now`, so that they read the same in every test.

#include "presentation/ProtectionStatus.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

// The tray icon's look between animations.
enum class TrayLook { Normal, Paused, Warning, PausedWarning };

namespace ProtectionTexts {

// "Protected", "Pending", "Behind", "Paused", "No destination", "Disabled", "Source missing".
QString stateName(Protection protection);
// "not connected", "another disk in its place", "read-only", "full", "failing",
// "not responding".
QString troubleName(Trouble trouble);

// "just now", "5 min ago", "3 h ago", "2 days ago"; "Never" for no time.
QString ago(const QDateTime& then, const QDateTime& now);
// How long since `since`: "5 min", "3 h", "2 days".
QString lasted(const QDateTime& since, const QDateTime& now);
// "14:02" today, "3 Dec 14:02" otherwise, "3 Dec 2025 14:02" in another year.
QString moment(const QDateTime& when, const QDateTime& now);

// The destination's volume label, or its folder where its disk has none.
QString destinationName(const DestinationState& destination);
// "BACKUP_B: not connected since 3 Dec 14:02, 14 files waiting", "BACKUP_C: ok, last copy 2 min
// ago".
QString destinationLine(const DestinationState& destination, const QDateTime& now);
// The state cell's tool tip: one line per destination.
QString destinationsToolTip(const AssociationState& state, const QDateTime& now);
// One association as `quillmot status` prints it.
QString statusLine(const AssociationState& state, const QDateTime& now);

// Whether the association needs the user: behind, without a destination or source, or paused
// with a destination that could not be written anyway.
bool troubled(const AssociationState& state);
TrayLook trayLook(const StatusTally& tally, bool paused);
// "All 12 backed up — last copy 2 min ago", "Paused for 2 h", "2 behind: BACKUP_B not connected
// for 3 days", "11 of 12 backed up", under the program's name.
QString trayToolTip(const StatusTally& tally, bool paused, const QDateTime& pausedSince,
                    const QDateTime& now);

// The notices of states that last.
inline const QString pausedSummary = QStringLiteral("Quillmot is paused");
QString pausedBody(bool restoredAtStart, const QDateTime& since, const QDateTime& now);
inline const QString noDestinationSummary = QStringLiteral("Nothing is backed up");
QString noDestinationLine(const AssociationState& state);
QString behindSummary(int associations);
QString behindLine(const AssociationState& state, const QDateTime& now);

} // namespace ProtectionTexts
