#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

#include <vector>

class KXEquationVariableModel;

/// The cells and headers of one dataset variable, read once on the calling thread and converted
/// as a formula sees them, so that worker threads never read the host's tables.
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
        const int at = row * m_columns + column;
        return m_isNumber[at] ? QVariant(m_numbers[at]) : m_cells[at];
    }
    /// The cell's number when the cell reads as a double.
    bool number(int row, int column, double& value) const
    {
        if (row < 0 || row >= m_rows || column < 0 || column >= m_columns)
            return false;
        const int at = row * m_columns + column;
        value = m_numbers[at];
        return m_isNumber[at] != 0;
    }
    /// The raw header of a 0-based section (section >= 0).
    QVariant header(Qt::Orientation orientation, int section) const;

private:
    int m_rows = 0;
    int m_columns = 0;
    std::vector<QVariant> m_cells; // cells that are not numbers
    std::vector<double> m_numbers;
    std::vector<unsigned char> m_isNumber; // not vector<bool>: read once per cell
    QVariant m_rowFailure;
    QVariant m_columnFailure;
    // Sections 0 to the count, as the variable model answers; every later section answers alike.
    QVector<QVariant> m_headers[2];
    QVariant m_beyond[2];
};
