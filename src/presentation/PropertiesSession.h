#pragma once
// The rules behind the properties dialog of one association: the working copies it edits, the
// status line, the keep-versions steps, adding and removing destinations with their checks and
// the write probe, and how Save, Save to All, Cancel and closing end the dialog. Nothing reaches
// the model before Save, except that an association whose source is gone is disabled on load.

#include "model/Collections.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QObject;

class AppState;
class FilePickers;

// The state of the dialog's switches when Save reads them.
struct PropertiesValues {
    bool enabled = true;
    bool recursive = false;
    bool hidden = false;
    bool notifySuccess = true;
    bool notifyError = true;
    bool keepBackup = false;
    QString versionsText = QStringLiteral("1");
};

class PropertiesSession {
public:
    struct Hooks {
        std::function<void()> pause;
        std::function<void()> unpause;
        // Opens (or re-opens) the association's folder watch.
        std::function<void(const QString& path, bool recursive)> openWatch;
        // Gives the association's tree node the image with this key.
        std::function<void(const QString& path, const QString& imageKey)> setNodeImage;
        // UpdateTreeLocal and the removal of images nothing uses any more.
        std::function<void()> refreshTree;
        // The local path behind a network path of this computer (GetShareLocalPath).
        std::function<QString(const QString& networkPath)> shareLocalPath;
    };

    static constexpr int minVersions = 1;
    static constexpr int maxVersions = 99;

    PropertiesSession(AppState& state, FilePickers& pickers, Hooks hooks);

    // Dialog load for AppState::SelectedSourcePath; false when no such association exists.
    bool load();

    // --- what the dialog shows
    const clsBackup& association() const { return m_loaded; }
    QString caption;
    QString statusText;
    bool statusWarning = false; // shown in yellow
    QString windowIconKey;      // an image key of the tree's vocabulary
    bool saveAllEnabled = false;
    QString gstrVolumes;
    std::shared_ptr<colDestinations> gcolWorkingDests = std::make_shared<colDestinations>();

    // Image key of a destination row: "*FolderShared" for a network path, else "*Folder".
    static QString destinationIconKey(const QString& path);
    // The keep-versions buttons: one step within 1 to 99; the text unchanged at the limits.
    static QString moreVersions(const QString& text);
    static QString lessVersions(const QString& text);

    // --- destinations (positions are 1-based, the list's row order)
    // Asks for a folder and adds it; the new position, or nullopt when nothing was added.
    std::optional<int> addDestination();
    std::optional<int> addDestinationPath(const QString& chosen);
    // Asks, then removes the destination at `position`; true when it went.
    bool removeDestination(int position);
    // The live state of the destination at `position`, for the Status column: worked out away
    // from the window's thread and handed to `done` on `receiver`'s.
    void checkDestination(int position, bool recursive, QObject* receiver,
                          std::function<void(const QString&)> done) const;

    // --- ending the dialog
    // Before Save: an association without a destination backs nothing up, which looks exactly
    // like one that works; the user is asked. True when the dialog may save.
    bool confirmSave();
    // False, after telling the user why, when the association's copies would land where another
    // association's do or feed back into a source they came from: the dialog stays open.
    bool save(const PropertiesValues& values);
    bool saveToAll(const PropertiesValues& values);
    void cancel();
    // The unload, however the dialog closes; runs once. Closing without Save is a Cancel.
    void close();
    bool closed() const { return m_closed; }

    // Creates and removes a uniquely named hidden file in `folder`; false when it cannot.
    bool canWriteTo(const QString& folder) const;

private:
    std::shared_ptr<clsBackup> current() const;
    std::optional<QString> refusalOf(const clsBackup& association,
                                     const PropertiesValues& values) const;
    void showSourceState(const std::shared_ptr<clsBackup>& association);
    QString nowText() const;

    AppState& m_state;
    FilePickers& m_pickers;
    Hooks m_hooks;
    clsBackup m_loaded;
    bool m_wasPaused = false;
    bool m_savedFlag = false;
    bool m_canceled = false;
    bool m_closed = false;
    bool m_loadedOk = false;
};
