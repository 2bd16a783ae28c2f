#include "mainwindow/BackupsTreeView.h"

#include "mainwindow/IconStore.h"
#include "presentation/AssociationTree.h"
#include "presentation/ProtectionTexts.h"
#include "presentation/TreeCommands.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

constexpr int emptyTextMargin = 24;
// Room on each side of a cell's text, and between its picture and its text.
constexpr int cellPadding = 8;
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
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setExpandsOnDoubleClick(false);
}

void BackupsTreeView::setTree(AssociationTree* tree, IconStore* icons) {
    m_tree = tree;
    setItemDelegate(new ImageKeyDelegate(*icons, this));
    setModel(tree);
    // The names take the room; the state and the time get the width their longest texts need,
    // measured once instead of over every row of a large tree.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(AssociationTree::NameColumn, QHeaderView::Stretch);
    QStringList states;
    for (Protection p :
         {Protection::Protected, Protection::Pending, Protection::Behind, Protection::Paused,
          Protection::NoDestination, Protection::Disabled, Protection::SourceMissing})
        states << ProtectionTexts::stateName(p);
    header()->resizeSection(AssociationTree::StateColumn,
                            columnWidth(states, AssociationTree::StateColumn, true));
    header()->resizeSection(AssociationTree::LastBackupColumn,
                            columnWidth({QStringLiteral("23 min ago"), QStringLiteral("Never")},
                                        AssociationTree::LastBackupColumn, false));
    // The model keeps each node's expanded state (nprefs, expand and collapse all); the view
    // shows it and reports what the user opens and closes.
    connect(tree, &AssociationTree::expansionRequested, this,
            [this](const QModelIndex& index, bool expanded) { setExpanded(index, expanded); });
    connect(this, &QTreeView::expanded, tree,
            [tree](const QModelIndex& index) { tree->noteExpanded(index, true); });
    connect(this, &QTreeView::collapsed, tree,
            [tree](const QModelIndex& index) { tree->noteExpanded(index, false); });
}

int BackupsTreeView::columnWidth(const QStringList& texts, int column, bool withIcon) const {
    const QFontMetrics metrics = fontMetrics();
    int widest = metrics.horizontalAdvance(model()->headerData(column, Qt::Horizontal).toString());
    for (const QString& text : texts)
        widest = std::max(widest, metrics.horizontalAdvance(text) +
                                      (withIcon ? iconSize().width() + cellPadding : 0));
    return widest + 2 * cellPadding;
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
    painter.drawText(emptyTextRect(viewport()->width()), emptyTextFlags,
                     m_reading ? TreeTexts::readingTree : TreeTexts::emptyTree);
}

void BackupsTreeView::setReading(bool reading) {
    m_reading = reading;
    viewport()->update();
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
