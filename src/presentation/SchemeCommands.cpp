#include "presentation/SchemeCommands.h"

#include "core/Lifecycle.h"
#include "engine/Engine.h"
#include "persistence/AssociationStore.h"
#include "persistence/SchemeFiles.h"
#include "platform/AppData.h"
#include "platform/MessageBox.h"
#include "presentation/Log.h"
#include "state/AppState.h"
#include "state/UserInterface.h"

namespace {
const QString enterNameText = QStringLiteral("Please enter a name for this scheme.");
const QString unusableNameText = QStringLiteral(
    "A scheme name cannot begin with a dot, hold a control character or be this long.");
const QString savedText = QStringLiteral("Scheme saved successfully!");
const QString saveErrorText =
    QStringLiteral("Quillmot has encountered an error in saving this scheme.");
const QString selectSchemeText = QStringLiteral("Please select a scheme from the list above.");
const QString loadQuestion = QStringLiteral("Are you sure you want to load the scheme: %1?");
const QString retrieveErrorText = QStringLiteral("Error in retrieving scheme.");
const QString reloadErrorText =
    QStringLiteral("Quillmot has encountered an error in loading this scheme.");
const QString deleteQuestion =
    QStringLiteral("Are you sure you want to delete this Quillmot scheme?");
const QString folderUnusableText =
    QStringLiteral("Quillmot cannot use its scheme folder %1: it is not a folder it can read.");
const QString deleteErrorText = QStringLiteral("Quillmot could not delete the scheme %1.");

// A failure's text, followed by what the system said, when it said something.
QString withReason(const QString& text, const QString& why) {
    return why.isEmpty() ? text : text + QStringLiteral("\n\n") + why;
}
} // namespace

SchemeCommands::SchemeCommands(AppState& state, Lifecycle& lifecycle, Engine& engine,
                               QObject* parent)
    : QObject(parent), m_state(state), m_lifecycle(lifecycle), m_engine(engine) {}

QString SchemeCommands::folder() const {
    return SchemeFiles::folderIn(AppData::folder());
}

bool SchemeCommands::openFolder() {
    if (SchemeFiles::prepareFolder(folder()))
        return true;
    m_state.messages.ask(folderUnusableText.arg(folder()), MessageBoxes::Icon::Exclamation,
                         MessageBoxes::Buttons::Ok);
    return false;
}

QStringList SchemeCommands::list() const {
    return SchemeFiles::list(folder());
}

bool SchemeCommands::save(const QString& typedName) {
    const QString name = SchemeFiles::fileNameFor(typedName);
    switch (SchemeFiles::check(name)) {
    case SchemeFiles::NameCheck::Empty:
        m_state.messages.ask(enterNameText, MessageBoxes::Icon::Exclamation,
                             MessageBoxes::Buttons::Ok);
        return false;
    case SchemeFiles::NameCheck::Unusable:
        m_state.messages.ask(unusableNameText, MessageBoxes::Icon::Exclamation,
                             MessageBoxes::Buttons::Ok);
        return false;
    case SchemeFiles::NameCheck::Usable:
        break;
    }
    // The scheme is what the tree shows: changes not yet written to the store go in first.
    const QString appData = AppData::folder();
    QString why;
    const bool saved = saveAssociations(*m_state.backups, appData).ok() &&
                       saveDestinations(*m_state.destinations, appData).ok() &&
                       SchemeFiles::save(appData, folder(), name, &why);
    if (!saved) {
        m_state.messages.ask(withReason(saveErrorText, why), MessageBoxes::Icon::Exclamation,
                             MessageBoxes::Buttons::Ok);
        return false;
    }
    m_state.messages.inform(savedText);
    m_state.RecentSchemeName = name;
    m_state.ui.setSchemeName(name);
    return true;
}

bool SchemeCommands::load(const QString& fileName) {
    if (fileName.isEmpty()) {
        m_state.messages.inform(selectSchemeText);
        return false;
    }
    if (m_state.messages.ask(loadQuestion.arg(fileName), MessageBoxes::Icon::Question,
                             MessageBoxes::Buttons::YesNoCancel) != MessageBoxes::Answer::Yes)
        return false;
    // Nothing is replaced under a running scan; a user who lets it go on loads later.
    const bool wasPaused = m_state.Paused;
    if (!wasPaused) {
        m_lifecycle.Pause();
        if (!m_state.Paused)
            return false;
    }
    QString why;
    if (SchemeFiles::load(AppData::folder(), folder(), fileName, &why) ==
        SchemeFiles::LoadResult::Loaded) {
        m_state.RecentSchemeName = fileName;
        m_state.ui.setSchemeName(fileName);
        reload();
    } else {
        // The associations in memory stay exactly as they were, and so do the store files unless
        // the reason says otherwise.
        m_state.messages.ask(withReason(retrieveErrorText, why), MessageBoxes::Icon::Exclamation,
                             MessageBoxes::Buttons::Ok);
    }
    if (!wasPaused)
        m_lifecycle.Unpause();
    return true;
}

void SchemeCommands::reload() {
    try {
        // Watches of associations the scheme does not hold go; the loaded ones are reopened.
        m_engine.closeAllWatches();
        m_lifecycle.loadAssociationStore();
        m_state.backups->refreshTotal();
        if (!m_lifecycle.refusedAtLoad.isEmpty())
            m_state.messages.ask(m_lifecycle.refusedAtLoad.join(QStringLiteral("\n\n")),
                                 MessageBoxes::Icon::Exclamation, MessageBoxes::Buttons::Ok);
    } catch (...) {
        qCWarning(lcPresentation) << "Reloading the associations failed:" << currentExceptionText();
        m_state.messages.ask(reloadErrorText, MessageBoxes::Icon::Exclamation,
                             MessageBoxes::Buttons::Ok);
    }
    // The tree follows whatever the collections now hold, so the two stay consistent.
    emit associationsReloaded();
}

bool SchemeCommands::remove(const QString& fileName) {
    if (fileName.isEmpty() ||
        m_state.messages.ask(deleteQuestion, MessageBoxes::Icon::Question,
                             MessageBoxes::Buttons::OkCancel) != MessageBoxes::Answer::Ok)
        return false;
    if (SchemeFiles::remove(folder(), fileName))
        return true;
    m_state.messages.ask(deleteErrorText.arg(fileName), MessageBoxes::Icon::Exclamation,
                         MessageBoxes::Buttons::Ok);
    return false;
}
