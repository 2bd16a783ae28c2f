#include "platform/ChangeWatch.h"

#include <algorithm>
#include <atomic>

namespace {

std::atomic<quint64> g_eventsRead = 0;

// The later of two batches' last events; unknown as soon as one side with changes has none.
std::optional<quint64> lastOfBoth(const ChangeBatch& earlier, const ChangeBatch& later) {
    if (later.empty())
        return earlier.lastEvent;
    if (earlier.empty())
        return later.lastEvent;
    if (!earlier.lastEvent || !later.lastEvent)
        return std::nullopt;
    return std::max(*earlier.lastEvent, *later.lastEvent);
}

// Appends `folder` to `list` unless `keys` holds it already.
void addOnce(QStringList& list, QSet<QString>& keys, const QString& folder) {
    const qsizetype before = keys.size();
    keys.insert(folder);
    if (keys.size() != before)
        list << folder;
}

} // namespace

void ChangeBatch::countEvent() {
    lastEvent = ++g_eventsRead;
}

quint64 ChangeBatch::eventsRead() {
    return g_eventsRead;
}

void ChangeBatch::append(const ChangeBatch& later) {
    const std::optional<quint64> last = lastOfBoth(*this, later);
    if (overflow || later.overflow) {
        *this = everything();
        lastEvent = last;
        return;
    }
    lastEvent = last;
    for (const QString& file : later.files)
        noteFile(file, later.eventOf(file));
    for (const QString& folder : later.changedFolders)
        noteChangedFolder(folder);
    for (const QString& folder : later.newFolders)
        noteNewFolder(folder);
}

void ChangeBatch::noteChangedFolder(const QString& folder) {
    addOnce(changedFolders, m_changedFolderKeys, folder);
}

void ChangeBatch::noteNewFolder(const QString& folder) {
    addOnce(newFolders, m_newFolderKeys, folder);
}

void ChangeBatch::noteFile(const QString& file, FileEvent event) {
    const auto it = events.find(file);
    if (it == events.end()) {
        files << file;
        events.insert(file, event);
    } else if (event != FileEvent::Touched) {
        *it = event;
    }
}

ChangeBatch ChangeBatch::everything() {
    ChangeBatch batch;
    batch.overflow = true;
    return batch;
}
