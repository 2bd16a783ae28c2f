#include "mainwindow/FittedColumns.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>
#include <vector>

FittedColumns::FittedColumns(QTableView* view, int fillingColumn)
    : QObject(view), m_view(view), m_fillingColumn(fillingColumn) {
    QHeaderView* header = m_view->horizontalHeader();
    // A stretched last section takes whatever is left, however little: the header it cuts is
    // exactly what this class prevents.
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    m_view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_view->viewport()->installEventFilter(this);
}

void FittedColumns::refit() {
    QHeaderView* header = m_view->horizontalHeader();
    // The cells' widths, as the view measures them for its own fitting to contents.
    const QAbstractItemView& cells = *m_view;
    const int columns = header->count();
    if (m_fillingColumn >= columns)
        return;
    std::vector<int> widths(size_t(columns), 0);
    int needed = 0;
    for (int c = 0; c < columns; ++c) {
        widths[size_t(c)] = std::max(cells.sizeHintForColumn(c), header->sectionSizeHint(c));
        needed += widths[size_t(c)];
    }
    const int spare = m_view->viewport()->width() - needed;
    if (spare > 0)
        widths[size_t(m_fillingColumn)] += spare;
    for (int c = 0; c < columns; ++c)
        header->resizeSection(c, widths[size_t(c)]);
}

bool FittedColumns::eventFilter(QObject* watched, QEvent* event) {
    // The viewport narrows when a vertical scroll bar comes, and with the window: the spare room
    // is shared out afresh each time.
    if (watched == m_view->viewport() && event->type() == QEvent::Resize)
        refit();
    return QObject::eventFilter(watched, event);
}
