#include "presentation/RenameFlow.h"

#include "model/Collections.h"
#include "persistence/AssociationStore.h"
#include "platform/AppData.h"
#include "platform/MessageBox.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"
#include "platform/VolumeLabels.h"
#include "presentation/VolumeEditing.h"
#include "state/AppState.h"

namespace {

const QString enterName = QStringLiteral("Please enter a new name for this file or folder.");
const QString extensionQuestion = QStringLiteral(
    "Changing the file extension could cause the file to become unusable. Proceed anyway?");
const QString itemGone = QStringLiteral("File or folder no longer exists!");
const QString nameTaken =
    QStringLiteral("A file or folder named \"%1\" is there already. Please choose another name.");
const QString renameFailed = QStringLiteral(
    "Error in renaming: '%1' Please close Quillmot and rename the file in your file manager.");
const QString nameTooLong =
    QStringLiteral("The new name is too long: a name takes at most %1 bytes (accented letters "
                   "and other scripts take two or more each).");
const QString enterVolumeName = QStringLiteral("Please enter a new volumename for this drive.");
const QString labelFailed = QStringLiteral("The volume name could not be changed: %1");
// Characters that names on the desktops Quillmot users share files with refuse.
const QString refusedInNames = QStringLiteral("\"*/:<>?\\|");

} // namespace

RenameFlow::RenameFlow(AppState& state, ItemRenamer& renamer, const QString& oldPath, bool isDrive)
    : m_state(state), m_renamer(renamer), m_messages(state.messages), m_oldPath(oldPath),
      m_isDrive(isDrive) {
    m_oldName = Paths::fileName(oldPath);
    const FileSystem& fso = *m_state.fso;
    if (m_isDrive && fso.DriveExists(oldPath) && fso.DriveIsReady(oldPath))
        m_oldName = fso.VolumeName(oldPath);
    m_oldExtension = Renaming::extensionOf(m_oldName);
}

QString RenameFlow::oldLabel() const {
    return m_isDrive ? QStringLiteral("Old Volumename of ") + m_oldPath
                     : QStringLiteral("Old Name");
}

bool RenameFlow::refusesCharacter(QChar c, bool isDrive) {
    if (c.unicode() == 0)
        return true;
    return !isDrive && refusedInNames.contains(c);
}

QString RenameFlow::withoutRefusedCharacters(const QString& text) const {
    QString kept;
    for (const QChar c : text)
        if (!refusesCharacter(c, m_isDrive))
            kept += c;
    return kept.left(maxLength());
}

RenameFlow::Result RenameFlow::ok(const QString& typed) {
    if (typed.trimmed() == m_oldName.trimmed())
        return {Next::Close, typed};
    const QString name = Renaming::cleanedName(typed);
    // A name of dots only is as empty as no name: the file would vanish from view or be "..".
    if (name.isEmpty()) {
        if (m_isDrive) {
            m_messages.ask(enterVolumeName, MessageBoxes::Icon::Exclamation,
                           MessageBoxes::Buttons::Ok);
            return {Next::StayOpen, typed};
        }
        const auto answer = m_messages.ask(enterName, MessageBoxes::Icon::Exclamation,
                                           MessageBoxes::Buttons::OkCancel);
        return {answer == MessageBoxes::Answer::Cancel ? Next::Close : Next::StayOpen,
                typed.trimmed()};
    }
    return m_isDrive ? renameVolume(name) : renameItem(name, typed);
}

bool RenameFlow::confirmsExtensionChange(const QString& name) {
    for (const QChar c : name) {
        if (c != QLatin1Char('.') || name.endsWith(m_oldExtension))
            continue;
        if (m_messages.ask(extensionQuestion, MessageBoxes::Icon::Question,
                           MessageBoxes::Buttons::YesNoCancel) != MessageBoxes::Answer::Yes)
            return false;
    }
    return true;
}

RenameFlow::Result RenameFlow::renameItem(const QString& name, const QString& typed) {
    if (name.toUtf8().size() > nameBytesLimit) {
        m_messages.ask(nameTooLong.arg(nameBytesLimit), MessageBoxes::Icon::Exclamation,
                       MessageBoxes::Buttons::Ok);
        return {Next::StayOpen, typed};
    }
    if (!m_state.fso->FolderExists(m_oldPath) && !confirmsExtensionChange(name))
        return {Next::StayOpen, m_oldName};
    const RenameOutcome outcome = m_renamer.RenameFileOrFolder(m_oldPath, name);
    switch (outcome.kind) {
    case RenameOutcome::Kind::Renamed:
    case RenameOutcome::Kind::Unchanged:
        return {Next::Close, name};
    case RenameOutcome::Kind::Gone:
        m_messages.ask(itemGone, MessageBoxes::Icon::Exclamation, MessageBoxes::Buttons::Ok);
        return {Next::Close, name};
    case RenameOutcome::Kind::NameTaken:
        m_messages.ask(nameTaken.arg(name), MessageBoxes::Icon::Exclamation,
                       MessageBoxes::Buttons::Ok);
        return {Next::StayOpen, name};
    case RenameOutcome::Kind::Failed:
        m_messages.ask(renameFailed.arg(outcome.reason), MessageBoxes::Icon::Exclamation,
                       MessageBoxes::Buttons::Ok);
        return {Next::Close, name};
    }
    return {Next::Close, name};
}

RenameFlow::Result RenameFlow::renameVolume(const QString& name) {
    const FileSystem& fso = *m_state.fso;
    const auto refuse = [&](const QString& text) {
        m_messages.ask(text, MessageBoxes::Icon::Exclamation, MessageBoxes::Buttons::Ok);
        return Result{Next::StayOpen, name};
    };
    if (!fso.DriveExists(m_oldPath))
        return refuse(VolumeTexts::driveGone);
    if (!fso.DriveIsReady(m_oldPath))
        return refuse(VolumeTexts::driveIsNotReady);
    const auto mount = MountTable::current().find(m_oldPath);
    if (const QString why = VolumeLabels::refusal(mount ? mount->fsType : QString(), name);
        !why.isEmpty())
        return refuse(why);
    // The label is written first: when the drive refuses it, no list may name it already.
    const QString currentName = fso.VolumeName(m_oldPath);
    if (const QString failed = VolumeLabels::write(m_oldPath, name); !failed.isEmpty())
        return refuse(labelFailed.arg(failed));
    Renaming::followVolumeRename(*m_state.backups, *m_state.destinations, m_oldPath, currentName,
                                 m_oldName, name);
    const QString folder = AppData::folder();
    saveAssociations(*m_state.backups, folder);
    saveDestinations(*m_state.destinations, folder);
    return {Next::Close, name};
}
