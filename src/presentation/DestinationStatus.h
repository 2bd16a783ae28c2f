#pragma once
// The Status column of the destination list: what a destination's disk looks like right now. It
// is information only; nothing is refused because of it and it is not stored.

#include <QString>

#include <functional>
#include <memory>

class FileSystem;
class QObject;

namespace DestinationStatus {

// "Ready, 12.3 GB free", "Drive not connected", "Volume name differs: the drive holds <name>"
// (also when another disk is plugged in where the destination's was), "Same disk as the
// source", or "Inside the source: its copies are skipped".
QString of(const FileSystem& fso, const QString& sourcePath, bool recursiveSource,
           const QString& destPath, const QString& destVolume);

// What `of` needs, as plain values that a thread of its own can take.
struct Request {
    QString sourcePath;
    bool recursiveSource = false;
    QString destPath;
    QString destVolume;
};

// Shown until the status is known.
inline const QString checking = QStringLiteral("Checking...");

// Works the status out on a thread of its own and hands it to `done` on `receiver`'s thread,
// unless `receiver` is gone by then: a disk that does not answer (a network share whose server
// went away) leaves its row "Checking..." instead of freezing the window.
void ofInBackground(std::shared_ptr<const FileSystem> fso, const Request& request,
                    QObject* receiver, std::function<void(const QString&)> done);

// "12.3 GB" and the like, in decimal units.
QString sizeText(qint64 bytes);

} // namespace DestinationStatus
