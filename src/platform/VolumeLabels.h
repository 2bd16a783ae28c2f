#pragma once
// Setting the volume name (label) of a mounted file system.

#include <QString>

namespace VolumeLabels {

// Why a file system of type `fsType` cannot be given `label`, in words for the user; empty
// when it can. Checked before anything changes, so a refused name changes nothing.
QString refusal(const QString& fsType, const QString& label);

// Sets the label of the file system mounted at `mountPoint`: through UDisks2 when it runs
// (which asks the user for authorisation where needed), else with the file system's own tool.
// Returns why it failed, in words for the user; empty on success.
QString write(const QString& mountPoint, const QString& label);

} // namespace VolumeLabels
