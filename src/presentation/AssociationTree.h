#pragma once
// The association tree (`treeBackupsLocal`) without widgets: mount points at the root, one node
// per path component below them, children in alphabetical order. A node whose path is an
// association's source is an association node; every other node is a container on the way to
// one. Each node carries its picture as an image key (ImageKeyRole) that the window maps to an
// icon. Nodes are found by key in a hash, so building the tree is linear in the number of
// associations.
//
// The operations keep the names under which the dialogs call them: after changing the
// associations a dialog calls UpdateTreeLocal (new nodes), applyIconRule (a node that became an
// association) or RefreshNodeIcons (after a rename).

#include "presentation/ImageList.h"

#include <QAbstractItemModel>
#include <QDeadlineTimer>
#include <QHash>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class AppState;
class Engine;
class ProtectionStatus;
class clsBackup;

struct TreeNode {
    QString text; // one path component; a root's is its mount point
    QString path; // the node path: the mount point joined with the texts below it
    QString key;  // PathKey(path)
    QString imageKey;
    QString volume; // a root's: the name of the disk mounted there, shown beside its path
    bool expanded = false;
    int index = 0; // the node's number for FindTreeIndexFromFullPath, never reused
    TreeNode* parent = nullptr;
    std::vector<std::unique_ptr<TreeNode>> children; // sorted

    bool isRoot() const { return parent == nullptr; }
};

class AssociationTree : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role { ImageKeyRole = Qt::UserRole + 1, PathRole };
    // Beside each association its protection state and when it was last backed up.
    enum Column { NameColumn, StateColumn, LastBackupColumn, ColumnCount };

    // `engine` may be null (no watches to close or reopen, as in some tests).
    AssociationTree(AppState& state, Engine* engine, QObject* parent = nullptr);
    ~AssociationTree() override;

    ImageList& images() { return m_images; }
    // Where the state and "Last backup" columns read from; empty columns without one.
    void setStatus(const ProtectionStatus* status);
    // The state columns of every row are to be drawn again.
    void statusChanged();
    // The number of generic images, set once after PlaceIcons.
    int gintNonIconsLocal = 0;

    // --- the tree operations
    // Adds the missing nodes of every association and gives each added node its image.
    void UpdateTreeLocal();
    // The same a slice at a time, for a large set at start: beginFill, then fillSome until it
    // returns true. The associations are not to change meanwhile. While a first fill goes on the
    // view sees no rows; it sees them all at once at the end.
    void beginFill();
    bool fillSome(const QDeadlineTimer& sliceEnd);
    // The number of the node whose path is `strFullPath` without one trailing separator, or -1.
    // The caller's text is left as it is.
    int FindTreeIndexFromFullPath(const QString& strFullPath) const;
    bool NodeExists(const QString& path) const;
    // True when an association's source path is exactly `path`.
    bool BackupExists(const QString& path) const;
    // Removes the first association whose source path is `path`.
    void RemoveBackup(const QString& path);
    // Removes the associations `node` stands for with their nodes, purges unused images and
    // rewrites both store files.
    void RemoveLocal(const TreeNode* node);
    // The source paths of the associations a container's Remove takes, in the order it takes
    // them.
    QStringList associationsBelow(const TreeNode& container) const;
    // Removes the node and every ancestor that would be left without children and is not an
    // association itself.
    void DestroyBranchToNode(int index);
    void RemoveUnusedImages(int intNonIcons);
    void PlaceIcons();
    bool IsNetworkPath(const QString& path) const;
    void EnsurePathIcon(const QString& path);
    void EnsureStatusIcons(const QString& path);
    // True when a node other than `path`'s own lies below `path`.
    bool HasChildNodes(const QString& path) const;
    // Removes every per-path image and applies the icon rule again to every node; never
    // changes an association's enabled state.
    void RefreshNodeIcons();
    // The mount point holding `path` (the drive of a path).
    QString FirstPathPart(const QString& path) const;

    // --- nodes
    TreeNode* node(int index) const;
    TreeNode* nodeAt(const QModelIndex& index) const;
    TreeNode* nodeAtPath(const QString& path) const;
    QModelIndex indexOf(const TreeNode* node) const;
    int nodeCount() const { return int(m_byKey.size()); }
    bool IsAssociationNode(const TreeNode& node) const;
    // The topmost association node as the tree shows it, or null when there is none.
    const TreeNode* firstAssociationNode() const;
    // The association a node stands for, or null for a container.
    std::shared_ptr<clsBackup> associationOf(const TreeNode& node) const;
    // The association rows of the icon rule on the node of `path` (an existing node that has
    // just become an association, or whose association changed). Returns false without a node.
    bool applyIconRule(const QString& path);
    void setNodeImage(TreeNode& node, const QString& imageKey);

    // --- view state
    // Paths of the nodes whose ancestors are all expanded, in tree order (nprefs).
    QStringList visibleNodePaths() const;
    // Expands the ancestors of each listed node that exists.
    void revealNodes(const QStringList& paths);
    void setAllExpanded(bool expanded);
    void setExpanded(TreeNode& node, bool expanded);
    // The view reports a node the user opened or closed.
    void noteExpanded(const QModelIndex& index, bool expanded);

    // The "Volume" status panel's text for the selected node (null: none selected).
    QString volumePanelText(const TreeNode* node) const;

    // --- QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // The view is to show `index` expanded or collapsed.
    void expansionRequested(const QModelIndex& index, bool expanded);
    // The tree was brought up to date after the associations changed (added, edited, enabled or
    // disabled, renamed, removed, loaded from a scheme): whatever shows them looks again.
    void associationsShown();

private:
    // Drive facts asked once per drive while many nodes take their images.
    class IconFacts {
    public:
        explicit IconFacts(const AssociationTree& tree) : m_tree(tree) {}
        bool driveUsable(const QString& drive);
        QString volumeName(const QString& drive);
        // The drive (mount point) a path lies on, asked once per folder: siblings share their
        // folder's drive unless one is a mount point or a symbolic link of its own.
        QString driveOf(const QString& path);
        // Whether a path lies on a network file system (its drive's type), asked once per drive.
        bool onNetwork(const QString& path);

    private:
        QString lookUpDriveOf(const QString& path);

        const AssociationTree& m_tree;
        QHash<QString, bool> m_usable;
        QHash<QString, QString> m_volumes;
        QHash<QString, QString> m_driveOfFolder;
        QHash<QString, QString> m_driveOfPath; // a source is asked for more than once
        QHash<QString, bool> m_networkDrive;
    };

    // The nodes of one association's source and of the folders above it.
    void addNodesOf(const QString& source, IconFacts& facts, bool notify);
    TreeNode* addNode(TreeNode* parent, const QString& text, const QString& path, IconFacts& facts,
                      bool notify);
    void removeNode(TreeNode* node);
    void forget(TreeNode* node);
    int rowOf(const TreeNode* node) const;
    const std::vector<std::unique_ptr<TreeNode>>& siblingsOf(const TreeNode* node) const;
    std::vector<std::unique_ptr<TreeNode>>& siblingsOf(TreeNode* node);
    TreeNode* folderNodeOf(const QString& source) const;
    // The paths from the mount point `drive` down to `sourcePath` (not a network path).
    QStringList levelsOf(const QString& sourcePath, const QString& drive) const;
    // The icon rule: the image key of a node. With `mayDisable`, an association whose source
    // is missing is set disabled.
    QString imageFor(const TreeNode& node, IconFacts& facts, bool mayDisable);
    QString associationImage(const TreeNode& node, clsBackup& association, IconFacts& facts,
                             bool mayDisable);
    void giveContainerImage(TreeNode& node);
    // The name of the disk mounted at a root; empty when none is mounted there.
    QString rootVolume(const TreeNode& root, IconFacts& facts) const;
    void announceAllImages();
    void writeStores();
    // Every node, parents before children, in tree order.
    void forEachNode(const std::function<void(TreeNode&)>& visit) const;
    QVariant statusData(const TreeNode& node, int column, int role) const;

    AppState& m_state;
    Engine* m_engine;
    const ProtectionStatus* m_status = nullptr;
    ImageList m_images;
    std::vector<std::unique_ptr<TreeNode>> m_roots; // sorted
    QHash<QString, TreeNode*> m_byKey;
    QHash<int, TreeNode*> m_byIndex;
    int m_nextIndex = 1;

    // A fill under way: the next association (1-based, the last one done) and the drive facts
    // gathered so far.
    struct Fill {
        Fill(const AssociationTree& tree, bool firstBuild) : facts(tree), hidden(firstBuild) {}
        IconFacts facts;
        bool hidden;
        int next = 0;
    };
    std::unique_ptr<Fill> m_fill;
};
