#pragma once
// A change watch on one folder, and optionally on every folder below it on the same file system:
// it records the files that its events name, in the order they arrive, and signals until it is
// re-armed. All watches of the program share one system instance; polling one watch never takes
// or loses another watch's events. Polled by the engine's tick, so it never blocks longer than
// the caller asks.

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// What the events that named a file said last about its writer.
enum class FileEvent {
    Written, // written or created: a writer may still hold it open
    Closed,  // closed after writing, or moved in whole
    Touched, // only its times or permission bits changed: says nothing about a writer
};

// What a watch saw between two takes.
struct ChangeBatch {
    QStringList files;                // files named by events, each once, in arrival order
    QHash<QString, FileEvent> events; // what the events of each file said last
    QStringList changedFolders;       // folders whose permission bits or times changed, each once
    // Sub-folders created or moved in, each once, in arrival order: their files are unknown to
    // events.
    QStringList newFolders;
    bool overflow = false; // events were lost (or some folders are not watched): walk everything
    // The number of the last event read into this batch, counted over all watches in the order
    // they are read: a wait for the writer that began after it has already given it its time.
    // Unknown for batches that no watch filled.
    std::optional<quint64> lastEvent;

    bool empty() const {
        return files.isEmpty() && newFolders.isEmpty() && changedFolders.isEmpty() && !overflow;
    }
    // Adds `later`, keeping the order of arrival and each path once.
    void append(const ChangeBatch& later);
    // Notes that an event said `event` about `file`.
    void noteFile(const QString& file, FileEvent event);
    // Notes a folder whose bits or times changed / a folder that appeared, unless already noted.
    void noteChangedFolder(const QString& folder);
    void noteNewFolder(const QString& folder);
    FileEvent eventOf(const QString& file) const { return events.value(file, FileEvent::Closed); }
    // A batch that asks for the whole tree to be walked.
    static ChangeBatch everything();
    // Notes that an event of this batch was read just now.
    void countEvent();
    // How many events all watches have read so far.
    static quint64 eventsRead();

private:
    // The folders of the two lists as keys: an unpacked archive brings thousands of new folders,
    // and a look through the list for each would take their number squared.
    QSet<QString> m_changedFolderKeys;
    QSet<QString> m_newFolderKeys;
};

class ChangeWatch {
public:
    // Lets tests make the addition of one folder's watch fail: called before each folder is
    // added, a non-zero errno result makes that addition fail with it (ENOSPC: the limit).
    using WatchFault = std::function<int(const QString& folder)>;

    struct Scope {
        bool subtree = false;    // every folder below too, also those made later
        bool skipHidden = false; // folders whose name starts with "." are not entered
        int maxPendingPaths = 0; // past this many named paths: overflow (0: the default)
        WatchFault fault;
    };

    // Opens a watch on `folder` and, when asked, on each sub-folder on the same file system
    // (symbolic links are not followed). Check isOpen() on the result.
    static std::unique_ptr<ChangeWatch> open(const QString& folder, const Scope& scope);

    virtual ~ChangeWatch() = default;

    // False when the top folder could not be watched, or has gone away since (deleted, renamed,
    // unmounted): a gone watch never signals again; open a new one when the folder is back.
    virtual bool isOpen() const = 0;
    // True when a change arrived since the last re-arm, waiting up to `timeoutMs` for one
    // (0: poll without blocking).
    virtual bool wait(int timeoutMs) = 0;
    // True when a change since the last re-arm is among the events read so far; reads nothing.
    virtual bool signalled() const = 0;
    // Takes the pending changes into the batch that take() hands out, so that the watch signals
    // only for later ones. Sub-folders that appeared meanwhile are watched from now on.
    virtual void rearm() = 0;
    // Hands out (and forgets) what the re-arms since the last take collected.
    virtual ChangeBatch take() = 0;
    // The system's limit on watched folders was reached: some folders of the subtree are not
    // watched (those watched before stay watched); unwatchedFolders() names them.
    virtual bool limitReached() const = 0;
    // Folders watched now (the top folder and its watched sub-folders).
    virtual int watchedFolders() const = 0;
    // The folders whose trees are not watched because the system's limit was reached: changes
    // there arrive without a word, so they are looked through.
    virtual QStringList unwatchedFolders() const = 0;
    // The device and inode of the top folder when it was watched, to tell whether the path now
    // leads somewhere else (a file system mounted over it, or unmounted from under it).
    virtual quint64 topDevice() const = 0;
    virtual quint64 topInode() const = 0;
    // True while the top folder's path still leads to the folder that was watched, not to one
    // mounted over it or left when a file system was unmounted from under it.
    bool stillAt(const QString& folder) const;

    // How many system instances the program holds (at most one).
    static int instanceCount();
    // The descriptor that becomes readable when events wait for the program's watches, for an
    // event loop to wait on; -1 while no watch is open.
    static int eventDescriptor();
    // Reads the events that wait, without blocking, into the watches they belong to.
    static void readEvents();
    // The watches that gained changes (or lost their folder) since the last call, each once.
    static std::vector<ChangeWatch*> takeSignalled();
    // The system's limit on watched folders, or 0 when it cannot be read.
    static qint64 systemWatchLimit();
};
