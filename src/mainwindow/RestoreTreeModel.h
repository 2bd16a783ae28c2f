#pragma once
// The restore window's tree over the browser's nodes as they are, with no item of its own per
// row: a backup of tens of thousands of files is shown as soon as it is listed. The first column
// holds the name, the second the note of a file no longer in the source, so that a long name is
// shortened and never the note.

#include "presentation/RestoreBrowser.h"

#include <QAbstractItemModel>
#include <QFont>
#include <QIcon>
#include <vector>

class RestoreTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column { NameColumn, NoteColumn, ColumnCount };

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
