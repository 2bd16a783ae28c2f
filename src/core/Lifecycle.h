#pragma once
// The program's life cycle without widgets: the start-up order after the window exists, the
// pause state that survives a restart, and the orderly exit that waits for the engine's timer
// to stop before anything is torn down.

#include "core/StoreLoad.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <vector>

class AppState;
class Engine;

class Lifecycle : public QObject {
    Q_OBJECT
public:
    static constexpr int exitPollMs = 100;

    Lifecycle(AppState& state, Engine& engine, QObject* parent = nullptr);

    // True when "nowin" stands anywhere in the command line, in any letter case.
    static bool wantsHiddenStart(const QStringList& arguments);

    // Start-up after the main window is loaded: the stored pause state, then the watch timer and
    // a catch-up of every association.
    void restorePauseState();
    void startWatching();

    // Reads the options, the association store and the window preferences.
    void loadOptions();
    void loadStores();
    // Replaces the associations and destinations with those of the store files, opening the
    // watches of the loaded associations. Of two that would back up into one place, or of a
    // chain that would copy copies back into its sources, the later one is disabled: why is
    // logged and left in refusedAtLoad for the user to be told.
    void loadAssociationStore();
    QStringList refusedAtLoad;
    // The same read on a worker, with the node preferences: the window answers meanwhile.
    // `loaded` runs on this thread once the associations are in place, unless the exit began
    // first; their watches are then opened by openLoadedWatches, a slice at a time.
    void loadStoresInBackground(std::function<void()> loaded);
    // Opens watches of the associations just loaded until `sliceEnd`; true once all are open.
    bool openLoadedWatches(const QDeadlineTimer& sliceEnd);

    // Dialogs pause for as long as they are open and unpause only what they paused; such a
    // pause is theirs, not the user's.
    void Pause();
    void Unpause();
    // The user's pause (the "Running" panel): the one a restart brings back.
    void togglePause();

    // The exit command ("Stop and Exit", SIGTERM, SIGINT): stores the user's pause state, asks the
    // engine to stop and polls every 100 ms until it confirms that no copy runs any more; then
    // emits readyToUnload(). Repeated calls while exiting do nothing.
    void requestExit();

    // The main window's close query: preference files, then both store files.
    // `windowPrefsAllowed` is false while the window was never activated in this run.
    void saveOnClose(bool windowPrefsAllowed);

    // The end of the exit: closes every watch and releases the model.
    void tearDown();

    // Node keys read from nprefs at start; the window puts the visible nodes here before close.
    QStringList nodePrefs;

signals:
    void readyToUnload();
    // The exit has begun: work still to do for the start is dropped.
    void exitBegun();
    // Paused or unpaused (by the user, a dialog or the start).
    void pausedChanged(bool paused);

private:
    // Adds one line to the activity log, as a copy result would.
    void logNotice(const QString& source, const QString& destination, const QString& message);
    void takeOver(LoadedStores loaded);
    // Unpaused without asking for a catch-up; false once the exit has begun.
    bool resume();
    void pollExit();

    AppState& m_state;
    // Paused by the user or by the stored state at start, whatever a dialog does meanwhile: an
    // exit while a dialog is open must not leave the next start paused.
    bool m_pausedByUser = false;
    bool m_pauseStateKnown = false; // brought back from the last run, or chosen by the user
    Engine& m_engine;
    QTimer m_tmrExit;
    std::vector<LoadedStores::Watch> m_watchesToOpen;
    size_t m_nextWatch = 0;
    QStringList m_watchesToClose;
};
