#pragma once
// The tree widget `treeBackupsLocal`: shows the association tree with the pictures of its image
// keys and turns the mouse and the keyboard into commands. The window decides what they do.

#include <QTreeView>

class AssociationTree;
class IconStore;

class BackupsTreeView : public QTreeView {
    Q_OBJECT
public:
    explicit BackupsTreeView(QWidget* parent = nullptr);

    void setTree(AssociationTree* tree, IconStore* icons);
    // While the start reads the associations the empty tree says so, not that there are none.
    void setReading(bool reading);

    // Room for the text an empty tree shows, so a first start opens where it can be read.
    QSize sizeHint() const override;

signals:
    // Double-click or Enter on a node.
    void viewEditRequested();
    // The Delete key on a node.
    void removeRequested();
    // The right mouse button released over the tree with a node selected.
    void popupRequested(const QPoint& globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // The width a column needs for the widest of `texts` and its heading.
    int columnWidth(const QStringList& texts, int column, bool withIcon) const;
    // Where the empty tree's text goes in a viewport of `width`.
    QRect emptyTextRect(int width) const;

    AssociationTree* m_tree = nullptr;
    bool m_reading = false;
};
