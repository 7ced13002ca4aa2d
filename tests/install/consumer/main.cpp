// Computes the 3 x 2 table of 2*i+j through the installed libraries and checks every cell.
#include <KXDataModel.h>
#include <KXEquationComputation.h>
#include <KXEquationModel.h>
#include <KXEquationVariableModel.h>

#include <QCoreApplication>

#include <cstdio>
#include <memory>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const int rows = 3;
    const int columns = 2;
    KXEquationModel equation;
    equation.setFormula(QStringLiteral("2*i+j"));
    equation.setRowStart(QStringLiteral("1"));
    equation.setRowEnd(QString::number(rows));
    equation.setColStart(QStringLiteral("1"));
    equation.setColEnd(QString::number(columns));
    KXEquationVariableModel variables;
    KXEquationComputation computation(&equation, &variables);
    std::unique_ptr<KXDataModelGeneric> table(computation.compute());
    if (!table || table->rowCount() != rows || table->columnCount() != columns) {
        std::fprintf(stderr, "no %d x %d table\n", rows, columns);
        return 1;
    }
    bool expected = true;
    for (int i = 1; i <= rows; ++i) {
        for (int j = 1; j <= columns; ++j) {
            const double value = table->cell(i - 1, j - 1).toDouble();
            std::printf("%s%g", j > 1 ? "," : "", value);
            expected = expected && value == 2 * i + j;
        }
        std::printf("\n");
    }
    return expected ? 0 : 1;
}
