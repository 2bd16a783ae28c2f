#pragma once
// The restore window's tree over the browser's nodes as they are, with no item of its own per
// row: a backup of tens of thousands of files is shown as soon as it is listed. A file no longer
// in the source carries its note apart from its name (NoteRole), and NoteDelegate draws it at the
// row's end, shortening a long name first and the note only in a row too narrow for both.

#include "presentation/RestoreBrowser.h"

#include <QAbstractItemModel>
#include <QFont>
#include <QIcon>
#include <QStyledItemDelegate>
#include <vector>

class RestoreTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role { NoteRole = Qt::UserRole + 1 };

    explicit RestoreTreeModel(const RestoreBrowser& browser, QObject* parent = nullptr);

    // Takes the browser's nodes afresh.
    void reload();
    QModelIndex indexOf(int node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    const std::vector<BrowserNode>& nodes() const { return m_browser.nodes(); }
    // The children of `node` (-1: the top level).
    const std::vector<int>& childrenOf(int node) const { return m_children[size_t(node + 1)]; }

    const RestoreBrowser& m_browser;
    std::vector<std::vector<int>> m_children; // by node + 1; [0] is the top level
    std::vector<int> m_rowOf;                 // each node's row under its parent
    QIcon m_folderIcon;
    QIcon m_fileIcon;
    QFont m_goneFont;
};

// Draws a row's note, when it has one, at the row's end and the name in the room left; the note
// takes at most half a narrow row.
class NoteDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
