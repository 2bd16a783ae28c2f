#include "engine/CatchUpWalk.h"

#include "engine/CopyDestination.h"
#include "engine/DriveChecks.h"
#include "engine/NameFilters.h"
#include "platform/OwnTemporaryNames.h"
#include "platform/Paths.h"

#include <cstdlib>

namespace {

QStringList namesOf(const QStringList& paths) {
    QStringList names;
    names.reserve(paths.size());
    for (const QString& path : paths)
        names << Paths::fileName(path);
    return names;
}

bool upToDate(const FileStamp& source, const std::optional<FileStamp>& copy, qint64 stepNs) {
    return copy && copy->link == source.link && copy->size == source.size &&
           std::llabs(copy->modifiedNs - source.modifiedNs) < stepNs;
}

} // namespace

CatchUpWalk::CatchUpWalk(FileSystem& fso, CatchUpTask task)
    : m_fso(fso), m_task(std::move(task)),
      m_layout(
          BackupLayout::of(m_task.association, usablePrevSaveName(m_task.options.PrevSaveName))) {
    m_task.association.setDestinations(nullptr);
}

CatchUpWalk::Found CatchUpWalk::next(int budget, qint64 nowNs) {
    if (!m_started) {
        m_started = true;
        if (!begin())
            return {Found::Kind::Done, {}, {}};
    }
    for (int looked = 0; looked < budget && !m_frames.empty();) {
        Frame& frame = m_frames.back();
        if (frame.nextFile < frame.names.size()) {
            ++looked;
            Found found = visit(frame, frame.nextFile++, nowNs);
            if (found.kind != Found::Kind::Nothing)
                return found;
            continue;
        }
        if (frame.nextSubFolder < frame.subFolders.size()) {
            const QString subFolder = frame.subFolders[frame.nextSubFolder++];
            if (entersSubFolder(subFolder))
                enter(subFolder, namesOf(m_fso.files(subFolder)));
            continue;
        }
        m_frames.pop_back();
    }
    return {m_frames.empty() ? Found::Kind::Done : Found::Kind::Nothing, {}, {}};
}

// False when there is nothing the walk could do now. A source or destination drive that is
// absent or carries another volume name is left out without a word: copying every file into a
// refusal would bury the log, and the mount that brings the drive back asks for the catch-up
// again.
bool CatchUpWalk::begin() {
    const clsBackup& association = m_task.association;
    const QString& source = association.SourcePath;
    QString volumeName;
    if (DriveChecks::checkSource(m_fso, source, association.Volume, volumeName) !=
        CheckFailure::None)
        return false;
    for (const clsDestination& destination : m_task.destinations) {
        // Every file of such a destination would be refused as a loop.
        if (CopyDestination::insideRecursiveSource(m_fso, association, destination.Path))
            continue;
        if (DriveChecks::checkDestinationDrive(m_fso, destination.Path, destination.Volume,
                                               volumeName) != CheckFailure::None)
            continue;
        m_targets.push_back({destination, m_fso.modifiedTimeStepNs(destination.Path)});
        if (onDestinationReached)
            onDestinationReached(destination.Path);
    }
    if (m_targets.empty())
        return false;
    if (association.Folder) {
        if (!m_fso.FolderExists(source))
            return false;
        m_device = m_fso.deviceOf(source);
        enter(source, namesOf(m_fso.files(source)));
    } else {
        if (!m_fso.FileExists(source))
            return false;
        enter(Paths::parent(source), {Paths::fileName(source)});
    }
    return true;
}

void CatchUpWalk::enter(const QString& folder, const QStringList& names) {
    const clsBackup& association = m_task.association;
    Frame frame;
    frame.folder = folder;
    // The walk's own name rules, before any look-up on the disk.
    for (const QString& name : names)
        if (!association.Folder ||
            (!OwnTemporaryNames::matches(name) && (association.CopyHidden || !isHiddenName(name))))
            frame.names << name;
    for (const QString& name : frame.names)
        frame.copyNames << m_layout.mirroredName(name);
    frame.sources = m_fso.stampsIn(folder, frame.names);
    if (association.Folder && association.Recursive)
        frame.subFolders = m_fso.subFolders(folder);
    for (const Target& target : m_targets) {
        const QString mirror = m_layout.mirroredFolderOf(target.destination.Path, folder);
        frame.mirrors << mirror;
        frame.copies.push_back(
            m_fso.copyStampsIn(target.destination.Path, mirror, frame.copyNames));
    }
    m_frames.push_back(std::move(frame));
}

// A hidden folder is left alone unless hidden files are backed up, and so is a folder on
// another file system: a whole-drive source means that drive, not every disk mounted below it.
bool CatchUpWalk::entersSubFolder(const QString& subFolder) const {
    if (!m_task.association.CopyHidden && isHiddenName(Paths::fileName(subFolder)))
        return false;
    return m_fso.deviceOf(subFolder) == m_device;
}

CatchUpWalk::Found CatchUpWalk::visit(const Frame& frame, qsizetype file, qint64 nowNs) {
    const QString& name = frame.names[file];
    const std::optional<FileStamp>& seen = frame.sources[size_t(file)];
    if (!seen || !passesFilters(m_task.options, name))
        return {};
    Found found{Found::Kind::Stale, Paths::join(frame.folder, name), {}};
    for (size_t t = 0; t < m_targets.size(); ++t)
        if (!upToDate(*seen, frame.copies[t][size_t(file)], m_targets[t].stepNs))
            found.destinations.push_back(m_targets[t].destination);
    if (found.destinations.empty())
        return {};
    // A file saved moments ago may still be written: it settles like a change the watch saw.
    if (nowNs - seen->modifiedNs < m_task.settleNs)
        return {Found::Kind::Changing, found.file, {}};
    return found;
}
