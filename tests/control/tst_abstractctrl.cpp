#include "KXDataModel.h"
#include "KXEquationAbstractCtrl.h"
#include "KXEquationModel.h"
#include "KXEquationVariableEditor.h"
#include "KXEquationVariableModel.h"
#include "KXMDLDynConfig.h"
#include "KXTestSupport.h"
#include "LodeDB.h"

#include <QtTest>

#include <limits>
#include <memory>

/// A controller base with an equation model that counts its refreshes.
class KXTestCtrl final : public KXEquationAbstractCtrl
{
public:
    KXTestCtrl() : KXEquationAbstractCtrl(new KXEquationModel, new KXEquationVariableModel) {}

    void updateInterface() override { ++refreshes; }

    KXEquationModel* model() const { return static_cast<KXEquationModel*>(equationModel()); }
    void setEditor(KXEquationVariableEditor* editor) { m_variableEditor = editor; }
    using KXEquationAbstractCtrl::getInterval;

    int refreshes = 0;
};

class TestAbstractCtrl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void naming_data(); void naming();
    void interval_data(); void interval();
    void roundTrip_data(); void roundTrip();
    void settersTakeOwnership();
    void dynamicProperties();
    void damagedFiles_data(); void damagedFiles();
    void removeSelected_data(); void removeSelected();

private:
    QTemporaryDir m_directory;
    KXDataModelGeneric m_table;
};

void TestAbstractCtrl::initTestCase()
{
    QVERIFY(m_directory.isValid());
    m_table.createEmpty(4, 12);
    m_table.setName("shop", "prices");
    QVERIFY(QDir(m_directory.path()).mkdir("project"));
    QVERIFY(ProjectMgrInterface::returnMe()->openProject(m_directory.filePath("project")));
    QVERIFY(ProjectMgrInterface::returnMe()->database()->storeDataset("shop", "prices", m_table, nullptr));
}

void TestAbstractCtrl::cleanupTestCase()
{
    ProjectMgrInterface::returnMe()->closeProject();
}

void TestAbstractCtrl::naming_data()
{
    QTest::addColumn<int>("removed");
    QTest::addColumn<QString>("rowEnd");
    QTest::addColumn<bool>("setRange");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expectedRowEnd");
    QTest::addColumn<QString>("expectedColEnd");
    // Tables are added under Input1 and Input2, one of them removed, then one more is added.
    QTest::newRow("first-removed") << 1 << "" << true << "Input3" << "NR_Input1" << "NC_Input1";
    QTest::newRow("second-removed") << 2 << "" << true << "Input2" << "NR_Input1" << "NC_Input1";
    QTest::newRow("row-end-given") << 1 << "5" << true << "Input3" << "5" << "";
    QTest::newRow("no-range-flag") << 1 << "" << false << "Input3" << "" << "";
}

void TestAbstractCtrl::naming()
{
    QFETCH(int, removed);
    QFETCH(QString, rowEnd);
    QFETCH(bool, setRange);
    QFETCH(QString, name);
    QFETCH(QString, expectedRowEnd);
    QFETCH(QString, expectedColEnd);
    KXTestCtrl ctrl;
    ctrl.slotUpdateModelRowEnd(rowEnd);
    KXDataModelGeneric tables[3];
    tables[2].createEmpty(4, 12);
    ctrl.addVariable(&tables[0], QString(), setRange);
    ctrl.addVariable(&tables[1], QString(), setRange);
    QVERIFY(ctrl.removeVariable(QStringLiteral("Input%1").arg(removed)));
    ctrl.addVariable(&tables[2], QString(), setRange);
    KXEquationVariableModel* variables = ctrl.variableModel();
    QCOMPARE(variables->getVariableModel(name), &tables[2]);
    QCOMPARE(QList<double>({variables->getVariableConstantValue("NR_" + name), variables->getVariableConstantValue("NC_" + name)}),
             QList<double>({12.0, 4.0}));
    QCOMPARE(QStringList({ctrl.model()->rowEnd(), ctrl.model()->colEnd()}), QStringList({expectedRowEnd, expectedColEnd}));
    QCOMPARE(ctrl.refreshes, 4);
}

void TestAbstractCtrl::interval_data()
{
    QTest::addColumn<int>("bound");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("expression") << 0 << "2*NC_Input1-1" << "7 12 1 4";
    QTest::newRow("empty") << 1 << "" << "Expression to evaluate is empty";
    // Each bound names itself, then the value's error; the first has no blank after its colon.
    const QString numeric = QStringLiteral("Invalid syntax for '*':a (expression must be numeric)");
    QTest::newRow("error-value-row-start") << 0 << "\"a\"*2" << "Minimum number of lines is incorrect:" + numeric;
    QTest::newRow("error-value-col-end") << 3 << "\"a\"*2" << "Maximum number of columns is incorrect: " + numeric;
    QTest::newRow("text-row-end") << 1 << "\"abc\"" << "Maximum number of lines is incorrect";
    QTest::newRow("text-col-start") << 2 << "\"abc\"" << "Minimum number of columns is incorrect";
    QTest::newRow("too-large") << 3 << "10000000000" << "Maximum number of columns is incorrect";
}

void TestAbstractCtrl::interval()
{
    QFETCH(int, bound);
    QFETCH(QString, text);
    QFETCH(QString, outcome);
    KXTestCtrl ctrl;
    ctrl.slotDatasetDropped(&m_table);
    QStringList texts = {"1", "NR_Input1", "1", "NC_Input1"};
    texts[bound] = text;
    ctrl.slotUpdateModelRowStart(texts[0]), ctrl.slotUpdateModelRowEnd(texts[1]);
    ctrl.slotUpdateModelColStart(texts[2]), ctrl.slotUpdateModelColEnd(texts[3]);
    int values[4] = {0, 0, 0, 0};
    try {
        ctrl.getInterval(values[0], values[1], values[2], values[3]);
        QCOMPARE(QString("%1 %2 %3 %4").arg(values[0]).arg(values[1]).arg(values[2]).arg(values[3]), outcome);
    } catch (const KXError& error) {
        QCOMPARE(error.message(), outcome);
        QVERIFY(error.secondText().isEmpty() && error.thirdText().isEmpty());
    }
}

void TestAbstractCtrl::roundTrip_data()
{
    QTest::addColumn<QString>("alias");
    QTest::addColumn<bool>("projectOpen");
    QTest::addColumn<bool>("restored");
    QTest::newRow("dataset-held") << "" << true << true;
    QTest::newRow("dataset-gone") << "" << false << false;
    QTest::newRow("alias-of-held-form") << "shop.prices" << true << true;
    QTest::newRow("alias-not-a-reference") << "prices" << true << false;
}

void TestAbstractCtrl::roundTrip()
{
    QFETCH(QString, alias);
    QFETCH(bool, projectOpen);
    QFETCH(bool, restored);
    KXTestCtrl source;
    source.resetVariableModel();
    KXEquationModel* model = source.model();
    model->setFormula("Input1(i,j)*rate");
    model->setSubdatasetName("taxed");
    model->setRowName("\"r\"+i");
    model->setColName("\"c\"+j");
    model->setDataModelForHeader("Input1");
    model->setKeepVHeader(false);
    model->setSeed(std::numeric_limits<quint64>::max());
    KXDataModelGeneric table;
    table.setName("shop", "other");
    source.addVariable(alias.isEmpty() ? &m_table : &table, alias, true);
    source.slotUpdateModelColStart("2");
    source.slotVariableAdded("rate", "1.23456789");
    const QString path = m_directory.filePath("roundtrip.xml");
    QVERIFY(source.saveModel(path));

    if (!projectOpen)
        ProjectMgrInterface::returnMe()->closeProject();
    KXTestCtrl target;
    target.addVariable("other", 3.0);
    QVERIFY(target.loadModel(path));
    QVERIFY(ProjectMgrInterface::returnMe()->openProject(m_directory.filePath("project")));
    QCOMPARE(target.refreshes, 2);
    const KXEquationModel* loaded = target.model();
    QCOMPARE(QStringList({loaded->getFormula(), loaded->getSubdatasetName(), loaded->rowStart(), loaded->rowEnd(),
                          loaded->colStart(), loaded->colEnd(), loaded->rowName(), loaded->colName(),
                          loaded->dataModelForHeader()}),
             QStringList({"Input1(i,j)*rate", "taxed", "1", "NR_Input1", "2", "NC_Input1", "\"r\"+i", "\"c\"+j",
                          "Input1"}));
    QVERIFY(!loaded->keepVHeader() && loaded->keepHHeader());
    QCOMPARE(loaded->seed(), std::numeric_limits<quint64>::max());
    const QMap<QString, QString> constants = target.variableModel()->getVariableConstantList();
    QCOMPARE(QStringList(constants.keys()), QStringList({"NO_VALUE", "PI", "other", "rate"}));
    // Exactly what was typed, while the file keeps its six-digit value for other readers.
    QVERIFY(target.variableModel()->getVariableConstantValue("rate") == 1.23456789);
    QVERIFY(KXTest::contents(path).contains("<Value>1.23457</Value>"));
    QCOMPARE(target.variableModel()->getVariableModelList().value("Input1", "dropped"),
             restored ? QString("shop.prices") : QString("dropped"));
    QCOMPARE(target.variableModel()->getVariableConstantValue("NR_Input1"), restored ? 12.0 : -9999.0);
    if (restored)
        QCOMPARE(target.variableModel()->getVariableModel("Input1")->parent(), static_cast<QObject*>(&target));
}

void TestAbstractCtrl::settersTakeOwnership()
{
    auto ctrl = std::make_unique<KXTestCtrl>();
    std::unique_ptr<KXEquationVariableModel> previous(ctrl->variableModel());
    std::unique_ptr<KXEquationAbstractModel> previousEquation(ctrl->equationModel());
    ctrl->setVariableModel(new KXEquationVariableModel);
    ctrl->setEquationModel(new KXEquationModel);
    ctrl.reset();
    QVERIFY(previous->variableConstantExist("PI"));
    QVERIFY(previousEquation->rowStart() == "1");
}

void TestAbstractCtrl::dynamicProperties()
{
    KXTestCtrl ctrl;
    KXMDLDynConfig configuration;
    configuration.setProperty("rate", 0.5);
    configuration.setProperty("prices", QVariant::fromValue(static_cast<KXDataModel*>(&m_table)));
    configuration.setProperty("label", QStringLiteral("not a number"));
    configuration.setProperty("empty", QVariant::fromValue(static_cast<KXDataModel*>(nullptr)));
    ctrl.fillWithDynamicProperties(&configuration);
    const KXEquationVariableModel* variables = ctrl.variableModel();
    QCOMPARE(variables->getVariableConstantList().value("rate"), QString("0.5"));
    QCOMPARE(variables->getVariableModel("prices"), &m_table);
    QCOMPARE(variables->getVariableModelRelatedList("prices").value("NR_prices"), QString("12"));
    QCOMPARE(variables->getVariableConstantList().size() + variables->getVariableModelList().size(), 4);
    ctrl.removeDynamicProperties(&configuration);
    QCOMPARE(variables->getVariableConstantList().size() + variables->getVariableModelList().size(), 2);
    QVERIFY(!variables->variableConstantExist("NR_prices"));
    QCOMPARE(ctrl.refreshes, 0);
}

void TestAbstractCtrl::damagedFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("loads");
    const QString data = QStringLiteral(KX_TEST_DATA_DIR "/equations/");
    const QStringList refused = {"truncated", "empty", "binary", "wrong-root", "wrong-doctype",
                                 "no-variable-model", "missing-keepheader", "keepheader-not-integer",
                                 "huge-flag", "odd-text"};
    for (const QString& name : refused)
        QTest::newRow(qPrintable(name)) << data + name + ".xml" << false;
    const QStringList accepted = {"huge-values", "wrong-version", "missing-version", "odd-variables"};
    for (const QString& name : accepted)
        QTest::newRow(qPrintable(name)) << data + name + ".xml" << true;
    QTest::newRow("directory") << data << false;

    KXTestCtrl ctrl;
    ctrl.model()->setFormula(QString("1+").repeated(500000) + "1");
    const QString longFormula = m_directory.filePath("long.xml");
    QVERIFY(ctrl.saveModel(longFormula));
    QTest::newRow("long-formula") << longFormula << true;
}

void TestAbstractCtrl::damagedFiles()
{
    QFETCH(QString, path);
    QFETCH(bool, loads);
    KXTestCtrl ctrl;
    QCOMPARE(ctrl.loadModel(path), loads);
    QCOMPARE(ctrl.refreshes, loads ? 1 : 0);
    QVERIFY2(loads == ctrl.fileError().isEmpty() && (loads || ctrl.fileError().contains(path)), qPrintable(ctrl.fileError()));
    QVERIFY(!ctrl.variableModel()->variableConstantExist("inner"));
    QVERIFY(ctrl.saveModel(m_directory.filePath("resaved.xml")));
}

void TestAbstractCtrl::removeSelected_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("questions");
    QTest::addColumn<QStringList>("remaining");
    QTest::newRow("accepted") << QStringList({"a", "b"}) << int(TMessageBox::OK) << 1 << QStringList({"c"});
    QTest::newRow("cancelled") << QStringList({"a"}) << int(TMessageBox::Cancel) << 1 << QStringList({"a", "b", "c"});
    QTest::newRow("nothing-selected") << QStringList() << int(TMessageBox::OK) << 0 << QStringList({"a", "b", "c"});
}

void TestAbstractCtrl::removeSelected()
{
    QFETCH(QStringList, selected);
    QFETCH(int, answer);
    QFETCH(int, questions);
    QFETCH(QStringList, remaining);
    KXTest::AnsweringMessageBox box;
    box.answer = answer;
    TMessageBox::setInstance(&box);
    KXTestCtrl ctrl;
    ctrl.variableModel()->removeVariable(QStringLiteral("PI"));
    ctrl.variableModel()->removeVariable(QStringLiteral("NO_VALUE"));
    for (const char* name : {"a", "b", "c"})
        ctrl.variableModel()->addVariable(name, 1.0);
    KXEquationVariableEditor editor(ctrl.variableModel());
    ctrl.setEditor(&editor);
    for (const QString& name : selected)
        editor.findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0)->setSelected(true);

    QCOMPARE(ctrl.slotVariableRemoved(), false);
    TMessageBox::setInstance(nullptr);
    QCOMPARE(box.questions, questions);
    QCOMPARE(QStringList(ctrl.variableModel()->getVariableConstantList().keys()), remaining);
}

QTEST_MAIN(TestAbstractCtrl)
#include "tst_abstractctrl.moc"
