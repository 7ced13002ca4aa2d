#include "KXDataModel.h"
#include "KXEquationDataSelectionCommand.h"
#include "KXFormulaCheck.h"

using KXFormulaCheck::errorValue;

class KXEquationDataSelectionCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void readsFirstVariableInNameOrder();
    void keepsRawValues();
    void textFormKeepsBlanks();
    void messages_data();
    void messages();
};

namespace {
// A table whose cell in row r and column c (1-based) holds 10 r + c, with the given headers.
std::unique_ptr<KXDataModelGeneric> table(const QStringList& columns, const QStringList& rows = {"1", "2", "3", "4", "5"})
{
    auto model = std::make_unique<KXDataModelGeneric>();
    model->createEmpty(columns.size(), rows.size());
    for (int row = 0; row < rows.size(); ++row) {
        model->setHeaderData(row, Qt::Vertical, rows.at(row), KXValueRole);
        for (int column = 0; column < columns.size(); ++column)
            model->setData(model->index(row, column), 10.0 * (row + 1) + column + 1, KXValueRole);
    }
    for (int column = 0; column < columns.size(); ++column)
        model->setHeaderData(column, Qt::Horizontal, columns.at(column), KXValueRole);
    return model;
}
}

void KXEquationDataSelectionCommandTest::values_data()
{
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QVariant>("expected");

    const QStringList abc = {"A", "B", "C"};
    const QVariant whole = QVariantList{11.0, 12.0, 13.0, 21.0, 22.0, 23.0, 31.0, 32.0,
                                        33.0, 41.0, 42.0, 43.0, 51.0, 52.0, 53.0};

    QTest::newRow("whole-table-row-by-row") << abc << "[A|1:C|5]" << whole;
    QTest::newRow("block") << abc << "[B|2:C|3]" << QVariant(QVariantList{22.0, 23.0, 32.0, 33.0});
    QTest::newRow("one-cell-is-the-value") << abc << "[B|2:B|2]" << QVariant(22.0);
    QTest::newRow("columns-reversed-empty") << abc << "[C|1:A|5]" << QVariant(QVariantList());
    QTest::newRow("rows-reversed-empty") << abc << "[A|5:C|1]" << QVariant(QVariantList());
    QTest::newRow("unknown-header-first-column") << abc << "[Z|1:C|5]" << whole;
    QTest::newRow("unknown-end-first-row") << abc << "[A|1:A|9]" << QVariant(11.0);
    QTest::newRow("last-equal-header-wins") << QStringList{"A", "B", "A"} << "[A|1:A|1]" << QVariant(13.0);
    QTest::newRow("headers-case-sensitive") << abc << "[a|1:C|1]" << QVariant(QVariantList{11.0, 12.0, 13.0});
    QTest::newRow("only-blanks-top-left") << abc << "   " << QVariant(11.0);
}

void KXEquationDataSelectionCommandTest::values()
{
    QFETCH(QStringList, columns);
    QFETCH(QString, formula);
    QFETCH(QVariant, expected);

    const auto model = table(columns);
    KXEquationVariableModel variables;
    variables.addVariable(QStringLiteral("Input1"), model.get(), QString());
    const QString problem = KXFormulaCheck::check(variables, formula, expected, !formula.trimmed().isEmpty());
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(!KXFormulaCheck::read(variables, formula)->isRangeVariable());
}

void KXEquationDataSelectionCommandTest::readsFirstVariableInNameOrder()
{
    const auto first = table({"A"}, {"1"});
    const auto second = table({"A", "B"}, {"1"});
    KXEquationVariableModel variables;
    variables.addVariable(QStringLiteral("Input2"), second.get(), QString());
    variables.addVariable(QStringLiteral("Input1"), first.get(), QString());
    QCOMPARE(KXFormulaCheck::read(variables, QStringLiteral("[A|1:B|1]"))->evaluate(), QVariant(11.0));
}

// Cells are read as stored, without the no-value marker that single data accesses give.
void KXEquationDataSelectionCommandTest::keepsRawValues()
{
    const auto model = table({"A", "B"}, {"1"});
    model->setData(model->index(0, 0), QString(""), KXValueRole);
    model->setData(model->index(0, 1), QVariant(), KXValueRole);
    KXEquationVariableModel variables;
    variables.addVariable(QStringLiteral("Input1"), model.get(), QString());
    const QVariant value = KXFormulaCheck::read(variables, QStringLiteral("[A|1:B|1]"))->evaluate();
    QCOMPARE(value.toList(), (QVariantList{QString(""), QVariant()}));
}

void KXEquationDataSelectionCommandTest::textFormKeepsBlanks()
{
    KXEquationVariableModel variables;
    const KXEquationDataSelectionCommand selection(&variables, QStringLiteral("[A |1: C|5 ]"));
    QCOMPARE(selection.toString(), QStringLiteral("[A |1: C|5 ]"));
}

void KXEquationDataSelectionCommandTest::messages_data()
{
    QTest::addColumn<bool>("withVariable");

    QTest::newRow("no-dataset-variable") << false;
    QTest::newRow("first-variable-without-table") << true;
}

void KXEquationDataSelectionCommandTest::messages()
{
    QFETCH(bool, withVariable);

    const auto model = table({"A"}, {"1"});
    KXEquationVariableModel variables;
    if (withVariable) {
        variables.addVariable(QStringLiteral("Input0"), static_cast<QAbstractItemModel*>(nullptr), QString());
        variables.addVariable(QStringLiteral("Input1"), model.get(), QString());
    }
    const QString formula = QStringLiteral("[A|1:A|1]");
    QCOMPARE(KXFormulaCheck::messageOf(variables, formula), QStringLiteral("Error in the interpretation of data selection"));
    KXTest::LanguageScope scope(TApplicationTranslator::French);
    QCOMPARE(KXFormulaCheck::messageOf(variables, formula),
             QStringLiteral("Erreur lors de l'interprétation de la sélection de données"));
}

QTEST_GUILESS_MAIN(KXEquationDataSelectionCommandTest)
#include "tst_selection.moc"
