#pragma once
// The rules of the two volume editors: the source's accepted names with the blank-volume box, and
// the one volume name of a destination. They work on the properties dialog's working copies.

#include "model/Collections.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class FileSystem;
class MessageBoxes;

// The source volume list being edited.
class SourceVolumes {
public:
    explicit SourceVolumes(const QString& volumeList);

    QStringList entries; // in list order; one blank entry stands for an empty list
    bool noVolume = false;

    // Appends `text` upper-cased unless it is empty or listed already (ignoring case).
    bool add(const QString& text);
    // Removes the entries at the given rows (0-based), unless that would leave no name while the
    // blank-volume box is clear: then it tells the user and keeps them all.
    bool remove(const QList<int>& rows, MessageBoxes& messages);
    // Clearing the box with no name left is refused with the same message; returns the box state.
    bool setNoVolume(bool ticked, MessageBoxes& messages);
    // The list text for the properties dialog.
    QString result() const;

private:
    int names() const;
};

// The volume name of the drive holding `path`, or nullopt after telling the user why not.
std::optional<QString> retrieveVolume(const FileSystem& fso, const QString& path,
                                      MessageBoxes& messages, const QString& notReadyText);

// True when another destination than the one at `position` (1-based) has the same path and the
// volume `volume`, both ignoring letter case.
bool duplicatesDestination(const colDestinations& dests, int position, const QString& volume);

namespace VolumeTexts {
inline const QString needOne =
    QStringLiteral("At least one volume name must be assigned to the source path.");
inline const QString duplicate =
    QStringLiteral("A destination with this path and volume name is already assigned to this "
                   "association. Edit the volume name and try again.");
inline const QString driveNotReady = QStringLiteral("Drive not ready!");
inline const QString driveIsNotReady = QStringLiteral("Drive is not ready!");
inline const QString driveGone = QStringLiteral("Drive no longer exists!");
} // namespace VolumeTexts
