#pragma once
// Walks of source trees for what the watches' events cannot name: a folder moved in (every file
// in it is new) or events that were lost (the files modified since the last served change). The
// walks share the event-loop thread with the watches in short slices, so that the window and
// the saves meanwhile are served; they read the source only.

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class FileSystem;
class TurnBudget;
struct FileStamp;

class SourceWalks : public QObject {
    Q_OBJECT
public:
    struct Request {
        QString sourceKey; // the association the walk serves
        QString folder;    // where the walk starts
        bool recursive = false;
        bool copyHidden = false;
        std::optional<quint64> device; // the source's file system: the walk stays on it
        // Files modified before this are left out; unset: every file counts.
        std::optional<qint64> sinceMs;
        // When set, only a file whose stamp differs from the one kept here counts, and the kept
        // stamps are brought up to date (`recordOnly`: nothing counts, the stamps are kept).
        std::shared_ptr<QHash<QString, FileStamp>> known;
        bool recordOnly = false;
    };

    // The walks take their slices from `turn`, which they share with the engine's other work.
    SourceWalks(const FileSystem& fso, TurnBudget& turn, QObject* parent = nullptr);

    void add(Request request);
    void clear();
    bool busy() const { return !m_walks.empty(); }

    // A file the walk found: `modifiedMs` is its last modification.
    std::function<void(const QString& sourceKey, const QString& file, qint64 modifiedMs)> onFound;
    // The walks are over.
    std::function<void()> onDone;

private:
    struct Walk {
        Request request;
        std::deque<QString> folders; // still to look at
    };
    void slice();
    void scheduleSlice();
    void visitFolder(const Walk& walk, const QString& folder, std::deque<QString>& more);

    const FileSystem& m_fso;
    TurnBudget& m_turn;
    std::deque<Walk> m_walks;
    bool m_scheduled = false;
};
