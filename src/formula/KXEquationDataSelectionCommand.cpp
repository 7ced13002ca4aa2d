#include "KXEquationDataSelectionCommand.h"

#include "KXEquationCompiler.h"
#include "KXEquationFacts.h"
#include "KXEquationVariableModel.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QRegExp>

namespace {
// The last header equal to a text wins; an unmatched text keeps section 0.
void findSections(const QAbstractItemModel& model, Qt::Orientation orientation, int count, const QString& startText,
                  const QString& endText, int& start, int& end)
{
    start = 0;
    end = 0;
    for (int section = 0; section < count; ++section) {
        const QString header = model.headerData(section, orientation, Qt::DisplayRole).toString();
        if (header == startText)
            start = section;
        if (header == endText)
            end = section;
    }
}
}

KXEquationDataSelectionCommand::KXEquationDataSelectionCommand(KXEquationVariableModel* variableModel,
                                                               const QString& selection)
    : KXEquationCommand(variableModel), m_selection(selection)
{
}

QVariant KXEquationDataSelectionCommand::evaluate() const
{
    const QString message = QCoreApplication::translate("KXEquationDataSelectionCommand",
                                                        "Error in the interpretation of data selection",
                                                        "Erreur lors de l'interprétation de la sélection de données", -1);
    const QMap<QString, QString> variables = m_variableModel->getVariableModelList();
    if (variables.isEmpty())
        return error(message);
    const QAbstractItemModel* model = m_variableModel->getVariableModel(variables.firstKey());
    if (!model)
        return error(message);

    QRegExp pattern{QLatin1String(KXEquationSelectionPattern)};
    pattern.indexIn(m_selection, 0);
    const int rows = model->rowCount(QModelIndex());
    const int columns = model->columnCount(QModelIndex());
    int startRow, endRow, startColumn, endColumn;
    findSections(*model, Qt::Vertical, rows, pattern.cap(2), pattern.cap(4), startRow, endRow);
    findSections(*model, Qt::Horizontal, columns, pattern.cap(1), pattern.cap(3), startColumn, endColumn);

    QVariantList values;
    for (int row = startRow; row <= endRow; ++row) {
        for (int column = startColumn; column <= endColumn; ++column)
            values.append(model->data(model->index(row, column), KXValueRole));
    }
    if (values.size() == 1)
        return values.first();
    return QVariant(values);
}

QString KXEquationDataSelectionCommand::toString() const
{
    return m_selection;
}

KXEquationCommand* KXEquationDataSelectionCommand::clone(KXEquationVariableModel* target) const
{
    return new KXEquationDataSelectionCommand(target, m_selection);
}

// The selection names header texts, not cells of the computed range: its value is the same in every cell.
int KXEquationDataSelectionCommand::compile(KXEquationCompiler& compiler) const
{
    return compiler.constant(*this);
}
