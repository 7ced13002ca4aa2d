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
    : m_name(name)
{
    const QAbstractItemModel* table = variables.getVariableModel(name);
    if (const auto* generic = qobject_cast<const KXDataModelGeneric*>(table)) {
        KXDataModelGeneric::SharedCells shared = generic->sharedCells();
        m_cells = std::move(shared.store);
        m_rows = shared.rows;
        m_columns = shared.columns;
    } else {
        if (table) {
            m_rows = table->rowCount(QModelIndex());
            m_columns = table->columnCount(QModelIndex());
        }
        auto copied = std::make_shared<KXCellStore>(size_t(m_rows) * size_t(m_columns));
        for (int row = 0; row < m_rows; ++row) {
            for (int column = 0; column < m_columns; ++column)
                copied->set(size_t(row) * size_t(m_columns) + size_t(column),
                            table->data(table->index(row, column), KXValueRole));
        }
        m_cells = std::move(copied);
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

// The steps of a formula's read, from the stored value on.
QVariant KXEquationDatasetSnapshot::converted(const QVariant& stored) const
{
    return KXEquationDataCommand::cellValue(m_name, KXEquationVariableModel::storedCellValue(stored), QString());
}

QVariant KXEquationDatasetSnapshot::header(Qt::Orientation orientation, int section) const
{
    const QVector<QVariant>& headers = m_headers[side(orientation)];
    return section < headers.size() ? headers.at(section) : m_beyond[side(orientation)];
}
