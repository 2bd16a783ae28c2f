#include "mainwindow/BackupsTreeView.h"

#include "mainwindow/IconStore.h"
#include "presentation/AssociationTree.h"
#include "presentation/TreeCommands.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

constexpr int emptyTextMargin = 24;
// The width the empty tree's text wraps at, in average characters: a comfortable line.
constexpr int emptyTextColumns = 56;
constexpr int emptyTextFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;

// Paints each node with the picture of its image key.
class ImageKeyDelegate : public QStyledItemDelegate {
public:
    ImageKeyDelegate(IconStore& icons, QObject* parent)
        : QStyledItemDelegate(parent), m_icons(icons) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QIcon picture = m_icons.icon(index.data(AssociationTree::ImageKeyRole).toString());
        if (!picture.isNull()) {
            option->icon = picture;
            option->features |= QStyleOptionViewItem::HasDecoration;
            option->decorationSize = QSize(16, 16);
        }
    }

private:
    IconStore& m_icons;
};

} // namespace

BackupsTreeView::BackupsTreeView(QWidget* parent) : QTreeView(parent) {
    setObjectName(QStringLiteral("treeBackupsLocal"));
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setExpandsOnDoubleClick(false);
}

void BackupsTreeView::setTree(AssociationTree* tree, IconStore* icons) {
    m_tree = tree;
    setItemDelegate(new ImageKeyDelegate(*icons, this));
    setModel(tree);
    // The model keeps each node's expanded state (nprefs, expand and collapse all); the view
    // shows it and reports what the user opens and closes.
    connect(tree, &AssociationTree::expansionRequested, this,
            [this](const QModelIndex& index, bool expanded) { setExpanded(index, expanded); });
    connect(this, &QTreeView::expanded, tree,
            [tree](const QModelIndex& index) { tree->noteExpanded(index, true); });
    connect(this, &QTreeView::collapsed, tree,
            [tree](const QModelIndex& index) { tree->noteExpanded(index, false); });
}

QRect BackupsTreeView::emptyTextRect(int width) const {
    const QRect room(emptyTextMargin, emptyTextMargin, width - 2 * emptyTextMargin, 1 << 16);
    return fontMetrics().boundingRect(room, emptyTextFlags, TreeTexts::emptyTree);
}

QSize BackupsTreeView::sizeHint() const {
    const int width = fontMetrics().averageCharWidth() * emptyTextColumns + 2 * emptyTextMargin;
    const QRect text = emptyTextRect(width);
    return QTreeView::sizeHint().expandedTo(
        QSize(width + 2 * frameWidth(), text.bottom() + emptyTextMargin + 2 * frameWidth()));
}

void BackupsTreeView::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (!m_tree || m_tree->rowCount() > 0)
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(emptyTextRect(viewport()->width()), emptyTextFlags, TreeTexts::emptyTree);
}

void BackupsTreeView::keyPressEvent(QKeyEvent* event) {
    const bool onNode = currentIndex().isValid();
    if (onNode && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        emit viewEditRequested();
        return;
    }
    if (onNode && event->key() == Qt::Key_Delete) {
        emit removeRequested();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void BackupsTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (indexAt(event->position().toPoint()).isValid()) {
        emit viewEditRequested();
        return;
    }
    QTreeView::mouseDoubleClickEvent(event);
}

void BackupsTreeView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        // The node under the pointer becomes the selection first, as in a file manager.
        const QModelIndex under = indexAt(event->position().toPoint());
        if (under.isValid())
            setCurrentIndex(under);
        if (currentIndex().isValid())
            emit popupRequested(event->globalPosition().toPoint());
        return;
    }
    QTreeView::mouseReleaseEvent(event);
}
