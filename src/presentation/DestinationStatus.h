#pragma once
// The Status column of the destination list: what a destination's disk looks like right now. It
// is information only; nothing is refused because of it and it is not stored.

#include <QString>

class FileSystem;

namespace DestinationStatus {

// "Ready, 12.3 GB free", "Drive not connected", "Volume name differs: the drive holds <name>"
// (also when another disk is plugged in where the destination's was), "Same disk as the
// source", or "Inside the source: its copies are skipped".
QString of(const FileSystem& fso, const QString& sourcePath, bool recursiveSource,
           const QString& destPath, const QString& destVolume);

// "12.3 GB" and the like, in decimal units.
QString sizeText(qint64 bytes);

} // namespace DestinationStatus
