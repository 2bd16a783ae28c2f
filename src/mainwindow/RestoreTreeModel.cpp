#include "mainwindow/RestoreTreeModel.h"

#include "platform/Paths.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace {

const QString goneTip = QStringLiteral("%1\n(%2)");
// Room between a name and its note, and after the note.
constexpr int noteGap = 12;

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
    return createIndex(m_rowOf[size_t(node)], 0, quintptr(node));
}

QModelIndex RestoreTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const int above = parent.isValid() ? int(parent.internalId()) : -1;
    const std::vector<int>& children = childrenOf(above);
    if (row < 0 || size_t(row) >= children.size() || column != 0)
        return {};
    return createIndex(row, column, quintptr(children[size_t(row)]));
}

QModelIndex RestoreTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid())
        return {};
    return indexOf(nodes()[size_t(child.internalId())].parent);
}

int RestoreTreeModel::rowCount(const QModelIndex& parent) const {
    return int(childrenOf(parent.isValid() ? int(parent.internalId()) : -1).size());
}

int RestoreTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant RestoreTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int node = int(index.internalId());
    const BrowserNode& n = nodes()[size_t(node)];
    switch (role) {
    case Qt::DisplayRole:
        return n.name;
    case NoteRole:
        return n.inSource ? QString() : RestoreWindowTexts::notInSource;
    case Qt::DecorationRole:
        return n.folder ? m_folderIcon : m_fileIcon;
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

void NoteDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    const QString note = index.data(RestoreTreeModel::NoteRole).toString();
    if (note.isEmpty())
        return QStyledItemDelegate::paint(painter, option, index);
    QStyleOptionViewItem whole(option);
    initStyleOption(&whole, index);
    const QFontMetrics metrics(whole.font);
    // A row too narrow for both shortens the name first, and the note only down to half the
    // row: a note without the name it belongs to says nothing.
    const int room = option.rect.width();
    const int nameNeeds = QStyledItemDelegate::sizeHint(option, index).width();
    const int noteWidth = std::min(metrics.horizontalAdvance(note) + 2 * noteGap,
                                   std::max(room / 2, room - nameNeeds));
    QStyleOptionViewItem name(option);
    name.rect.setRight(option.rect.right() - noteWidth);
    QStyledItemDelegate::paint(painter, name, index);

    // The note's part of the row, with the row's background and colours.
    QStyleOptionViewItem rest(whole);
    rest.rect = QRect(name.rect.right() + 1, option.rect.top(), noteWidth, option.rect.height());
    rest.text.clear();
    rest.icon = QIcon();
    rest.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget* view = option.widget;
    QStyle* style = view ? view->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &rest, painter, view);
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->setFont(whole.font);
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(rest.rect.adjusted(noteGap, 0, -noteGap, 0), Qt::AlignVCenter | Qt::AlignLeft,
                      metrics.elidedText(note, Qt::ElideRight, rest.rect.width() - 2 * noteGap));
    painter->restore();
}

QSize NoteDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QString note = index.data(RestoreTreeModel::NoteRole).toString();
    if (!note.isEmpty())
        size.rwidth() += QFontMetrics(option.font).horizontalAdvance(note) + 2 * noteGap;
    return size;
}
