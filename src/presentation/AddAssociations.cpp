#include "presentation/AddAssociations.h"

#include "persistence/AssociationStore.h"
#include "platform/AppData.h"
#include "platform/DateTimeText.h"
#include "platform/FilePickers.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/PrivateFolder.h"
#include "platform/ShareLookup.h"
#include "presentation/TextRules.h"
#include "presentation/VolumeEditing.h"
#include "state/AppState.h"

#include <QDir>

namespace {

const QString filesTitle = QStringLiteral("Select a file for automatic backup");
const QString folderPrompt = QStringLiteral("Please select a folder for backup.");
const QString remoteText =
    QStringLiteral("Quillmot is unable to automatically back up files on remote machines.");
const QString folderExistsText = QStringLiteral("This folder is already backed up.");
const QString wholeDriveQuestion = QStringLiteral(
    "It is not recommended to back up entire drives. Backing up individual folders prevents "
    "copying of temporary files from tying up Quillmot's processes.\n\nAdd drive anyway?");
const QString documentsQuestion = QStringLiteral(
    "It is not recommended to back up entire My Documents folders. Backing up individual "
    "folders within this folder prevents unecessary scanning times.\n\nAdd folder anyway?");
// The list that accepts only a drive without a label.
const QString unlabeledOnly = QString(2, QChar(u'\0'));

QString fileExistsText(const QString& path) {
    return QStringLiteral("File: '") + path + QStringLiteral("' is already backed up.");
}

QString noSuchFolderText(const QString& path) {
    return QStringLiteral("The folder '") + path + QStringLiteral("' does not exist.");
}

QString unstorableText(const QString& path) {
    QString shown = path;
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control)
            c = u'?';
    return QStringLiteral("Quillmot cannot back up '") + shown +
           QStringLiteral("': its name holds line breaks or other control characters.");
}

QString cleanPath(const QString& path) {
    return Paths::withoutTrailingSeparator(QDir::cleanPath(path));
}

} // namespace

AddAssociations::AddAssociations(AppState& state, FilePickers& pickers, Hooks hooks)
    : m_state(state), m_pickers(pickers), m_hooks(std::move(hooks)) {}

void AddAssociations::AddFiles() {
    const QStringList paths = m_pickers.openFiles(filesTitle);
    if (!paths.isEmpty())
        addFiles(paths);
}

void AddAssociations::AddFolder() {
    const QString path = m_pickers.folder(folderPrompt);
    if (!path.isEmpty())
        addFolder(path);
}

bool AddAssociations::refuse(bool quiet, const QString& text, int icon) {
    if (!quiet)
        m_state.messages.ask(text, MessageBoxes::Icon(icon), MessageBoxes::Buttons::Ok);
    return false;
}

std::optional<QString> AddAssociations::commonChecks(const QString& path, bool folder, bool quiet) {
    using Icon = MessageBoxes::Icon;
    const int information = int(Icon::Information), exclamation = int(Icon::Exclamation);
    FileSystem& fso = *m_state.fso;

    const QString network = m_hooks.networkForm ? m_hooks.networkForm(path) : path;
    const bool remote =
        Paths::isNetworkName(network) &&
        GetComputerFromPath(network).compare(m_state.LocalComputerName, Qt::CaseInsensitive) != 0;
    if (remote || Paths::isNetworkName(path)) {
        refuse(quiet, remoteText, information);
        return std::nullopt;
    }
    if (folder && !quiet) {
        const auto yes = MessageBoxes::Answer::Yes;
        if (fso.DriveExists(path) &&
            m_state.messages.ask(wholeDriveQuestion, Icon::Information,
                                 MessageBoxes::Buttons::YesNoCancel) != yes)
            return std::nullopt;
        if (!m_hooks.documentsFolder.isEmpty() &&
            Paths::samePath(path, cleanPath(m_hooks.documentsFolder)) &&
            m_state.messages.ask(documentsQuestion, Icon::Information,
                                 MessageBoxes::Buttons::YesNoCancel) != yes)
            return std::nullopt;
    }
    if (m_state.backups->contains(path)) {
        refuse(quiet, folder ? folderExistsText : fileExistsText(path), information);
        return std::nullopt;
    }
    const QString drive = fso.GetDriveName(path);
    if (!fso.DriveExists(drive)) {
        refuse(quiet, VolumeTexts::driveGone, exclamation);
        return std::nullopt;
    }
    if (!fso.DriveIsReady(drive)) {
        refuse(quiet, VolumeTexts::driveNotReady, exclamation);
        return std::nullopt;
    }
    const QString volume = fso.VolumeName(drive);
    return volume.isEmpty() ? unlabeledOnly : volume;
}

void AddAssociations::createAssociation(const QString& path, bool folder, const QString& volume) {
    m_state.backups->Add(
        newAssociation(path, folder, volume, m_state.clock.nowText(), m_state.destinations),
        Paths::PathKey(path));
}

void AddAssociations::createAndConfirm(const QString& path, bool folder, const QString& volume) {
    createAssociation(path, folder, volume);
    m_state.SelectedSourcePath = path;
    if (m_hooks.showProperties)
        m_hooks.showProperties();
}

void AddAssociations::addFiles(const QStringList& chosen) {
    QStringList paths;
    for (const QString& p : chosen)
        paths << cleanPath(p);
    std::vector<bool> skipped(std::size_t(paths.size()), false);
    for (qsizetype k = 0; k < paths.size(); ++k) {
        const QString& path = paths[k];
        if (!TextRules::isStorablePath(path)) {
            refuse(false, unstorableText(path), int(MessageBoxes::Icon::Exclamation));
            skipped[std::size_t(k)] = true;
            continue;
        }
        const std::optional<QString> volume = commonChecks(path, false);
        if (!volume) {
            skipped[std::size_t(k)] = true;
            continue;
        }
        if (paths.size() > 1)
            m_state.NewAssociationPending = true;
        createAndConfirm(path, false, *volume);
        if (!m_state.PropertiesCanceled && m_state.ApplyToAll) {
            m_state.ApplyToAll = false;
            applyToOthers(paths, k, skipped);
            break;
        }
    }
    m_state.NewAssociationPending = false;
    saveStores();
    if (m_hooks.showInTree)
        m_hooks.showInTree(paths.value(0));
}

// "Save to All" in the dialog of file `chosen`: every other file of the selection that was not
// given up gets that association's settings and destinations. Earlier files that were saved are
// made again; earlier files whose dialog was cancelled stay out.
void AddAssociations::applyToOthers(const QStringList& paths, qsizetype chosen,
                                    std::vector<bool>& skipped) {
    colBackups& backups = *m_state.backups;
    const auto model = backups.Item(paths[chosen]);
    const std::vector<colDestinations::Ptr> dests = m_state.destinations->of(paths[chosen]);
    for (qsizetype j = 0; j < chosen; ++j) {
        if (skipped[std::size_t(j)])
            continue;
        if (backups.contains(paths[j]))
            backups.Remove(paths[j]);
        else
            skipped[std::size_t(j)] = true;
    }
    for (qsizetype j = 0; j < paths.size(); ++j) {
        const QString& path = paths[j];
        if (j == chosen || skipped[std::size_t(j)])
            continue;
        // Files after the chosen one had no dialog: they pass the same checks without asking.
        const std::optional<QString> volume =
            j < chosen ? std::optional<QString>(QString()) : commonChecks(path, false, true);
        if (!volume || !TextRules::isStorablePath(path))
            continue;
        const QString ownVolume =
            j < chosen ? m_state.fso->VolumeName(m_state.fso->GetDriveName(path)) : *volume;
        // The model's switches, with this file's own path, volume and dates.
        clsBackup association = *model;
        association.SourcePath = path;
        association.DateCreated = m_state.clock.nowText();
        association.Volume = ownVolume.isEmpty() ? unlabeledOnly : ownVolume;
        association.DateLastActivity = DateTimeText::never;
        association.setDestinations(m_state.destinations);
        backups.Add(std::move(association), Paths::PathKey(path));
        for (const auto& d : dests)
            m_state.destinations->Add(d->Path, path, d->Volume);
        if (m_hooks.openWatch)
            m_hooks.openWatch(path, model->Recursive);
    }
}

void AddAssociations::addFolder(const QString& chosen) {
    const QString path = cleanPath(QDir::current().absoluteFilePath(chosen));
    if (!TextRules::isStorablePath(path)) {
        refuse(false, unstorableText(path), int(MessageBoxes::Icon::Exclamation));
        return;
    }
    if (!m_state.fso->FolderExists(path)) {
        refuse(false, noSuchFolderText(path), int(MessageBoxes::Icon::Exclamation));
        return;
    }
    const std::optional<QString> volume = commonChecks(path, true);
    if (!volume)
        return;
    createAndConfirm(path, true, *volume);
    if (m_state.PropertiesCanceled)
        return;
    saveStores();
    if (m_hooks.showInTree)
        m_hooks.showInTree(path);
}

void AddAssociations::saveStores() {
    const QString folder = AppData::folder();
    PrivateFolder::make(folder);
    saveAssociations(*m_state.backups, folder);
    saveDestinations(*m_state.destinations, folder);
}
