#include "presentation/Renaming.h"

#include "engine/Engine.h"
#include "model/Collections.h"
#include "persistence/AssociationStore.h"
#include "platform/AppData.h"
#include "platform/Paths.h"
#include "state/AppState.h"

#include <cstring>

namespace Renaming {
namespace {

// `path` is `item` itself or lies below it; the rest after `item` is returned in `rest`.
bool atOrBelow(const QString& path, const QString& item, QString* rest) {
    if (Paths::samePath(path, item)) {
        *rest = QString();
        return true;
    }
    const QString folder = Paths::withoutTrailingSeparator(item);
    if (!Paths::startsWith(path, folder + Paths::separator()))
        return false;
    *rest = path.mid(folder.size()); // from the separator on
    return true;
}

QString moved(const QString& path, const QString& oldPath, const QString& newPath) {
    QString rest;
    return atOrBelow(path, oldPath, &rest) ? newPath + rest : path;
}

} // namespace

QString cleanedName(const QString& typed) {
    QString name = typed.trimmed();
    qsizetype first = 0, end = name.size();
    while (first < end && name[first] == QLatin1Char('.'))
        ++first;
    while (end > first && name[end - 1] == QLatin1Char('.'))
        --end;
    return name.mid(first, end - first);
}

QString extensionOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

void followVolumeRename(colBackups& backups, colDestinations& destinations, const QString& drive,
                        const QString& currentName, const QString& oldName,
                        const QString& newName) {
    const QString upperNew = newName.toUpper();
    for (const auto& association : backups) {
        // Empty pieces stay empty, so the mark for unlabeled drives survives.
        QStringList pieces = association->Volume.split(QChar(0));
        for (QString& piece : pieces)
            piece =
                piece.compare(currentName, Qt::CaseInsensitive) == 0 ? upperNew : piece.toUpper();
        association->Volume = pieces.join(QChar(0));
    }
    for (const auto& destination : destinations) {
        QString rest;
        if (atOrBelow(destination->Path, drive, &rest) &&
            destination->Volume.compare(oldName, Qt::CaseInsensitive) == 0)
            destination->Volume = upperNew;
    }
}

} // namespace Renaming

ItemRenamer::ItemRenamer(AppState& state, Engine& engine) : m_state(state), m_engine(engine) {}

RenameOutcome ItemRenamer::RenameFileOrFolder(const QString& oldPath, const QString& newName) {
    RenameOutcome outcome;
    outcome.newPath = Paths::join(Paths::parent(oldPath), newName);
    if (Paths::samePath(outcome.newPath, oldPath))
        return outcome;

    stopAllWatches();
    FileSystem& fso = *m_state.fso;
    int error = 0;
    if (!fso.FileExists(oldPath) && !fso.FolderExists(oldPath)) {
        outcome.kind = RenameOutcome::Kind::Gone;
    } else if (!fso.renameNoReplace(oldPath, outcome.newPath, &error)) {
        outcome.kind =
            error == EEXIST ? RenameOutcome::Kind::NameTaken : RenameOutcome::Kind::Failed;
        outcome.reason = QString::fromLocal8Bit(std::strerror(error));
    } else {
        outcome.kind = RenameOutcome::Kind::Renamed;
        moveDestinations(oldPath, outcome.newPath);
        moveAssociations(oldPath, outcome.newPath);
    }
    // Whatever happened, backups go on: a watch left stopped would end them silently.
    startAllWatches();
    if (outcome.kind != RenameOutcome::Kind::Renamed)
        return outcome;
    if (treeFollows)
        treeFollows(oldPath, outcome.newPath);
    const QString folder = AppData::folder();
    saveAssociations(*m_state.backups, folder);
    saveDestinations(*m_state.destinations, folder);
    return outcome;
}

void ItemRenamer::stopAllWatches() {
    for (const auto& association : *m_state.backups)
        m_engine.RemoveDetectFolder(association->SourcePath);
}

void ItemRenamer::startAllWatches() {
    for (const auto& association : *m_state.backups) {
        m_engine.CreateDetectFolder(association->SourcePath, association->Recursive);
        if (association->Folder && !association->Enabled)
            m_engine.disableFolderWatch(association->SourcePath);
    }
}

void ItemRenamer::moveDestinations(const QString& oldPath, const QString& newPath) {
    for (const auto& destination : *m_state.destinations) {
        destination->Path = Renaming::moved(destination->Path, oldPath, newPath);
        destination->Source = Renaming::moved(destination->Source, oldPath, newPath);
    }
    m_state.destinations->sourcesChanged();
}

void ItemRenamer::moveAssociations(const QString& oldPath, const QString& newPath) {
    colBackups& backups = *m_state.backups;
    QList<std::shared_ptr<clsBackup>> movedOnes;
    for (const auto& association : backups)
        if (Renaming::moved(association->SourcePath, oldPath, newPath) != association->SourcePath)
            movedOnes << association;
    // Each keeps every field; only its path and its key change. The new ones are in before the
    // old ones go, since a removal prunes the destinations that no association owns.
    for (const auto& association : movedOnes) {
        const QString newSource = Renaming::moved(association->SourcePath, oldPath, newPath);
        clsBackup moved = *association;
        moved.SourcePath = newSource;
        moved.setDestinations(association->colDestinations());
        backups.Add(std::move(moved), newSource);
    }
    for (const auto& association : movedOnes)
        backups.Remove(association->SourcePath);
}
