#include "engine/SourceWalks.h"
#include "engine/Log.h"
#include "engine/TurnBudget.h"

#include "platform/FileSystem.h"
#include "platform/OwnTemporaryNames.h"
#include "platform/Paths.h"

#include <QTimer>

namespace {

// File times and the clock may disagree by a little; a change is never missed for that.
constexpr qint64 clockToleranceMs = 2000;

} // namespace

SourceWalks::SourceWalks(const FileSystem& fso, TurnBudget& turn, QObject* parent)
    : QObject(parent), m_fso(fso), m_turn(turn) {}

void SourceWalks::add(Request request) {
    Walk walk{std::move(request), {}};
    walk.folders.push_back(walk.request.folder);
    m_walks.push_back(std::move(walk));
    scheduleSlice();
}

void SourceWalks::clear() {
    m_walks.clear();
}

void SourceWalks::scheduleSlice() {
    if (m_scheduled || m_walks.empty())
        return;
    m_scheduled = true;
    QTimer::singleShot(0, this, &SourceWalks::slice);
}

void SourceWalks::slice() {
    m_scheduled = false;
    while (!m_walks.empty() && m_turn.left()) {
        Walk& walk = m_walks.front();
        if (walk.folders.empty()) {
            m_walks.pop_front();
            continue;
        }
        const QString folder = walk.folders.front();
        walk.folders.pop_front();
        try {
            std::deque<QString> more;
            visitFolder(walk, folder, more);
            // Depth-first: the sub-folders come before the rest of the folders still waiting.
            walk.folders.insert(walk.folders.begin(), more.begin(), more.end());
        } catch (...) {
            qCWarning(lcEngine) << "Walk of" << Paths::displayName(folder)
                                << "cut short:" << currentExceptionText();
        }
    }
    if (m_walks.empty()) {
        if (onDone)
            onDone();
        return;
    }
    scheduleSlice();
}

// A path that is gone, or is no longer a regular file (a folder, a FIFO, a device), is skipped
// without a word; nothing here opens it.
void SourceWalks::visitFolder(const Walk& walk, const QString& folder, std::deque<QString>& more) {
    const Request& request = walk.request;
    if (!m_fso.FolderExists(folder))
        return;
    for (const QString& file : m_fso.files(folder)) {
        const QString name = Paths::fileName(file);
        if (OwnTemporaryNames::matches(name) || (isHiddenName(name) && !request.copyHidden))
            continue;
        const std::optional<FileStamp> stamp = m_fso.stamp(file);
        if (!stamp)
            continue;
        const qint64 modifiedMs = stamp->modifiedNs / nsPerMs;
        if (request.sinceMs && modifiedMs < *request.sinceMs - clockToleranceMs)
            continue;
        if (request.known) {
            FileStamp& kept = (*request.known)[file];
            const bool changed = kept != *stamp;
            kept = *stamp;
            if (!changed || request.recordOnly)
                continue;
        }
        if (onFound)
            onFound(request.sourceKey, file, modifiedMs);
    }
    if (!request.recursive)
        return;
    for (const QString& subFolder : m_fso.subFolders(folder)) {
        // A whole-drive source means that drive, not every disk mounted below it.
        if (!request.copyHidden && isHiddenName(Paths::fileName(subFolder)))
            continue;
        if (request.device && m_fso.deviceOf(subFolder) != request.device)
            continue;
        more.push_back(subFolder);
    }
}
