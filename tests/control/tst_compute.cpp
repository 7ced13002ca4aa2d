#include "KXDataModel.h"
#include "KXEquationCtrl.h"
#include "KXEquationModel.h"
#include "KXEquationVariableModel.h"
#include "KXTestSupport.h"
#include "TDataEditor2Ctrl.h"
#include "TProgressBarMgr.h"

#include <QStandardItemModel>
#include <QtTest>

namespace {

/// Records the progress calls in one timeline with the writes into watched tables.
class Timeline : public TProgressDisplay
{
public:
    Timeline()
    {
        TProgressDisplay::setCurrent(this);
        KXDataModelGeneric::setCreationObserver([this](KXDataModelGeneric* table) {
            QObject::connect(table, &QAbstractItemModel::dataChanged, [this] { ++writes; });
        });
    }
    ~Timeline() override
    {
        TProgressDisplay::setCurrent(nullptr);
        KXDataModelGeneric::setCreationObserver(nullptr);
    }
    void start(int, const QString& text) override { ++starts; startText = text; }
    void progress(int value, bool refresh) override
    {
        if (writes != writesAtLastMark) {
            batches.append({lastValue, writes - writesAtLastMark});
            writesAtLastMark = writes;
        }
        lastValue = value;
        if (refresh)
            ++refreshes;
    }
    void finish() override { finishedAfterWrites = writes; }

    int starts = 0, refreshes = 0, writes = 0, writesAtLastMark = 0, lastValue = 0, finishedAfterWrites = -1;
    QString startText;
    QList<QPair<int, int>> batches; // progress value before the batch, cells written in it
};

// formula, "firstRow lastRow firstCol lastCol", row name, column name
using Setup = QStringList;

void configure(KXEquationCtrl& controller, const Setup& setup)
{
    KXEquationModel* model = controller.model();
    const QStringList range = setup.value(1).split(QLatin1Char(' '));
    model->setFormula(setup.value(0));
    model->setRowStart(range.value(0));
    model->setRowEnd(range.value(1));
    model->setColStart(range.value(2));
    model->setColEnd(range.value(3));
    model->setRowName(setup.value(2));
    model->setColName(setup.value(3));
}
}

class TestCompute : public QObject
{
    Q_OBJECT
private slots:
    void cells_data();
    void cells();
    void failures_data();
    void failures();
    void headers_data();
    void headers();
    void constantShortcut();
    void batches();
    void handsTableToDataEditor();
    void outputName();
};

void TestCompute::cells_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QVariantList>("values"); // row-major

    QTest::newRow("row-major") << Setup{"2*i+j", "1 3 1 2"} << 3 << 2
                               << QVariantList{3.0, 4.0, 5.0, 6.0, 7.0, 8.0};
    QTest::newRow("range-from-defaults") << Setup{"i*j", "1 NR_Input1-2 1 NC_Input1-1"} << 2 << 1
                                         << QVariantList{1.0, 2.0};
    QTest::newRow("one-cell") << Setup{"j-i", "4 4 9 9"} << 1 << 1 << QVariantList{5.0};
    QTest::newRow("texts") << Setup{"\"r\"+i", "1 2 1 1"} << 2 << 1
                           << QVariantList{QStringLiteral("r1"), QStringLiteral("r2")};
    QTest::newRow("no-value") << Setup{"NO_VALUE+i", "1 1 1 2"} << 1 << 2 << QVariantList{-9999, -9999};
    QTest::newRow("range-rounded") << Setup{"i", "1.4 2.5 1 1"} << 3 << 1 << QVariantList{1.0, 2.0, 3.0};
}

void TestCompute::cells()
{
    QFETCH(Setup, setup);
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(QVariantList, values);

    auto input = KXTest::makeTable(4, 2, QStringLiteral("shop"), QStringLiteral("Data"));
    KXEquationCtrl controller;
    controller.setCurrentDataModel(input.get());
    configure(controller, setup);
    std::unique_ptr<KXDataModelGeneric> output(controller.compute());
    QVERIFY(output);
    QCOMPARE(output->rowCount(), rows);
    QCOMPARE(output->columnCount(), columns);
    for (int k = 0; k < values.size(); ++k) {
        const QVariant cell = output->data(output->index(k / columns, k % columns), KXValueRole);
        QVERIFY2(KXTest::sameValue(cell, values.at(k)), qPrintable(KXTest::describe(cell)));
    }
    QVERIFY(!controller.variableModel()->variableConstantExist(QStringLiteral("i"))
            && !controller.variableModel()->variableConstantExist(QStringLiteral("j")));
}

void TestCompute::failures_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<bool>("french");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("range-unreadable") << Setup{"i", "1 3 1 1+"} << false
                                      << QStringList{"Invalid syntax: 1+"};
    QTest::newRow("range-error-value") << Setup{"i", "\"a\"-1 3 1 1"} << false
                                       << QStringList{"Minimum number of lines is incorrect:Invalid syntax for '-':a (expression must be numeric)"};
    QTest::newRow("range-not-integer-fr") << Setup{"i", "1 3 1 \"x\""} << true
                                          << QStringList{"Le nombre maximum de colonnes est incorrect"};
    QTest::newRow("range-empty-text") << Setup{"i", "1 3 1 "} << false
                                      << QStringList{"Expression to evaluate is empty"};
    QTest::newRow("empty-range") << Setup{"i", "5 4 1 1"} << false << QStringList{"Invalid working range"};
    QTest::newRow("empty-range-fr") << Setup{"i", "1 1 2 1"} << true << QStringList{"Intervalle de travail incorrect"};
    QTest::newRow("formula-unreadable") << Setup{"3+-2", "1 1 1 1"} << false << QStringList{"Invalid syntax: 3+"};
    QTest::newRow("row-name-unreadable") << Setup{"i", "1 1 1 1", "1+"} << false << QStringList{"Invalid syntax: 1+"};
    QTest::newRow("column-name-unreadable-fr") << Setup{"i", "1 1 1 1", "", "(1"} << true
                                               << QStringList{"Le nombre de parenthèses est incorrect"};
    QTest::newRow("constant-error") << Setup{"\"a\"-1", "1 2 1 2"} << false
                                    << QStringList{"Invalid computing formula",
                                                   "Invalid syntax for '-':a (expression must be numeric)"};
    QTest::newRow("constant-error-fr") << Setup{"\"a\"-1", "1 2 1 2"} << true
                                       << QStringList{"La formule de calcul est invalide",
                                                      "Expression invalide pour '-' : a (l'expression doit être de type numérique)"};
    QTest::newRow("constant-empty-text") << Setup{"\"\"", "1 2 1 2"} << false << QStringList{"Invalid syntax"};
    QTest::newRow("constant-empty-text-fr") << Setup{"\"\"", "1 2 1 2"} << true << QStringList{"Expression invalide"};
    QTest::newRow("cell-error") << Setup{"\"a\"-i", "1 2 1 2"} << false
                                << QStringList{"Invalid computing formula:Invalid syntax for '-':a (expression must be numeric)"};
    QTest::newRow("cell-error-fr") << Setup{"\"a\"-i", "1 2 1 2"} << true
                                   << QStringList{"La formule de calcul est invalide : Expression invalide pour '-' : a (l'expression doit être de type numérique)"};
    QTest::newRow("later-cell-error") << Setup{"if(i>4;\"a\"*i;i)", "1 6 1 1"} << false
                                      << QStringList{"Invalid computing formula:Invalid syntax for '*':a (expression must be numeric)"};
    QTest::newRow("row-name-error") << Setup{"i", "1 2 1 1", "\"a\"-i"} << false
                                    << QStringList{"Invalid new line name: Invalid syntax for '-':a (expression must be numeric)"};
    QTest::newRow("row-name-error-fr") << Setup{"i", "1 2 1 1", "\"a\"-i"} << true
                                       << QStringList{"Le nom de la nouvelle ligne est invalide : Expression invalide pour '-' : a (l'expression doit être de type numérique)"};
    QTest::newRow("column-name-error") << Setup{"i", "1 2 1 1", "", "\"a\"-j"} << false
                                       << QStringList{"Invalid new column name:Invalid syntax for '-':a (expression must be numeric)"};
    QTest::newRow("column-name-error-fr") << Setup{"i", "1 2 1 1", "", "\"a\"-j"} << true
                                          << QStringList{"Le nom de la nouvelle colonne est invalide : Expression invalide pour '-' : a (l'expression doit être de type numérique)"};
}

void TestCompute::failures()
{
    QFETCH(Setup, setup);
    QFETCH(bool, french);
    QFETCH(QStringList, messages);

    KXTest::LanguageScope language(french ? TApplicationTranslator::French : TApplicationTranslator::English);
    KXTest::MessageCapture capture;
    KXEquationCtrl controller;
    configure(controller, setup);
    std::unique_ptr<KXDataModelGeneric> output(controller.compute());
    QVERIFY(!output);
    QCOMPARE(capture.messages(), messages);
    QVERIFY(!controller.variableModel()->variableConstantExist(QStringLiteral("i"))
            && !controller.variableModel()->variableConstantExist(QStringLiteral("j")));
    QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
}

void TestCompute::headers_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<bool>("keepHeader");
    QTest::addColumn<QString>("headerDataset");
    QTest::addColumn<QStringList>("rowHeaders");
    QTest::addColumn<QStringList>("columnHeaders");

    // Per-cell path: sections by range number minus one
    QTest::newRow("kept-from-row-2") << Setup{"i+j", "2 3 1 2"} << true << "Input1"
                                     << QStringList{"R1", "R2"} << QStringList{"C0", "C1"};
    QTest::newRow("kept-wins-over-names") << Setup{"i", "1 2 1 1", "\"n\"+i"} << true << "Input1"
                                          << QStringList{"R0", "R1"} << QStringList{"C0"};
    QTest::newRow("names-when-not-kept") << Setup{"i", "1 2 1 2", "\"row\"+i", "\"col\"+j"} << false << "Input1"
                                         << QStringList{"row1", "row2"} << QStringList{"col1", "col2"};
    QTest::newRow("names-without-header-dataset") << Setup{"i", "1 2 1 1", "i*10"} << true << ""
                                                  << QStringList{"10", "20"} << QStringList{""};
    // Constant path: sections by output index
    QTest::newRow("constant-from-row-2") << Setup{"7", "2 3 2 2"} << true << "Input1"
                                         << QStringList{"R0", "R1"} << QStringList{"C0"};
    QTest::newRow("constant-not-kept") << Setup{"7", "1 1 1 1"} << false << "Input1" << QStringList{""}
                                       << QStringList{""};
}

void TestCompute::headers()
{
    QFETCH(Setup, setup);
    QFETCH(bool, keepHeader);
    QFETCH(QString, headerDataset);
    QFETCH(QStringList, rowHeaders);
    QFETCH(QStringList, columnHeaders);

    auto input = KXTest::makeTable(4, 2, QStringLiteral("shop"), QStringLiteral("Data"));
    KXEquationCtrl controller;
    controller.setCurrentDataModel(input.get());
    configure(controller, setup);
    controller.model()->setKeepHeader(keepHeader);
    controller.model()->setDataModelForHeader(headerDataset);
    std::unique_ptr<KXDataModelGeneric> output(controller.compute());
    QVERIFY(output);
    QStringList rows, columns;
    for (int r = 0; r < output->rowCount(); ++r)
        rows << output->headerData(r, Qt::Vertical).toString();
    for (int c = 0; c < output->columnCount(); ++c)
        columns << output->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(rows, rowHeaders);
    QCOMPARE(columns, columnHeaders);
}

void TestCompute::constantShortcut()
{
    Timeline timeline;
    KXEquationCtrl controller;
    configure(controller, Setup{"7+rand(2,2)", "1 300 1 40"});
    std::unique_ptr<KXDataModelGeneric> output(controller.compute());
    QVERIFY(output);
    QCOMPARE(timeline.starts, 0);
    QCOMPARE(output->rowCount(), 300);
    QCOMPARE(output->data(output->index(299, 39), KXValueRole), QVariant(9.0));
}

void TestCompute::batches()
{
    Timeline timeline;
    KXEquationCtrl controller;
    configure(controller, Setup{"i*1000+j", "1 100 1 100"});
    std::unique_ptr<KXDataModelGeneric> output(controller.compute());
    QVERIFY(output);
    QCOMPARE(timeline.starts, 1);
    QCOMPARE(timeline.startText, QStringLiteral("Calculations in progress"));
    QCOMPARE(timeline.refreshes, 10000 / 25);
    // Written after 4999 and 9999 cells, then the last one once the indicator is gone.
    QCOMPARE(timeline.batches, (QList<QPair<int, int>>{{4999, 4999}, {9999, 5000}}));
    QCOMPARE(timeline.finishedAfterWrites, 9999);
    QCOMPARE(timeline.writes, 10000);
    QCOMPARE(output->data(output->index(99, 99), KXValueRole), QVariant(100100.0));
}

void TestCompute::handsTableToDataEditor()
{
    TDataEditor2Ctrl* editor = ModuleLauncherInterface::returnMe()->dataEditor(0);
    const int before = editor->shownModels().size();
    KXEquationCtrl controller;
    configure(controller, Setup{"i", "1 2 1 2"});
    QVERIFY(QMetaObject::invokeMethod(&controller, "slotCompute"));
    QCOMPARE(editor->shownModels().size(), before + 1);
    QVERIFY(editor->keeps(editor->shownModels().last()));

    configure(controller, Setup{"3+-2", "1 2 1 2"});
    KXTest::MessageCapture capture;
    QVERIFY(QMetaObject::invokeMethod(&controller, "slotCompute"));
    QCOMPARE(editor->shownModels().size(), before + 1);
}

void TestCompute::outputName()
{
    auto input = KXTest::makeTable(2, 2, QStringLiteral("shop"), QStringLiteral("Data"));
    KXEquationCtrl controller;
    controller.setCurrentDataModel(input.get());
    controller.model()->setFormula(QStringLiteral("i"));
    std::unique_ptr<KXDataModelGeneric> output(controller.compute());
    QString dataset, subdataset;
    output->getName(dataset, subdataset);
    QCOMPARE(dataset + QLatin1Char('.') + subdataset, QStringLiteral("shop.Data_2"));

    QStandardItemModel plain(1, 1);
    KXEquationCtrl other;
    other.setCurrentDataModel(&plain);
    QCOMPARE(other.model()->getDatasetName(), QString());
    QCOMPARE(other.model()->getSubdatasetName(), QStringLiteral("_2"));
}

QTEST_GUILESS_MAIN(TestCompute)
#include "tst_compute.moc"
