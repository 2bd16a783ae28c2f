#pragma once
// Column widths for a table that never cut a header or a cell: each column is as wide as its
// header and its cells need, and one column, whose cells vary most, takes the room left over.
// A view too narrow for all the needs scrolls sideways instead of squeezing a column.

#include <QObject>

class QTableView;

class FittedColumns : public QObject {
    Q_OBJECT
public:
    // Takes over the widths of `view`'s columns; `fillingColumn` receives the spare room.
    FittedColumns(QTableView* view, int fillingColumn);

    // Measures the headers and cells again; call after the cells changed.
    void refit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTableView* m_view;
    int m_fillingColumn;
};
