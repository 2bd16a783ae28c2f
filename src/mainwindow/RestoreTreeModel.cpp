#include "mainwindow/RestoreTreeModel.h"

#include "platform/Paths.h"

#include <QFileIconProvider>

namespace {

const QString goneTip = QStringLiteral("%1\n(%2)");

} // namespace

RestoreTreeModel::RestoreTreeModel(const RestoreBrowser& browser, QObject* parent)
    : QAbstractItemModel(parent), m_browser(browser), m_children(1) {
    const QFileIconProvider icons;
    m_folderIcon = icons.icon(QFileIconProvider::Folder);
    m_fileIcon = icons.icon(QFileIconProvider::File);
    m_goneFont.setItalic(true);
}

void RestoreTreeModel::reload() {
    beginResetModel();
    const std::vector<BrowserNode>& all = nodes();
    m_children.assign(all.size() + 1, {});
    m_rowOf.assign(all.size(), 0);
    // Parents come before their children, so each child's row is known when it comes.
    for (size_t i = 0; i < all.size(); ++i) {
        std::vector<int>& siblings = m_children[size_t(all[i].parent + 1)];
        m_rowOf[i] = int(siblings.size());
        siblings.push_back(int(i));
    }
    endResetModel();
}

QModelIndex RestoreTreeModel::indexOf(int node) const {
    if (node < 0 || size_t(node) >= m_rowOf.size())
        return {};
    return createIndex(m_rowOf[size_t(node)], NameColumn, quintptr(node));
}

QModelIndex RestoreTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const int above = parent.isValid() ? int(parent.internalId()) : -1;
    if (parent.isValid() && parent.column() != NameColumn)
        return {};
    const std::vector<int>& children = childrenOf(above);
    if (row < 0 || size_t(row) >= children.size() || column < 0 || column >= ColumnCount)
        return {};
    return createIndex(row, column, quintptr(children[size_t(row)]));
}

QModelIndex RestoreTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid())
        return {};
    return indexOf(nodes()[size_t(child.internalId())].parent);
}

int RestoreTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return int(childrenOf(-1).size());
    return parent.column() == NameColumn ? int(childrenOf(int(parent.internalId())).size()) : 0;
}

int RestoreTreeModel::columnCount(const QModelIndex&) const {
    return ColumnCount;
}

QVariant RestoreTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int node = int(index.internalId());
    const BrowserNode& n = nodes()[size_t(node)];
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == NoteColumn)
            return n.inSource ? QString() : RestoreWindowTexts::notInSource;
        return n.name;
    case Qt::DecorationRole:
        if (index.column() == NameColumn)
            return n.folder ? m_folderIcon : m_fileIcon;
        return {};
    case Qt::ToolTipRole:
        return n.inSource
                   ? Paths::displayName(n.sourcePath)
                   : goneTip.arg(Paths::displayName(n.sourcePath), RestoreWindowTexts::notInSource);
    case Qt::FontRole:
        if (!n.inSource)
            return m_goneFont;
        return {};
    case Qt::UserRole:
        return node;
    default:
        return {};
    }
}
