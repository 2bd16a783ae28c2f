#include "presentation/PropertiesSession.h"

#include "engine/BackupOwners.h"
#include "persistence/AssociationStore.h"
#include "persistence/Options.h"
#include "platform/AppData.h"
#include "platform/DateTimeText.h"
#include "platform/FilePickers.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "presentation/DestinationStatus.h"
#include "presentation/ImageList.h"
#include "presentation/TextRules.h"
#include "presentation/VolumeEditing.h"
#include "state/AppState.h"

#include <QDir>
#include <algorithm>
#include <cmath>

namespace {

const QString destinationPrompt = QStringLiteral("Please select a destination folder.");
const QString probeQuestion = QStringLiteral(
    "Quillmot has determined an inability to save to the selected folder from this machine. If it "
    "is a network folder, it needs to be shared with full access in order for successful "
    "automatic backups to be made to it.\n\nAdd it anyway?");
const QString removeQuestion = QStringLiteral("Are you sure you wish to remove this destination?");
const QString noDestinationQuestion =
    QStringLiteral("This association has no destination. Nothing will be backed up until a "
                   "destination is added.\n\nSave it anyway?");
const QString refusedSaveAdvice = QStringLiteral("%1\n\nPlease choose another destination folder.");

QString noSuchFolderText(const QString& path) {
    return QStringLiteral("The folder '") + path + QStringLiteral("' does not exist.");
}

int versionsValue(const QString& text) {
    return int(std::lround(text.trimmed().toDouble()));
}

} // namespace

PropertiesSession::PropertiesSession(AppState& state, FilePickers& pickers, Hooks hooks)
    : m_state(state), m_pickers(pickers), m_hooks(std::move(hooks)) {}

std::shared_ptr<clsBackup> PropertiesSession::current() const {
    const QString& path = m_state.SelectedSourcePath;
    if (!m_state.backups->contains(path))
        return nullptr;
    return m_state.backups->Item(path);
}

bool PropertiesSession::load() {
    m_wasPaused = m_state.Paused;
    if (m_hooks.pause)
        m_hooks.pause();
    saveAllEnabled = m_state.NewAssociationPending;
    m_state.NewAssociationPending = false;
    m_state.PropertiesCanceled = false;

    const std::shared_ptr<clsBackup> association = current();
    m_loadedOk = association != nullptr;
    if (!association)
        return false;
    const QString source = Paths::withoutTrailingSeparator(m_state.SelectedSourcePath);
    // A root has no last component; it is named by itself.
    caption =
        (Paths::isRoot(source) ? source : Paths::fileName(source)) + QStringLiteral("<< Quillmot");
    showSourceState(association);
    m_loaded = *association;
    gstrVolumes = association->Volume;
    for (const auto& d : m_state.destinations->of(m_state.SelectedSourcePath))
        gcolWorkingDests->Add(d->Path, d->Source, d->Volume);
    return true;
}

void PropertiesSession::showSourceState(const std::shared_ptr<clsBackup>& association) {
    FileSystem& fso = *m_state.fso;
    const QString& path = association->SourcePath;
    const bool folder = association->Folder;
    const QString kind = folder ? QStringLiteral("Folder") : QStringLiteral("File");
    statusWarning = false;
    if (!fso.FileExists(path) && !fso.FolderExists(path)) {
        windowIconKey = folder ? ImageKeys::folderYellow : ImageKeys::fileYellow;
        statusWarning = true;
        statusText = kind + QStringLiteral(" no longer exists");
        // Tree roots are mount points.
        if (m_hooks.setNodeImage)
            m_hooks.setNodeImage(path,
                                 fso.DriveExists(path) ? ImageKeys::driveYellow : windowIconKey);
        association->Enabled = false;
    } else {
        if (association->DateLastModified != DateTimeText::never)
            windowIconKey = Paths::PathKey(path);
        else if (fso.DriveExists(path))
            windowIconKey = ImageKeys::drive;
        else
            windowIconKey = folder ? ImageKeys::folder : ImageKeys::file;
        statusText = kind + QStringLiteral(" exists");
    }
    const QString drive = fso.GetDriveName(path);
    if (!fso.DriveExists(drive) || !fso.DriveIsReady(drive)) {
        statusWarning = true;
        statusText = fso.DriveExists(drive) ? VolumeTexts::driveIsNotReady : VolumeTexts::driveGone;
        windowIconKey = ImageKeys::driveYellow;
    }
}

QString PropertiesSession::destinationIconKey(const QString& path) {
    return Paths::isNetworkName(path) ? ImageKeys::folderShared : ImageKeys::folder;
}

QString PropertiesSession::moreVersions(const QString& text) {
    const int value = versionsValue(text);
    return value < maxVersions ? QString::number(value + 1) : text;
}

QString PropertiesSession::lessVersions(const QString& text) {
    const int value = versionsValue(text);
    return value > minVersions ? QString::number(value - 1) : text;
}

std::optional<int> PropertiesSession::addDestination() {
    return addDestinationPath(m_pickers.folder(destinationPrompt));
}

bool PropertiesSession::canWriteTo(const QString& folder) const {
    return m_state.fso->canCreateFileIn(folder);
}

std::optional<int> PropertiesSession::addDestinationPath(const QString& chosen) {
    using Icon = MessageBoxes::Icon;
    using Buttons = MessageBoxes::Buttons;
    if (chosen.isEmpty())
        return std::nullopt;
    FileSystem& fso = *m_state.fso;
    MessageBoxes& messages = m_state.messages;
    QString path = Paths::isNetworkName(chosen)
                       ? chosen
                       : Paths::withoutTrailingSeparator(QDir::cleanPath(chosen));
    if (!TextRules::isStorablePath(path)) {
        messages.ask(QStringLiteral("The folder name holds line breaks or other control "
                                    "characters, which Quillmot cannot store."),
                     Icon::Exclamation, Buttons::Ok);
        return std::nullopt;
    }
    QString drive = fso.GetDriveName(path);
    if (fso.DriveExists(drive)) {
        if (!fso.DriveIsReady(drive)) {
            messages.ask(VolumeTexts::driveNotReady, Icon::Exclamation, Buttons::Ok);
            return std::nullopt;
        }
        if (!Paths::isNetworkName(path) && !fso.FolderExists(path)) {
            messages.ask(noSuchFolderText(path), Icon::Exclamation, Buttons::Ok);
            return std::nullopt;
        }
        const QString volume = fso.VolumeName(drive);
        for (const auto& d : *gcolWorkingDests) {
            if (Paths::samePath(d->Path, path) && d->Volume == volume) {
                messages.ask(VolumeTexts::duplicate, Icon::Information, Buttons::Ok);
                return std::nullopt;
            }
        }
    }
    if (!canWriteTo(path) &&
        messages.ask(probeQuestion, Icon::Question, Buttons::YesNo) != MessageBoxes::Answer::Yes)
        return std::nullopt;

    const QString local = m_hooks.shareLocalPath ? m_hooks.shareLocalPath(path) : QString();
    if (!local.isEmpty())
        path = local;
    drive = fso.GetDriveName(path);
    if (!fso.DriveExists(drive)) {
        messages.ask(VolumeTexts::driveGone, Icon::Exclamation, Buttons::Ok);
        return std::nullopt;
    }
    if (!fso.DriveIsReady(drive)) {
        messages.ask(VolumeTexts::driveNotReady, Icon::Information, Buttons::Ok);
        return std::nullopt;
    }
    gcolWorkingDests->Add(path, m_state.SelectedSourcePath, fso.VolumeName(drive));
    return gcolWorkingDests->Count();
}

bool PropertiesSession::removeDestination(int position) {
    if (position < 1 || position > gcolWorkingDests->Count())
        return false;
    if (m_state.messages.ask(removeQuestion, MessageBoxes::Icon::Question,
                             MessageBoxes::Buttons::YesNoCancel) != MessageBoxes::Answer::Yes)
        return false;
    gcolWorkingDests->Remove(position);
    return true;
}

void PropertiesSession::checkDestination(int position, bool recursive, QObject* receiver,
                                         std::function<void(const QString&)> done) const {
    const auto d = gcolWorkingDests->Item(position);
    DestinationStatus::ofInBackground(
        m_state.fso, {m_loaded.SourcePath, m_loaded.Folder && recursive, d->Path, d->Volume},
        receiver, std::move(done));
}

QString PropertiesSession::nowText() const {
    return m_state.clock.nowText();
}

bool PropertiesSession::confirmSave() {
    return gcolWorkingDests->Count() > 0 ||
           m_state.messages.askDefaultNo(noDestinationQuestion, MessageBoxes::Icon::Question,
                                         MessageBoxes::Buttons::YesNo) == MessageBoxes::Answer::Yes;
}

std::optional<QString> PropertiesSession::refusalOf(const clsBackup& association,
                                                    const PropertiesValues& values) const {
    BackupOwners::Snapshot owners = BackupOwners::snapshotOf(
        *m_state.backups, *m_state.destinations, usablePrevSaveName(m_state.options.PrevSaveName));
    const qsizetype index = m_state.backups->positionOf(Paths::PathKey(association.SourcePath)) - 1;
    BackupOwners::Member& edited = owners.members[size_t(index)];
    edited.recursive = association.Folder && values.recursive;
    edited.enabled = values.enabled;
    edited.destinations.clear();
    for (const auto& d : *gcolWorkingDests)
        edited.destinations << d->Path;
    return BackupOwners::refusalFor(owners, index);
}

bool PropertiesSession::save(const PropertiesValues& values) {
    const std::shared_ptr<clsBackup> association = current();
    if (association) {
        if (const std::optional<QString> refusal = refusalOf(*association, values)) {
            m_state.messages.ask(refusedSaveAdvice.arg(*refusal), MessageBoxes::Icon::Exclamation,
                                 MessageBoxes::Buttons::Ok);
            return false;
        }
    }
    m_savedFlag = true;
    if (!association)
        return true;
    association->Volume = gstrVolumes;
    association->KeepBackup = values.keepBackup;
    association->Versions =
        qint16(std::clamp(versionsValue(values.versionsText), minVersions, maxVersions));
    association->Recursive = association->Folder && values.recursive;
    association->Enabled = values.enabled;
    association->CopyHidden = association->Folder && values.hidden;
    association->NotifyOnSuccess = values.notifySuccess;
    association->NotifyOnError = values.notifyError;

    FileSystem& fso = *m_state.fso;
    const QString& path = association->SourcePath;
    const QString drive = fso.GetDriveName(path);
    const bool sourceThere = fso.DriveExists(drive) && fso.DriveIsReady(drive) &&
                             (fso.FileExists(path) || fso.FolderExists(path));
    if (association->DateLastModified != DateTimeText::never && sourceThere && m_hooks.setNodeImage)
        m_hooks.setNodeImage(path,
                             Paths::PathKey(path) +
                                 (association->Enabled ? ImageKeys::green : ImageKeys::magenta));
    association->DateLastModified = nowText();

    const QString key = Paths::PathKey(path);
    m_state.destinations->removeIf(
        [&](const clsDestination& d) { return Paths::PathKey(d.Source) == key; });
    for (const auto& d : *gcolWorkingDests)
        m_state.destinations->Add(d->Path, m_state.SelectedSourcePath, d->Volume);

    const QString folder = AppData::folder();
    saveAssociations(*m_state.backups, folder);
    saveDestinations(*m_state.destinations, folder);
    return true;
}

bool PropertiesSession::saveToAll(const PropertiesValues& values) {
    if (!save(values))
        return false;
    m_state.ApplyToAll = true;
    return true;
}

void PropertiesSession::cancel() {
    m_canceled = true;
    const std::shared_ptr<clsBackup> association = current();
    // Only a just-created association goes; an existing one keeps what it had.
    if (association && association->DateLastModified == DateTimeText::never)
        m_state.backups->Remove(m_state.SelectedSourcePath);
    m_state.PropertiesCanceled = true;
}

void PropertiesSession::close() {
    if (m_closed)
        return;
    m_closed = true;
    // The close box cancels in full: a just-created association without destinations must not
    // stay behind in memory.
    if (!m_savedFlag && !m_canceled && m_loadedOk)
        cancel();
    if (!m_savedFlag)
        m_state.PropertiesCanceled = true;
    if (!m_state.PropertiesCanceled && m_hooks.openWatch) {
        if (const std::shared_ptr<clsBackup> association = current())
            m_hooks.openWatch(m_state.SelectedSourcePath, association->Recursive);
    }
    if (m_hooks.refreshTree)
        m_hooks.refreshTree();
    if (!m_wasPaused && m_hooks.unpause)
        m_hooks.unpause();
}
