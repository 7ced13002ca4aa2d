#pragma once

#include "KXCellStore.h"

#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>

class KXEquationVariableModel;

/// The cells and headers of one dataset variable as they are when the computation starts, taken
/// on the calling thread, so that worker threads never read the host's tables. A host table
/// shares its cells without a copy; the cells are converted as a formula sees them on each read.
class KXEquationDatasetSnapshot
{
public:
    KXEquationDatasetSnapshot(const KXEquationVariableModel& variables, const QString& name);

    /// The value of the cell at a 0-based position, message included when there is none.
    QVariant cell(int row, int column) const
    {
        if (row < 0 || row >= m_rows)
            return m_rowFailure;
        if (column < 0 || column >= m_columns)
            return m_columnFailure;
        const size_t at = size_t(row) * size_t(m_columns) + size_t(column);
        double value = 0;
        return m_cells->number(at, value) ? QVariant(value) : converted(m_cells->at(at));
    }
    /// The cell's number when the cell reads as a double.
    bool number(int row, int column, double& value) const
    {
        if (row < 0 || row >= m_rows || column < 0 || column >= m_columns)
            return false;
        return m_cells->number(size_t(row) * size_t(m_columns) + size_t(column), value);
    }
    /// The raw header of a 0-based section (section >= 0).
    QVariant header(Qt::Orientation orientation, int section) const;

private:
    QVariant converted(const QVariant& stored) const;

    QString m_name;
    int m_rows = 0;
    int m_columns = 0;
    std::shared_ptr<const KXCellStore> m_cells;
    QVariant m_rowFailure;
    QVariant m_columnFailure;
    // Sections 0 to the count, as the variable model answers; every later section answers alike.
    QVector<QVariant> m_headers[2];
    QVariant m_beyond[2];
};
