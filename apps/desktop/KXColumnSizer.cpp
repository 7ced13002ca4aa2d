#include "KXColumnSizer.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

KXColumnSizer::KXColumnSizer(QTableView* view) : QObject(view), m_view(view)
{
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view->viewport()->installEventFilter(this);
    connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, this, &KXColumnSizer::sizeVisibleColumns);
    if (QAbstractItemModel* model = view->model()) {
        connect(model, &QAbstractItemModel::modelReset, this, &KXColumnSizer::restart);
        connect(model, &QAbstractItemModel::layoutChanged, this, &KXColumnSizer::restart);
        connect(model, &QAbstractItemModel::columnsInserted, this, &KXColumnSizer::restart);
        connect(model, &QAbstractItemModel::columnsRemoved, this, &KXColumnSizer::restart);
    }
    restart();
}

void KXColumnSizer::restart()
{
    m_sized.fill(false, m_view->model() ? m_view->model()->columnCount() : 0);
    sizeVisibleColumns();
}

// Sizing a column moves the ones after it: look again until every column in sight is sized.
void KXColumnSizer::sizeVisibleColumns()
{
    const QHeaderView* header = m_view->horizontalHeader();
    for (;;) {
        const int first = m_view->columnAt(0);
        if (first < 0)
            return;
        int last = m_view->columnAt(m_view->viewport()->width() - 1);
        if (last < 0)
            last = m_sized.size() - 1;
        int column = first;
        while (column <= last && (column >= m_sized.size() || m_sized.testBit(column)))
            ++column;
        if (column > last || column >= m_sized.size())
            return;
        m_sized.setBit(column);
        m_view->setColumnWidth(column, sampledWidth(column));
        if (header->sectionSize(column) <= 0)
            return;
    }
}

int KXColumnSizer::sampledWidth(int column) const
{
    const QAbstractItemModel* model = m_view->model();
    int width = m_view->horizontalHeader()->sectionSizeHint(column);
    const int rows = model->rowCount();
    const int sample = qMin(rows, SampleRows);
    for (int k = 0; k < sample; ++k) {
        const int row = sample == rows ? k : int(qint64(k) * (rows - 1) / (sample - 1));
        width = qMax(width, m_view->sizeHintForIndex(model->index(row, column)).width() + (m_view->showGrid() ? 1 : 0));
    }
    return qBound(m_view->horizontalHeader()->minimumSectionSize(), width, MaximumWidth);
}

bool KXColumnSizer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize)
        sizeVisibleColumns();
    return QObject::eventFilter(watched, event);
}
