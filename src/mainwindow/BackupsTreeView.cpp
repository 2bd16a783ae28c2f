#include "mainwindow/BackupsTreeView.h"

#include "mainwindow/IconStore.h"
#include "presentation/AssociationTree.h"

#include <QKeyEvent>
#include <QStyledItemDelegate>

namespace {

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
