#include "KXDataModel.h"
#include "KXFormulaCheck.h"

#include <QtConcurrent>

using KXFormulaCheck::errorValue;

class KXEquationDataCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void values_data();
    void values();
    void messages_data();
    void messages();
    void randomNumbers_data();
    void randomNumbers();
    void randomNumbersOnSeveralThreads();
    void valMarksCellPosition();

private:
    KXEquationVariableModel m_model;
    KXDataModelGeneric m_table;
};

// Input1: columns A to C, rows r1 to r3; Input2 has no table.
void KXEquationDataCommandTest::initTestCase()
{
    const QVariantList cells = {1.5, "3,5", "3.5", "", QVariant(), "abc", true, 7, 2.0};
    m_table.createEmpty(3, 3);
    for (int k = 0; k < cells.size(); ++k)
        m_table.setData(m_table.index(k / 3, k % 3), cells.at(k), KXValueRole);
    for (int section = 0; section < 3; ++section) {
        m_table.setHeaderData(section, Qt::Horizontal, QString(QLatin1Char('A' + section)), KXValueRole);
        m_table.setHeaderData(section, Qt::Vertical, QStringLiteral("r%1").arg(section + 1), KXValueRole);
    }
    m_model.addVariable(QStringLiteral("Input1"), &m_table, QString());
    m_model.addVariable(QStringLiteral("Input2"), static_cast<QAbstractItemModel*>(nullptr), QString());
    m_model.addVariable(QStringLiteral("i"), 1.0);
    m_model.addVariable(QStringLiteral("j"), 2.0);
    m_model.addVariable(QStringLiteral("a"), 3.0);
}

void KXEquationDataCommandTest::values_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<bool>("range");

    const QVariant noValue(-9999);
    const QVariant unreachable = errorValue(QStringLiteral("Input1() : Line number unreachable"));
    const QVariant notNumber = errorValue(QStringLiteral("sqrt(): invalid syntax"));

    // Data access
    QTest::newRow("data-top-left") << "Input1(1, 1)" << QVariant(1.5) << false;
    QTest::newRow("data-decimal-comma") << "Input1(1,2)" << QVariant(3.5) << false;
    QTest::newRow("data-decimal-point-stays-text") << "Input1(1,3)" << QVariant(QStringLiteral("3.5")) << false;
    QTest::newRow("data-empty-text") << "Input1(2,1)" << noValue << false;
    QTest::newRow("data-no-value") << "Input1(2,2)" << noValue << false;
    QTest::newRow("data-int") << "Input1(NR_Input1,2)" << QVariant(7) << false;
    QTest::newRow("data-index-half-up") << "Input1(0.5,1)" << QVariant(1.5) << false;
    QTest::newRow("data-cell-position") << "Input1(i,j)" << QVariant(3.5) << true;
    QTest::newRow("data-row-beyond") << "Input1(4,1)" << unreachable << false;
    QTest::newRow("data-index-error") << "Input1(sqrt(\"a\"),1)" << notNumber << false;
    // Headers
    QTest::newRow("colName") << "colName(Input1,1)" << QVariant(QStringLiteral("A")) << false;
    QTest::newRow("rowName") << "rowName(Input1,2)" << QVariant(QStringLiteral("r2")) << false;
    QTest::newRow("colName-cell-position") << "colName(Input1,j)" << QVariant(QStringLiteral("B")) << true;
    QTest::newRow("colName-one-past-end") << "colName(Input1,4)" << QVariant(QString("")) << false;
    QTest::newRow("colName-no-table") << "colName(Input2,1)" << QVariant(QString("")) << false;
    // Conditions
    QTest::newRow("if-false-with-blanks") << "if(1 > 2; 2; 3)" << QVariant(3.0) << false;
    QTest::newRow("if-other-branch-not-evaluated") << "if(1<2;2;Input1(0,0))" << QVariant(2.0) << false;
    QTest::newRow("if-branch-error") << "if(1<2;Input1(0,1);3)" << unreachable << false;
    QTest::newRow("if-nested-in-true-branch") << "if(a>1;if(a>5;1;2);3)" << QVariant(2.0) << false;
    QTest::newRow("if-cell-position") << "if(i>1;1;2)" << QVariant(2.0) << true;
    // Constant values
    QTest::newRow("val") << "val(PI)" << QVariant(3.141592653589793) << false;
    QTest::newRow("val-not-constant") << "val(nothing)" << QVariant(-9999.0) << false;
    QTest::newRow("val-cell-position") << "val(i)" << QVariant(1.0) << false;
}

void KXEquationDataCommandTest::values()
{
    QFETCH(QString, formula);
    QFETCH(QVariant, expected);
    QFETCH(bool, range);

    // The text forms of "<" (a markup entity) and of quoted texts (no quotes) do not read back.
    const bool readsBack = !formula.contains(QLatin1Char('<')) && !formula.contains(QLatin1Char('"'));
    const QString problem = KXFormulaCheck::check(m_model, formula, expected, readsBack);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(KXFormulaCheck::read(m_model, formula)->isRangeVariable(), range);
}

void KXEquationDataCommandTest::messages_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("french");

    QTest::newRow("data-row-zero") << "Input1(0,1)" << "Input1() : Line number unreachable"
                                   << "Input1() : Numéro de ligne hors de portée";
    QTest::newRow("data-column-zero") << "Input1(1,0)" << "Input1() : Column number unreachable"
                                      << "Input1() : Numéro de colonnes hors de portée";
    QTest::newRow("data-row-text") << "Input1(\"a\",1)" << "Input1(): Invalid arguments"
                                   << "Input1() : Arguments incorrects";
    QTest::newRow("data-no-table") << "Input2(1,1)" << "Input2() : Invalid dataset Input2"
                                   << "Input2() : Le tableau de données Input2 est invalide";
    QTest::newRow("colName-zero") << "colName(Input1,0)" << "colName(): invalid arguments"
                                  << "colName() : Argument incorrects";
    QTest::newRow("colName-unknown") << "colName(X,1)" << "X: invalid argument or variable"
                                     << "X : Argument ou variable incorrect";
    QTest::newRow("colName-beyond") << "colName(Input1,5)" << "Input1: invalid argument or variable"
                                    << "Input1 : Argument ou variable incorrect";
    QTest::newRow("rowName-zero") << "rowName(Input1,0)" << "rowName(): invalid arguments"
                                  << "rowName() : Argument incorrects";
    QTest::newRow("rowName-unknown") << "rowName(X,1)" << "X(): invalid arguments or variable"
                                     << "X() : Arguments ou variable incorrects";
    QTest::newRow("rand-reversed") << "rand(5,1)" << "rand(): Invalid arguments" << "rand() : Arguments incorrects";
    QTest::newRow("rand-negative") << "rand(-1,1)" << "rand(): Invalid arguments" << "rand() : Arguments incorrects";
    QTest::newRow("rand-text-start") << "rand(\"a\",1)" << "rand(): Invalid minimum range"
                                     << "rand() : Intervalle minimum invalide";
    QTest::newRow("rand-text-end") << "rand(1,\"a\")" << "rand(): Invalid maximum range"
                                   << "rand() : Intervalle maximum invalide";
    QTest::newRow("if-number") << "if(1;2;3)" << "if(): first condition argument is not a boolean"
                               << "if() : Le premier argument de condition n'est pas de type booléen";
    QTest::newRow("if-condition-error") << "if(Input1(0,1)>1;2;3)" << "if(): first argument condition is not valid"
                                        << "if() : Le premier argument de condition n'est pas valide";
}

void KXEquationDataCommandTest::messages()
{
    QFETCH(QString, formula);
    QFETCH(QString, english);
    QFETCH(QString, french);

    QCOMPARE(KXFormulaCheck::messageOf(m_model, formula), english);
    KXTest::LanguageScope scope(TApplicationTranslator::French);
    QCOMPARE(KXFormulaCheck::messageOf(m_model, formula), french);
}

void KXEquationDataCommandTest::randomNumbers_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("lowest");
    QTest::addColumn<double>("highest"); // included for integers, excluded for doubles
    QTest::addColumn<bool>("range");
    QTest::addColumn<QString>("text");

    QTest::newRow("unbounded") << "rand()" << int(QMetaType::Int) << 0.0 << 32767.0 << false << "rand()";
    QTest::newRow("bare-name") << "rand" << int(QMetaType::Int) << 0.0 << 32767.0 << false << "rand()";
    QTest::newRow("one-argument-ignored") << "rand(5)" << int(QMetaType::Int) << 0.0 << 32767.0 << false << "rand()";
    QTest::newRow("bounded") << "rand(10,20)" << int(QMetaType::Double) << 10.0 << 20.0 << false << "rand(10,20)";
    QTest::newRow("cell-position") << "rand(i,10)" << int(QMetaType::Double) << 1.0 << 10.0 << true << "rand(i,10)";
}

void KXEquationDataCommandTest::randomNumbers()
{
    QFETCH(QString, formula);
    QFETCH(int, kind);
    QFETCH(double, lowest);
    QFETCH(double, highest);
    QFETCH(bool, range);
    QFETCH(QString, text);

    const auto tree = KXFormulaCheck::read(m_model, formula);
    QCOMPARE(tree->toString(), text);
    QCOMPARE(tree->isRangeVariable(), range);
    const std::unique_ptr<KXEquationCommand> copy(tree->clone(&m_model));
    for (const QVariant& value : {tree->evaluate(), copy->evaluate()}) {
        QCOMPARE(value.userType(), kind);
        QVERIFY(value.toDouble() >= lowest);
        QVERIFY(kind == QMetaType::Int ? value.toDouble() <= highest : value.toDouble() < highest);
    }
}

// Each task draws from its own clone at the same time as the others, as cell tasks do.
void KXEquationDataCommandTest::randomNumbersOnSeveralThreads()
{
    const auto tree = KXFormulaCheck::read(m_model, QStringLiteral("rand()"));
    const auto draws = [&]() {
        KXEquationVariableModel cellModel(&m_model);
        const std::unique_ptr<KXEquationCommand> copy(tree->clone(&cellModel));
        bool inRange = true;
        for (int draw = 0; draw < 2000; ++draw) {
            const int r = copy->evaluate().toInt();
            inRange = inRange && r >= 0 && r <= 32767;
        }
        return inRange;
    };
    QVector<QFuture<bool>> tasks;
    for (int task = 0; task < 4; ++task)
        tasks.append(QtConcurrent::run(draws));
    for (QFuture<bool>& task : tasks)
        QVERIFY(task.result());
}

void KXEquationDataCommandTest::valMarksCellPosition()
{
    KXEquationVariableModel cellModel(&m_model);
    const auto tree = KXFormulaCheck::read(cellModel, QStringLiteral("val(j)"));
    QVERIFY(!cellModel.varOnFormula());
    QCOMPARE(tree->evaluate(), QVariant(2.0));
    QVERIFY(cellModel.varOnFormula());
}

QTEST_GUILESS_MAIN(KXEquationDataCommandTest)
#include "tst_datacommands.moc"
