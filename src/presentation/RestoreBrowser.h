#pragma once
// The rules of the restore window, without the window: the association's backed-up tree with
// its filter, the copies of the selected file as rows, and the commands Open, Restore, Restore
// to…, Restore folder… and Compare. Every look at a backup or a target runs on the restore
// service's threads; the answers come back here. Questions go through MessageBoxes and pickers
// through FilePickers, so tests answer them; what only the desktop can do (open a file with its
// program, show a folder) goes through the two hooks.

#include "restore/RestoreService.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class FilePickers;
class MessageBoxes;

namespace RestoreWindowTexts {
inline const QString title = QStringLiteral("Restore");
inline const QString notInSource = QStringLiteral("not in the source any more");
inline const QString current = QStringLiteral("current copy");
inline const QString version = QStringLiteral("version %1");
inline const QString sameAsSource = QStringLiteral("yes");
inline const QString sameContent = QStringLiteral("same content");
inline const QString otherContent = QStringLiteral("different content");
inline const QString listing = QStringLiteral("Looking through the backups…");
inline const QString noCopies = QStringLiteral("No copies found.");
inline const QString selectSomething = QStringLiteral("Select a file to see its copies.");
inline const QString askRestore = QStringLiteral(
    "Put the copy of %1 from %2 back at\n%3?\n\nThe file as it is now is backed up first and "
    "kept as a previous version.");
inline const QString restoredTo = QStringLiteral("%1 is restored.");
inline const QString pickTarget = QStringLiteral("Restore to");
inline const QString askReplace = QStringLiteral("%1 exists already. Replace it?");
inline const QString pickFolder = QStringLiteral("Restore the folder's files into");
inline const QString askNotEmpty = QStringLiteral(
    "%1 is not empty.\n\nYes: files of the same names there are replaced.\nNo: files that are "
    "there already are kept; only the others are restored.");
inline const QString progress = QStringLiteral("%1 of %2 files, %3 of %4");
inline const QString timeLeft = QStringLiteral(", about %1 left");
inline const QString openFailed = QStringLiteral("The copy cannot be opened: %1");
inline const QString noProgram = QStringLiteral("No program on this desktop opens %1.");
inline const QString best = QStringLiteral("the best available");
} // namespace RestoreWindowTexts

// One node of the tree shown on the left, parents before their children.
struct BrowserNode {
    QString name;       // as shown (a name that is not UTF-8 with its odd bytes escaped)
    QString sourcePath; // the source file or folder it stands for
    int parent = -1;    // index of the parent node; -1 at the top
    bool folder = false;
    bool inSource = true; // false: marked "not in the source any more"
};

// One copy of the selected file, as the table on the right shows it.
struct CopyRow {
    QString disk;    // the volume name, a long "UUID=…" shortened
    QString where;   // the destination folder
    QString version; // "current copy" or "version k"
    QString time;
    QString size;
    QString same; // a mark where it equals the file now
    KeptCopy copy;
};

// How "Restore folder…" chooses: the newest copies, or those of a time; from one destination
// or the best available.
struct FolderChoice {
    std::optional<QDateTime> asOf;
    QString from; // a destination folder; empty: the best available
};

class RestoreBrowser : public QObject {
    Q_OBJECT
public:
    RestoreBrowser(BackupSet set, MessageBoxes& messages, FilePickers& pickers,
                   QObject* parent = nullptr);
    ~RestoreBrowser() override;

    // Desktop hooks: open a file with the desktop's program (false when none takes it), and
    // show a file in its folder.
    std::function<bool(const QString& path)> openWithDesktop;
    std::function<void(const QString& path)> showInFolder;

    const BackupSet& set() const { return m_set; }
    // Starts reading the backed-up tree.
    void start();
    bool listing() const { return m_listing; }

    // --- left: the tree, as filtered
    void setFilter(const QString& text);
    const std::vector<BrowserNode>& nodes() const { return m_nodes; }
    // Where the disks of unplugged destinations are asked for.
    QStringList unpluggedTexts() const;

    // --- right: the selected node's copies
    void select(int node);
    int selected() const { return m_selected; }
    const std::vector<CopyRow>& rows() const { return m_rows; }
    bool copiesListed() const { return m_copiesListed; }
    // The destinations a folder restore may be limited to: their paths and how they are shown.
    std::vector<std::pair<QString, QString>> destinationChoices() const;

    // --- commands on a row of the selected file
    void open(int row);
    void showRowInFolder(int row);
    void compare(int row);
    void restore(int row);
    void restoreTo(int row);
    // The selected folder's files (the whole association when a file or nothing is selected).
    void restoreFolder(const FolderChoice& choice);
    void cancelRestore();
    bool restoring() const { return m_restoreJob != 0; }

signals:
    void treeChanged();
    void copiesChanged();
    // A restore under way: its progress in words and in per cent (-1 when not known yet).
    void restoreProgress(const QString& text, int percent);
    void restoreEnded();

private:
    void onTree(quint64 job, const BackedUpTree& tree);
    void onCopies(quint64 job, const FileCopies& copies);
    void onCompared(quint64 job, bool same);
    void onTarget(quint64 job, const TargetState& state);
    void onProgress(quint64 job, const RestoreProgress& progress);
    void onRestored(quint64 job, const RestoreSummary& summary);
    void onExtracted(quint64 job, const QString& path, const QString& error);
    void rebuildNodes();
    void runRestore(const RestoreRequest& request);
    const CopyRow* rowAt(int row) const;
    QString folderOfSelection() const;

    BackupSet m_set;
    MessageBoxes& m_messages;
    FilePickers& m_pickers;
    RestoreService m_service;
    std::unique_ptr<QTemporaryDir> m_openFolder; // read-only copies opened with the desktop
    int m_opened = 0;

    BackedUpTree m_tree;
    QString m_filter;
    std::vector<BrowserNode> m_nodes;
    std::vector<int> m_fileOfNode; // index into m_tree.files, -1 for folders
    bool m_listing = false;
    quint64 m_treeJob = 0;

    int m_selected = -1;
    std::vector<CopyRow> m_rows;
    bool m_copiesListed = false;
    quint64 m_copiesJob = 0;
    quint64 m_compareJob = 0;
    int m_compareRow = -1;

    // A folder restore waits for the look at its target first.
    quint64 m_targetJob = 0;
    QString m_targetFolder;
    FolderChoice m_folderChoice;
    QString m_folderSource;
    quint64 m_restoreJob = 0;
    // A file restore that found a file in its place asks, then runs again.
    RestoreRequest m_lastRequest;
};
