#include "KXEquationDatasetSnapshot.h"

#include "KXEquationDataCommand.h"
#include "KXEquationVariableModel.h"

#include <QAbstractItemModel>

namespace {
int side(Qt::Orientation orientation)
{
    return orientation == Qt::Horizontal ? 0 : 1;
}
}

KXEquationDatasetSnapshot::KXEquationDatasetSnapshot(const KXEquationVariableModel& variables, const QString& name)
{
    const QAbstractItemModel* table = variables.getVariableModel(name);
    if (table) {
        m_rows = table->rowCount(QModelIndex());
        m_columns = table->columnCount(QModelIndex());
    }
    const int count = m_rows * m_columns;
    m_cells.reserve(count);
    m_numbers.resize(count);
    m_isNumber.resize(count);
    for (int row = 0; row < m_rows; ++row) {
        for (int column = 0; column < m_columns; ++column) {
            const QVariant value = KXEquationDataCommand::readCell(variables, name, row, column);
            const int at = m_cells.size();
            m_isNumber[at] = value.userType() == QMetaType::Double;
            m_numbers[at] = m_isNumber[at] ? value.toDouble() : 0.0;
            m_cells.append(value);
        }
    }
    // Positions out of range fail alike, whichever they are; the row is checked first.
    m_rowFailure = KXEquationDataCommand::readCell(variables, name, -1, 0);
    m_columnFailure = KXEquationDataCommand::readCell(variables, name, 0, -1);

    for (const Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
        const auto read = [&](int section) {
            return orientation == Qt::Horizontal ? variables.getVariableModelHorizontalHeader(name, section)
                                                 : variables.getVariableModelVerticalHeader(name, section);
        };
        const int sections = !table ? -1 : orientation == Qt::Horizontal ? m_columns : m_rows;
        QVector<QVariant>& headers = m_headers[side(orientation)];
        for (int section = 0; section <= sections; ++section)
            headers.append(read(section));
        m_beyond[side(orientation)] = read(sections + 1);
    }
}

QVariant KXEquationDatasetSnapshot::header(Qt::Orientation orientation, int section) const
{
    const QVector<QVariant>& headers = m_headers[side(orientation)];
    return section < headers.size() ? headers.at(section) : m_beyond[side(orientation)];
}
