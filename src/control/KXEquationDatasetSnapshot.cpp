#include "KXEquationDatasetSnapshot.h"

#include "KXDataModel.h"
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
    m_cells.resize(count);
    m_numbers.resize(count);
    m_isNumber.resize(count);
    // Each cell is read once from the table and converted by the steps of a formula's read;
    // the host's own tables are read without model indices.
    const auto* generic = qobject_cast<const KXDataModelGeneric*>(table);
    for (int row = 0; row < m_rows; ++row) {
        for (int column = 0; column < m_columns; ++column) {
            const QVariant stored = generic ? generic->cell(row, column)
                                            : table->data(table->index(row, column), KXValueRole);
            QVariant value = KXEquationDataCommand::cellValue(
                name, KXEquationVariableModel::storedCellValue(stored), QString());
            const int at = row * m_columns + column;
            // Numbers are kept as doubles only: most cells are, and a double is a quarter of a variant.
            if (value.userType() == QMetaType::Double) {
                m_isNumber[at] = 1;
                m_numbers[at] = *static_cast<const double*>(value.constData());
            } else {
                m_cells[at] = std::move(value);
            }
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
