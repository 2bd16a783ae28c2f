#pragma once
// The catch-up of one association in the destinations that one worker serves: every source file
// is compared with its mirrored copy in each of them and is due where the copy is missing or
// differs in size or last-modified time. The walk runs on the worker's thread in small steps, so
// that copies of files just saved get in between, and it stays on the source's own file system.

#include "engine/BackupLayout.h"
#include "engine/BackupOwners.h"
#include "model/Records.h"
#include "persistence/Options.h"
#include "platform/FileSystem.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// One association's catch-up, fixed when it was asked for.
struct CatchUpTask {
    quint64 id = 0; // tells its end from the end of an earlier catch-up of the same association
    clsBackup association;
    std::vector<clsDestination> destinations; // those served by the worker that walks
    Options options;                          // the filters and the version folders' name
    qint64 settleNs = 0; // a file modified more recently than this may still be written
    BackupOwners::Ownership owners = {}; // for the copies it finds due
};

class CatchUpWalk {
public:
    // What one step found.
    struct Found {
        enum class Kind {
            Nothing,  // the step's share of files is done; call again
            Stale,    // `file` is due in `destinations`
            Changing, // `file` was modified moments ago: the watch's settle decides
            Done,     // the walk is over
        };
        Kind kind = Kind::Nothing;
        QString file;
        std::vector<clsDestination> destinations;
    };

    CatchUpWalk(FileSystem& fso, CatchUpTask task);

    const CatchUpTask& task() const { return m_task; }
    // Looks at up to `budget` files; stops early at the first one that needs something.
    Found next(int budget, qint64 nowNs);
    // The walk compares against the destination folder `path`: the caller may clear it of
    // temporary files that a killed copy left.
    std::function<void(const QString& path)> onDestinationReached;

private:
    struct Target {
        clsDestination destination;
        qint64 stepNs = 1; // the step of last-modified times its file system keeps
    };
    // One folder of the walk: its files, their stamps, and their copies' stamps in each target,
    // each looked up through its folder once when the walk enters it.
    struct Frame {
        QString folder;
        QStringList names;
        QStringList copyNames; // each name as it is in the mirrors
        std::vector<std::optional<FileStamp>> sources;
        std::vector<std::vector<std::optional<FileStamp>>> copies; // by target, then by file
        QStringList mirrors;                                       // by target
        qsizetype nextFile = 0;
        QStringList subFolders;
        qsizetype nextSubFolder = 0;
    };

    bool begin();
    void enter(const QString& folder, const QStringList& names);
    Found visit(const Frame& frame, qsizetype file, qint64 nowNs);
    bool entersSubFolder(const QString& subFolder) const;

    FileSystem& m_fso;
    CatchUpTask m_task;
    BackupLayout m_layout;
    bool m_started = false;
    std::optional<quint64> m_device; // the source's file system
    std::vector<Target> m_targets;
    std::vector<Frame> m_frames;
};
