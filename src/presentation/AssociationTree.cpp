#include "presentation/AssociationTree.h"

#include "engine/Engine.h"
#include "persistence/AssociationStore.h"
#include "platform/AppData.h"
#include "platform/DateTimeText.h"
#include "platform/Paths.h"
#include "presentation/ProtectionTexts.h"
#include "state/AppState.h"

#include <algorithm>

namespace {

// Children stand in alphabetical order; names that differ only in letter case keep a fixed order
// between them, so every name has exactly one place.
bool textBefore(const QString& a, const QString& b) {
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

using Children = std::vector<std::unique_ptr<TreeNode>>;

// Between a root's mount point and its disk's name: "/mnt/backup — BACKUP_B".
const QString volumeSeparator = QStringLiteral(" \u2014 ");

Children::const_iterator placeOf(const Children& siblings, const QString& text) {
    return std::lower_bound(siblings.begin(), siblings.end(), text,
                            [](const std::unique_ptr<TreeNode>& n, const QString& t) {
                                return textBefore(n->text, t);
                            });
}

// A name as the tree shows it: control characters (a newline in a file name) would break the
// row, so they show as the replacement character; the node's path keeps them.
QString shownText(const QString& text) {
    QString shown = text;
    for (QChar& c : shown)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QChar::ReplacementCharacter;
    return shown;
}

} // namespace

AssociationTree::AssociationTree(AppState& state, Engine* engine, QObject* parent)
    : QAbstractItemModel(parent), m_state(state), m_engine(engine) {}

AssociationTree::~AssociationTree() = default;

void AssociationTree::UpdateTreeLocal() {
    beginFill();
    fillSome(QDeadlineTimer(QDeadlineTimer::Forever));
}

void AssociationTree::beginFill() {
    // The first build shows the whole tree at once instead of node by node: the view sees no
    // rows until it is done.
    const bool firstBuild = m_roots.empty() || (m_fill && m_fill->hidden);
    m_fill = std::make_unique<Fill>(*this, firstBuild);
    // A path's own picture and its two status pictures for each association.
    if (firstBuild)
        m_images.reserve(3 * m_state.backups->Count());
}

bool AssociationTree::fillSome(const QDeadlineTimer& sliceEnd) {
    if (!m_fill)
        return true;
    Fill& fill = *m_fill;
    const colBackups& backups = *m_state.backups;
    while (fill.next < backups.Count()) {
        addNodesOf(backups.Item(++fill.next)->SourcePath, fill.facts, !fill.hidden);
        if (fill.next < backups.Count() && sliceEnd.hasExpired())
            return false;
    }
    const bool wasHidden = fill.hidden;
    if (wasHidden)
        beginResetModel();
    m_fill.reset();
    if (wasHidden)
        endResetModel();
    emit associationsShown();
    return true;
}

void AssociationTree::addNodesOf(const QString& source, IconFacts& facts, bool notify) {
    // Network paths have no place in the tree.
    if (source.isEmpty() || facts.onNetwork(source))
        return;
    // A file among others of its folder hangs under the folder's node, already there.
    if (TreeNode* folderNode = folderNodeOf(source)) {
        if (!m_byKey.contains(Paths::PathKey(source)))
            addNode(folderNode, Paths::fileName(source), source, facts, notify);
        return;
    }
    TreeNode* parentNode = nullptr;
    const QStringList levels = levelsOf(source, facts.driveOf(source));
    for (qsizetype k = 0; k < levels.size(); ++k) {
        const QString& path = levels[k];
        TreeNode* existing = m_byKey.value(Paths::PathKey(path));
        if (!existing) {
            const QString text = k == 0 ? path : Paths::fileName(path);
            existing = addNode(parentNode, text, path, facts, notify);
        }
        parentNode = existing;
    }
}

// The node of a source's folder, when the source lies in it by a plain path (no doubled or
// trailing separators) and the folder's node is in the tree already.
TreeNode* AssociationTree::folderNodeOf(const QString& source) const {
    const QString folder = Paths::parent(source);
    if (folder.isEmpty() || Paths::join(folder, Paths::fileName(source)) != source)
        return nullptr;
    return m_byKey.value(Paths::PathKey(folder));
}

QStringList AssociationTree::levelsOf(const QString& sourcePath, const QString& drive) const {
    const QString source = Paths::withoutTrailingSeparator(sourcePath);
    const QChar sep = Paths::separator();
    QString root = drive;
    const bool underRoot = Paths::samePath(source, root) ||
                           Paths::startsWith(source, root.endsWith(sep) ? root : root + sep);
    // A path that is not absolute still shows: under its own first component.
    if (!underRoot)
        root = source.left(std::max<qsizetype>(source.indexOf(sep), 1));
    QStringList levels{root};
    QString path = root;
    const QStringList pieces = source.mid(root.size()).split(sep, Qt::SkipEmptyParts);
    for (const QString& piece : pieces) {
        path = Paths::join(path, piece);
        levels.append(path);
    }
    return levels;
}

TreeNode* AssociationTree::addNode(TreeNode* parentNode, const QString& text, const QString& path,
                                   IconFacts& facts, bool notify) {
    auto made = std::make_unique<TreeNode>();
    TreeNode* n = made.get();
    n->text = text;
    n->path = path;
    n->key = Paths::PathKey(path);
    n->parent = parentNode;
    n->index = m_nextIndex++;
    n->imageKey = imageFor(*n, facts, true);
    if (!parentNode)
        n->volume = rootVolume(*n, facts);
    Children& siblings = parentNode ? parentNode->children : m_roots;
    const auto at = placeOf(siblings, text);
    const int row = int(at - siblings.begin());
    if (notify)
        beginInsertRows(indexOf(parentNode), row, row);
    siblings.insert(siblings.begin() + row, std::move(made));
    m_byKey.insert(n->key, n);
    m_byIndex.insert(n->index, n);
    if (notify)
        endInsertRows();
    return n;
}

int AssociationTree::FindTreeIndexFromFullPath(const QString& strFullPath) const {
    const TreeNode* n = nodeAtPath(Paths::withoutTrailingSeparator(strFullPath));
    return n ? n->index : -1;
}

bool AssociationTree::NodeExists(const QString& path) const {
    return m_byKey.contains(Paths::PathKey(path));
}

bool AssociationTree::BackupExists(const QString& path) const {
    const QString key = Paths::PathKey(path);
    return m_state.backups->contains(key) && m_state.backups->Item(key)->SourcePath == path;
}

void AssociationTree::RemoveBackup(const QString& path) {
    colBackups& backups = *m_state.backups;
    if (backups.contains(Paths::PathKey(path))) {
        backups.Remove(Paths::PathKey(path));
        return;
    }
    for (int i = 1; i <= backups.Count(); ++i)
        if (Paths::samePath(backups.Item(i)->SourcePath, path)) {
            backups.Remove(i);
            return;
        }
}

void AssociationTree::RemoveLocal(const TreeNode* target) {
    if (!target)
        return;
    const QString path = target->path;
    const auto association = associationOf(*target);
    if (!association) {
        // Everything below the container goes, in the order repeated scans would take it.
        for (const QString& source : associationsBelow(*target)) {
            DestroyBranchToNode(FindTreeIndexFromFullPath(source));
            if (m_engine)
                m_engine->RemoveDetectFolder(source);
            RemoveBackup(source);
        }
    } else {
        const QString source = association->SourcePath;
        if (m_engine)
            m_engine->RemoveDetectFolder(source);
        RemoveBackup(source);
        TreeNode* n = nodeAtPath(path);
        if (HasChildNodes(path))
            giveContainerImage(*n);
        else
            DestroyBranchToNode(n->index);
    }
    RemoveUnusedImages(gintNonIconsLocal);
    writeStores();
    emit associationsShown();
}

QStringList AssociationTree::associationsBelow(const TreeNode& container) const {
    // Network paths have no node: the user cannot see them below a container, so they stay.
    const QChar sep = Paths::separator();
    const QString below = container.path.endsWith(sep) ? container.path : container.path + sep;
    QStringList sources;
    for (const auto& a : *m_state.backups)
        if (Paths::startsWith(a->SourcePath, below) && !IsNetworkPath(a->SourcePath))
            sources.append(a->SourcePath);
    return sources;
}

const TreeNode* AssociationTree::firstAssociationNode() const {
    const TreeNode* first = nullptr;
    forEachNode([&](TreeNode& n) {
        if (!first && IsAssociationNode(n))
            first = &n;
    });
    return first;
}

void AssociationTree::writeStores() {
    const QString folder = AppData::folder();
    saveAssociations(*m_state.backups, folder);
    saveDestinations(*m_state.destinations, folder);
}

void AssociationTree::DestroyBranchToNode(int index) {
    TreeNode* n = node(index);
    if (!n)
        return;
    TreeNode* doomed = n;
    // Climb while the branch would be left empty and reaches no association.
    for (TreeNode* at = n; siblingsOf(at).size() == 1;) {
        if (at->isRoot()) {
            doomed = at;
            break;
        }
        if (IsAssociationNode(*at->parent))
            break;
        doomed = at = at->parent;
    }
    removeNode(doomed);
}

void AssociationTree::removeNode(TreeNode* n) {
    const int row = rowOf(n);
    beginRemoveRows(indexOf(n->parent), row, row);
    forget(n);
    Children& siblings = siblingsOf(n);
    siblings.erase(siblings.begin() + row);
    endRemoveRows();
}

void AssociationTree::forget(TreeNode* n) {
    for (const auto& child : n->children)
        forget(child.get());
    m_byKey.remove(n->key);
    m_byIndex.remove(n->index);
}

bool AssociationTree::IsNetworkPath(const QString& path) const {
    return m_state.fso->IsNetworkPath(path);
}

bool AssociationTree::HasChildNodes(const QString& path) const {
    const QString p = Paths::withoutTrailingSeparator(path);
    if (const TreeNode* n = nodeAtPath(p))
        return !n->children.empty();
    // No node of its own: only a root can lie below it (a mount inside the folder).
    const QString below = p.endsWith(Paths::separator()) ? p : p + Paths::separator();
    return std::any_of(m_roots.begin(), m_roots.end(), [&](const std::unique_ptr<TreeNode>& r) {
        return Paths::startsWith(r->path, below);
    });
}

QString AssociationTree::FirstPathPart(const QString& path) const {
    return m_state.fso->GetDriveName(path);
}

TreeNode* AssociationTree::node(int index) const {
    return index > 0 ? m_byIndex.value(index) : nullptr;
}

TreeNode* AssociationTree::nodeAt(const QModelIndex& index) const {
    return index.isValid() ? static_cast<TreeNode*>(index.internalPointer()) : nullptr;
}

TreeNode* AssociationTree::nodeAtPath(const QString& path) const {
    return m_byKey.value(Paths::PathKey(path));
}

QModelIndex AssociationTree::indexOf(const TreeNode* n) const {
    return n ? createIndex(rowOf(n), 0, const_cast<TreeNode*>(n)) : QModelIndex();
}

bool AssociationTree::IsAssociationNode(const TreeNode& n) const {
    return associationOf(n) != nullptr;
}

std::shared_ptr<clsBackup> AssociationTree::associationOf(const TreeNode& n) const {
    const colBackups& backups = *m_state.backups;
    if (backups.contains(n.key))
        return backups.Item(n.key);
    // A source stored with a trailing separator still ends at this node.
    const QString withSep = Paths::PathKey(n.path + Paths::separator());
    return backups.contains(withSep) ? backups.Item(withSep) : nullptr;
}

int AssociationTree::rowOf(const TreeNode* n) const {
    const Children& siblings = siblingsOf(n);
    const auto at = placeOf(siblings, n->text);
    if (at != siblings.end() && at->get() == n)
        return int(at - siblings.begin());
    const auto found =
        std::find_if(siblings.begin(), siblings.end(),
                     [n](const std::unique_ptr<TreeNode>& s) { return s.get() == n; });
    return int(found - siblings.begin());
}

const Children& AssociationTree::siblingsOf(const TreeNode* n) const {
    return n->parent ? n->parent->children : m_roots;
}

Children& AssociationTree::siblingsOf(TreeNode* n) {
    return n->parent ? n->parent->children : m_roots;
}

void AssociationTree::forEachNode(const std::function<void(TreeNode&)>& visit) const {
    std::vector<TreeNode*> stack;
    for (auto it = m_roots.rbegin(); it != m_roots.rend(); ++it)
        stack.push_back(it->get());
    while (!stack.empty()) {
        TreeNode* n = stack.back();
        stack.pop_back();
        visit(*n);
        for (auto it = n->children.rbegin(); it != n->children.rend(); ++it)
            stack.push_back(it->get());
    }
}

QStringList AssociationTree::visibleNodePaths() const {
    QStringList visible;
    forEachNode([&](const TreeNode& n) {
        bool shown = true;
        for (const TreeNode* a = n.parent; a && shown; a = a->parent)
            shown = a->expanded;
        if (shown)
            visible.append(n.key);
    });
    return visible;
}

void AssociationTree::revealNodes(const QStringList& paths) {
    for (const QString& path : paths)
        if (NodeExists(path))
            for (TreeNode* a = nodeAtPath(path)->parent; a; a = a->parent)
                if (!a->expanded)
                    setExpanded(*a, true);
}

void AssociationTree::setAllExpanded(bool expanded) {
    forEachNode([&](TreeNode& n) {
        if (!n.children.empty() && n.expanded != expanded)
            setExpanded(n, expanded);
    });
}

void AssociationTree::setExpanded(TreeNode& n, bool expanded) {
    n.expanded = expanded;
    emit expansionRequested(indexOf(&n), expanded);
}

void AssociationTree::noteExpanded(const QModelIndex& index, bool expanded) {
    if (TreeNode* n = nodeAt(index))
        n->expanded = expanded;
}

QModelIndex AssociationTree::index(int row, int column, const QModelIndex& parentIndex) const {
    if (column < 0 || column >= ColumnCount || row < 0)
        return {};
    const TreeNode* p = nodeAt(parentIndex);
    const Children& siblings = p ? p->children : m_roots;
    if (std::size_t(row) >= siblings.size())
        return {};
    return createIndex(row, column, siblings[std::size_t(row)].get());
}

QModelIndex AssociationTree::parent(const QModelIndex& child) const {
    const TreeNode* n = nodeAt(child);
    return n ? indexOf(n->parent) : QModelIndex();
}

int AssociationTree::rowCount(const QModelIndex& parentIndex) const {
    if (parentIndex.column() > 0)
        return 0;
    const TreeNode* p = nodeAt(parentIndex);
    if (!p && m_fill && m_fill->hidden)
        return 0;
    return int(p ? p->children.size() : m_roots.size());
}

int AssociationTree::columnCount(const QModelIndex&) const {
    return ColumnCount;
}

QVariant AssociationTree::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn:
        return QStringLiteral("Source");
    case StateColumn:
        return QStringLiteral("State");
    case LastBackupColumn:
        return QStringLiteral("Last backup");
    default:
        return {};
    }
}

void AssociationTree::setStatus(const ProtectionStatus* status) {
    m_status = status;
    statusChanged();
}

void AssociationTree::statusChanged() {
    // Rows still hidden are drawn with their state when they are shown.
    if (m_fill && m_fill->hidden)
        return;
    const auto changedBelow = [this](const Children& rows, const QModelIndex& parentIndex) {
        if (!rows.empty())
            emit dataChanged(index(0, StateColumn, parentIndex),
                             index(int(rows.size()) - 1, LastBackupColumn, parentIndex));
    };
    changedBelow(m_roots, {});
    forEachNode([&](TreeNode& n) {
        if (!n.children.empty())
            changedBelow(n.children, indexOf(&n));
    });
}

// Only association rows have a state; the relative time reads against the state's clock.
QVariant AssociationTree::statusData(const TreeNode& n, int column, int role) const {
    const auto association = m_status ? associationOf(n) : nullptr;
    if (!association)
        return {};
    const AssociationState state = m_status->stateOf(*association);
    const QDateTime now = m_state.clock.now();
    if (column == StateColumn) {
        switch (role) {
        case Qt::DisplayRole:
            return ProtectionTexts::stateName(state.protection);
        case Qt::ToolTipRole:
            return ProtectionTexts::destinationsToolTip(state, now);
        case ImageKeyRole:
            // The tree's own marks: the warning where the user is needed, green where all is
            // well.
            if (ProtectionTexts::troubled(state))
                return ImageKeys::yellow;
            return state.fine() ? ImageKeys::green : QVariant();
        default:
            return {};
        }
    }
    switch (role) {
    case Qt::DisplayRole:
        return ProtectionTexts::ago(state.lastBackup, now);
    case Qt::ToolTipRole:
        return state.lastBackup.isValid() ? DateTimeText::format(state.lastBackup) : QVariant();
    default:
        return {};
    }
}

QVariant AssociationTree::data(const QModelIndex& index, int role) const {
    const TreeNode* n = nodeAt(index);
    if (!n)
        return {};
    if (index.column() != NameColumn)
        return statusData(*n, index.column(), role);
    switch (role) {
    case Qt::DisplayRole:
        return n->volume.isEmpty() ? shownText(n->text)
                                   : shownText(n->text) + volumeSeparator + shownText(n->volume);
    case Qt::ToolTipRole:
        return shownText(n->path);
    case ImageKeyRole:
        return n->imageKey;
    case PathRole:
        return n->path;
    default:
        return {};
    }
}
