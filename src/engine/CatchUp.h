#pragma once
// Catch-up: brings the destinations up to date with changes no watch saw, made while the program
// was stopped or paused, while a destination disk was unplugged, or while a watched folder was
// away. Every source file of an enabled association is compared with its mirrored copy in each
// destination and handed to the copy engine for the destinations whose copy is missing or
// differs in size or last-modified time; a destination that is up to date is not touched.
//
// It runs inside the engine's tick, one slice at a time, so that the watches are served between
// slices; within a slice it yields and pauses like a walk and stops at once on a pause or an exit.

#include "platform/FileSystem.h"
#include "platform/MountTable.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

class AppState;
class Engine;

class CatchUp {
public:
    CatchUp(AppState& state, Engine& engine);
    ~CatchUp();
    CatchUp(const CatchUp&) = delete;
    CatchUp& operator=(const CatchUp&) = delete;

    // Every enabled association, from the beginning (start-up, unpause): work under way starts
    // over, since files it has passed may have changed meanwhile.
    void requestAll();
    // The association whose source is `sourcePath` (its watched folder came back, or a drive
    // holding its source or a destination was mounted).
    void request(const QString& sourcePath);
    bool pending() const;

    // A file system was mounted or unmounted: the associations with a source or destination on a
    // mount that appeared catch up, and so do those whose copies found a drive away since the
    // last change. A disk unmounted and mounted again between two looks at the table shows the
    // same mount id, device and place as before, so the refused copies are what tell.
    void mountsChanged();
    // A copy of this association found its source or a destination drive away (absent, not
    // ready, or another volume in its place).
    void driveWasAway(const QString& sourcePath);

    // The tick's step: unless paused or stopping, works on what is pending for one slice.
    void tick();

private:
    enum class Flow { Continue, SliceOver, Stop };

    // A destination the walk compares against.
    struct Target {
        QString path;     // the destination folder, as the association stores it
        qint64 stepNs{1}; // the step of last-modified times its file system keeps
    };
    // One folder of the walk: the files it compares, their stamps, and their copies' stamps in
    // each target, each looked up through its folder once when the walk enters it. A file found
    // stale is looked at again before it is copied.
    struct Frame {
        QString folder;
        QStringList names;
        std::vector<std::optional<FileStamp>> sources;
        std::vector<std::vector<std::optional<FileStamp>>> copies; // by target, then by file
        qsizetype nextFile = 0;
        QStringList subFolders;
        qsizetype nextSubFolder = 0;
        QStringList mirrors; // by target
    };
    struct Walk {
        QString source;
        bool folder = false;
        bool recursive = false;
        bool copyHidden = false;
        QList<Target> targets;
        std::vector<Frame> frames;
    };

    void restartIfAsked();
    void requestOnNewMounts();
    void runSlice();
    bool begin(const QString& sourcePath);
    Flow walkOn();
    void enter(Walk& walk, const QString& folder, const QStringList& names);
    Flow visit(const Walk& walk, const Frame& frame, qsizetype file);
    QStringList staleTargets(const Walk& walk, const Frame& frame, const QString& name,
                             const FileStamp& source) const;
    std::optional<FileStamp> settled(const QString& file, FileStamp stamp);
    bool pauseMs(int ms);
    Flow sliceCheck(bool copied);
    int currentIndexOf(const QString& sourcePath) const;
    bool stopRequested() const;

    AppState& m_state;
    Engine& m_engine;
    MountTable m_mounts;          // as the last change left it
    QStringList m_awaitingDrives; // sources whose copies found a drive away
    std::deque<QString> m_queue;  // sources waiting for their catch-up
    std::optional<Walk> m_walk;   // the one under way
    QDateTime m_sliceEnd;
    int m_sinceClockCheck = 0;
    bool m_restartAll = false;
};
