#pragma once
// Catch-up: brings the destinations up to date with changes no watch saw, made while the program
// was stopped or paused, while a destination disk was unplugged, or while a watched folder was
// away. Each enabled association's catch-up goes to the workers of its destinations' disks,
// which compare every source file with its mirrored copy and copy it where the copy is missing
// or differs in size or last-modified time; a destination that is up to date is not touched.

#include "platform/MountTable.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

class AppState;
class Engine;
class clsBackup;
struct WorkerNews;

class CatchUp {
public:
    CatchUp(AppState& state, Engine& engine);
    ~CatchUp();
    CatchUp(const CatchUp&) = delete;
    CatchUp& operator=(const CatchUp&) = delete;

    // Every enabled association, from the beginning (start-up, unpause): work under way starts
    // over, since files it has passed may have changed meanwhile. A large set goes to the
    // workers a slice at a time, so that the window answers meanwhile.
    void requestAll();
    // The association whose source is `sourcePath` (its watched folder came back, or a drive
    // holding its source or a destination was mounted).
    void request(const QString& sourcePath);
    // Catch-ups still to be handed to the workers, or handed and not over yet.
    bool pending() const { return !m_outstanding.isEmpty() || !m_toSubmit.isEmpty(); }
    // Forgets the catch-ups under way (a pause that stops them, the exit); the workers drop
    // theirs separately.
    void clear();

    // A file system was mounted or unmounted: the associations with a source or destination on a
    // mount that appeared catch up, and so do those whose copies found a drive away since the
    // last change. A disk unmounted and mounted again between two looks at the table shows the
    // same mount id, device and place as before, so the refused copies are what tell.
    void mountsChanged();
    // A copy of this association found its source or a destination drive away (absent, not
    // ready, or another volume in its place).
    void driveWasAway(const QString& sourcePath);

    void onNews(const WorkerNews& news);

private:
    void submit(const clsBackup& association);
    void submitSlice();
    void requestOnNewMounts();

    AppState& m_state;
    Engine& m_engine;
    MountTable m_mounts;          // as the last change left it
    QStringList m_awaitingDrives; // sources whose copies found a drive away
    QSet<quint64> m_outstanding;  // the catch-ups the workers still hold
    quint64 m_nextId = 1;
    // The sources of a requestAll not handed over yet, from m_nextToSubmit on.
    QStringList m_toSubmit;
    qsizetype m_nextToSubmit = 0;
    QTimer m_nextSlice;
};
