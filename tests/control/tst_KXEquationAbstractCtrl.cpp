#include "KXDataModel.h"
#include "KXEquationCommand.h"
#include "KXEquationInterpreter.h"
#include "KXMDLDynConfig.h"
#include "KXTestCtrl.h"
#include "KXTestSupport.h"
#include "LodeDB.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class KXEquationAbstractCtrlTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void naming_data();
    void naming();
    void intervalValues_data();
    void intervalValues();
    void intervalMessages_data();
    void intervalMessages();
    void roundTrip_data();
    void roundTrip();
    void loadKeepsPresentVariables();
    void failedSaveKeepsFile();
    void dynamicProperties();
    void valueSlots_data();
    void valueSlots();
    void damagedFiles_data();
    void damagedFiles();

private:
    QTemporaryDir m_directory;
    KXDataModelGeneric m_table;
};

namespace {
const int INPUT_TABLES = 3;

QString errorMessageOf(KXEquationVariableModel* variables, const QString& formula)
{
    KXEquationInterpreter interpreter(variables);
    std::unique_ptr<KXEquationCommand> tree(interpreter.interpret(formula));
    QString message;
    KXEquationCommand::getError(tree->evaluate(), message);
    return message;
}
}

void KXEquationAbstractCtrlTest::initTestCase()
{
    QVERIFY(m_directory.isValid());
    m_table.createEmpty(4, 12);
    m_table.setName("shop", "prices");
    QVERIFY(QDir(m_directory.path()).mkdir("project"));
    QVERIFY(ProjectMgrInterface::returnMe()->openProject(m_directory.filePath("project")));
    QVERIFY(ProjectMgrInterface::returnMe()->database()->storeDataset("shop", "prices", m_table, nullptr));
}

void KXEquationAbstractCtrlTest::cleanupTestCase()
{
    ProjectMgrInterface::returnMe()->closeProject();
}

void KXEquationAbstractCtrlTest::naming_data()
{
    QTest::addColumn<int>("removed");
    QTest::addColumn<QString>("rowEnd");
    QTest::addColumn<bool>("setRange");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expectedRowEnd");
    QTest::addColumn<QString>("expectedColEnd");
    // Tables are added under Input1 and Input2, one of them removed, then one more is added.
    QTest::newRow("none-removed") << 0 << "" << true << "Input3" << "NR_Input1" << "NC_Input1";
    QTest::newRow("first-removed") << 1 << "" << true << "Input3" << "NR_Input1" << "NC_Input1";
    QTest::newRow("second-removed") << 2 << "" << true << "Input2" << "NR_Input1" << "NC_Input1";
    QTest::newRow("row-end-given") << 0 << "5" << true << "Input3" << "5" << "";
    QTest::newRow("no-range-flag") << 0 << "" << false << "Input3" << "" << "";
}

void KXEquationAbstractCtrlTest::naming()
{
    QFETCH(int, removed);
    QFETCH(QString, rowEnd);
    QFETCH(bool, setRange);
    QFETCH(QString, name);
    QFETCH(QString, expectedRowEnd);
    QFETCH(QString, expectedColEnd);
    KXTestCtrl ctrl;
    ctrl.slotUpdateModelRowEnd(rowEnd);
    KXDataModelGeneric tables[INPUT_TABLES];
    tables[2].createEmpty(4, 12);
    ctrl.addVariable(&tables[0], QString(), setRange);
    ctrl.addVariable(&tables[1], QString(), setRange);
    if (removed > 0)
        QVERIFY(ctrl.removeVariable(QStringLiteral("Input%1").arg(removed)));
    ctrl.addVariable(&tables[2], QString(), setRange);
    QCOMPARE(ctrl.variableModel()->getVariableModel(name), &tables[2]);
    QCOMPARE(ctrl.variableModel()->getVariableConstantValue("NR_" + name), 12.0);
    QCOMPARE(ctrl.variableModel()->getVariableConstantValue("NC_" + name), 4.0);
    QCOMPARE(ctrl.model()->rowEnd(), expectedRowEnd);
    QCOMPARE(ctrl.model()->colEnd(), expectedColEnd);
    QCOMPARE(ctrl.refreshes, removed > 0 ? 4 : 3);
}

void KXEquationAbstractCtrlTest::intervalValues_data()
{
    QTest::addColumn<QString>("rowStart");
    QTest::addColumn<int>("expected");
    QTest::newRow("number") << "1" << 1;
    QTest::newRow("row-count") << "NR_Input1" << 12;
    QTest::newRow("expression") << "2*NC_Input1-1" << 7;
    QTest::newRow("rounded") << "2.5" << 3;
    QTest::newRow("no-value") << "NO_VALUE" << -9999;
}

void KXEquationAbstractCtrlTest::intervalValues()
{
    QFETCH(QString, rowStart);
    QFETCH(int, expected);
    KXTestCtrl ctrl;
    ctrl.slotDatasetDropped(&m_table);
    ctrl.slotUpdateModelRowStart(rowStart);
    int rows[2] = {0, 0};
    int columns[2] = {0, 0};
    ctrl.getInterval(rows[0], rows[1], columns[0], columns[1]);
    QCOMPARE(rows[0], expected);
    QCOMPARE(rows[1], 12);
    QCOMPARE(columns[0], 1);
    QCOMPARE(columns[1], 4);
}

void KXEquationAbstractCtrlTest::intervalMessages_data()
{
    QTest::addColumn<int>("bound");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("french");
    QTest::addColumn<QString>("message");
    // An error value gets the prefix; a value that is no integer gets the plain message.
    const char* const english[4][2] = {
        {"Minimum number of lines is incorrect:", "Minimum number of lines is incorrect"},
        {"Maximum number of lines is incorrect: ", "Maximum number of lines is incorrect"},
        {"Minimum number of columns is incorrect: ", "Minimum number of columns is incorrect"},
        {"Maximum number of columns is incorrect: ", "Maximum number of columns is incorrect"}};
    const char* const french[4][2] = {
        {"Le nombre minimum de lignes est incorrect : ", "Le nombre minimum de lignes est incorrect"},
        {"Le nombre maximum de lignes est incorrect : ", "Le nombre maximum de lignes est incorrect"},
        {"Le nombre minimum de colonnes est incorrect : ", "Le nombre minimum de colonnes est incorrect"},
        {"Le nombre maximum de colonnes est incorrect : ", "Le nombre maximum de colonnes est incorrect"}};
    for (int bound = 0; bound < 4; ++bound) {
        QTest::addRow("error-value-%d-en", bound) << bound << "\"a\"*2" << false << english[bound][0];
        QTest::addRow("error-value-%d-fr", bound) << bound << "\"a\"*2" << true << french[bound][0];
        QTest::addRow("text-%d-en", bound) << bound << "\"abc\"" << false << english[bound][1];
        QTest::addRow("text-%d-fr", bound) << bound << "\"abc\"" << true << french[bound][1];
        QTest::addRow("too-large-%d-en", bound) << bound << "10000000000" << false << english[bound][1];
    }
}

void KXEquationAbstractCtrlTest::intervalMessages()
{
    QFETCH(int, bound);
    QFETCH(QString, text);
    QFETCH(bool, french);
    QFETCH(QString, message);
    KXTest::LanguageScope language(french ? TApplicationTranslator::French : TApplicationTranslator::English);
    KXTestCtrl ctrl;
    QStringList texts = {"1", "1", "1", "1"};
    texts[bound] = text;
    ctrl.slotUpdateModelRowStart(texts[0]);
    ctrl.slotUpdateModelRowEnd(texts[1]);
    ctrl.slotUpdateModelColStart(texts[2]);
    ctrl.slotUpdateModelColEnd(texts[3]);
    if (text == "\"a\"*2") {
        const QString cause = errorMessageOf(ctrl.variableModel(), text);
        QVERIFY(!cause.isEmpty());
        message += cause;
    }
    int values[4];
    try {
        ctrl.getInterval(values[0], values[1], values[2], values[3]);
        QFAIL("no error");
    } catch (const KXError& error) {
        QCOMPARE(error.message(), message);
        QVERIFY(error.secondText().isEmpty() && error.thirdText().isEmpty());
    }
}

void KXEquationAbstractCtrlTest::roundTrip_data()
{
    QTest::addColumn<bool>("projectHoldsDataset");
    QTest::newRow("dataset-held") << true;
    QTest::newRow("dataset-gone") << false;
}

void KXEquationAbstractCtrlTest::roundTrip()
{
    QFETCH(bool, projectHoldsDataset);
    KXTestCtrl source;
    KXEquationModel* model = source.model();
    model->setFormula("Input1(i,j)*rate");
    model->setSubdatasetName("taxed");
    model->setRowName("\"r\"+i");
    model->setColName("\"c\"+j");
    model->setDataModelForHeader("Input1");
    model->setKeepVHeader(false);
    source.slotDatasetDropped(&m_table);
    source.slotUpdateModelColStart("2");
    source.slotVariableAdded("rate", "1.25");
    const QString path = m_directory.filePath("roundtrip.xml");
    QVERIFY(source.saveModel(path));

    if (!projectHoldsDataset)
        ProjectMgrInterface::returnMe()->closeProject();
    KXTestCtrl target;
    target.resetVariableModel();
    QVERIFY(target.loadModel(path));
    QVERIFY(ProjectMgrInterface::returnMe()->openProject(m_directory.filePath("project")));
    QCOMPARE(target.refreshes, 1);
    const KXEquationModel* loaded = target.model();
    QCOMPARE(loaded->getFormula(), model->getFormula());
    QCOMPARE(loaded->getSubdatasetName(), model->getSubdatasetName());
    QCOMPARE(loaded->rowStart(), QString("1"));
    QCOMPARE(loaded->rowEnd(), QString("NR_Input1"));
    QCOMPARE(loaded->colStart(), QString("2"));
    QCOMPARE(loaded->colEnd(), QString("NC_Input1"));
    QCOMPARE(loaded->rowName(), model->rowName());
    QCOMPARE(loaded->colName(), model->colName());
    QCOMPARE(loaded->dataModelForHeader(), model->dataModelForHeader());
    QCOMPARE(loaded->keepVHeader(), false);
    QCOMPARE(loaded->keepHHeader(), true);
    QCOMPARE(target.variableModel()->getVariableConstantValue("rate"), 1.25);
    QCOMPARE(target.variableModelExist("Input1"), projectHoldsDataset);
    QCOMPARE(target.variableModel()->getVariableConstantValue("NR_Input1"), projectHoldsDataset ? 12.0 : -9999.0);
}

void KXEquationAbstractCtrlTest::loadKeepsPresentVariables()
{
    KXTestCtrl source;
    source.addVariable("rate", 2.0);
    const QString path = m_directory.filePath("keeps.xml");
    QVERIFY(source.saveModel(path));
    KXTestCtrl target;
    target.addVariable("rate", 1.0);
    target.addVariable("other", 3.0);
    QVERIFY(target.loadModel(path));
    QCOMPARE(target.variableModel()->getVariableConstantValue("rate"), 2.0);
    QCOMPARE(target.variableModel()->getVariableConstantValue("other"), 3.0);
}

void KXEquationAbstractCtrlTest::failedSaveKeepsFile()
{
    KXTestCtrl ctrl;
    QVERIFY(!ctrl.saveModel(m_directory.filePath("missing/equation.xml")));
    // A directory in the way of the file is left as it was.
    QVERIFY(QDir(m_directory.path()).mkdir("occupied"));
    QVERIFY(!ctrl.saveModel(m_directory.filePath("occupied")));
    QVERIFY(QFileInfo(m_directory.filePath("occupied")).isDir());
}

void KXEquationAbstractCtrlTest::dynamicProperties()
{
    KXTestCtrl ctrl;
    KXMDLDynConfig configuration;
    configuration.setProperty("rate", 0.5);
    configuration.setProperty("prices", QVariant::fromValue(static_cast<KXDataModel*>(&m_table)));
    configuration.setProperty("label", QStringLiteral("not a number"));
    configuration.setProperty("empty", QVariant::fromValue(static_cast<KXDataModel*>(nullptr)));
    ctrl.fillWithDynamicProperties(&configuration);
    KXEquationVariableModel* variables = ctrl.variableModel();
    QCOMPARE(variables->getVariableConstantValue("rate"), 0.5);
    QCOMPARE(variables->getVariableModel("prices"), &m_table);
    QCOMPARE(variables->getVariableConstantValue("NR_prices"), 12.0);
    QVERIFY(!variables->variableConstantExist("label") && !variables->variableModelExist("label"));
    QVERIFY(!variables->variableModelExist("empty"));
    ctrl.removeDynamicProperties(&configuration);
    QVERIFY(!variables->variableConstantExist("rate"));
    QVERIFY(!variables->variableModelExist("prices"));
    QVERIFY(!variables->variableConstantExist("NR_prices"));
    QCOMPARE(ctrl.refreshes, 0);
}

void KXEquationAbstractCtrlTest::valueSlots_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<double>("added");
    QTest::addColumn<double>("updated");
    QTest::newRow("number") << "k" << "2.5" << 2.5 << 2.5;
    QTest::newRow("not-a-number") << "k" << "2,5x" << -9999.0 << 1.0;
    QTest::newRow("empty-value") << "k" << "" << -9999.0 << 1.0;
    QTest::newRow("empty-name") << "" << "3" << -9999.0 << -9999.0;
}

void KXEquationAbstractCtrlTest::valueSlots()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(double, added);
    QFETCH(double, updated);
    KXTestCtrl adding;
    adding.slotVariableAdded(name, value);
    QCOMPARE(adding.variableModel()->getVariableConstantValue(name), added);
    // An edited value that is no number keeps the old one, and the views are refreshed anyway.
    KXTestCtrl editing;
    editing.variableModel()->addVariable("k", 1.0);
    editing.updateModelVariableValue(name, value);
    QCOMPARE(editing.variableModel()->getVariableConstantValue(name), updated);
    QCOMPARE(editing.refreshes, 1);
}

void KXEquationAbstractCtrlTest::damagedFiles_data()
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
    QTest::newRow("missing-file") << data + "no-such-file.xml" << false;
    QTest::newRow("directory") << data << false;

    // Too large to keep in the repository: deep nesting and a long formula.
    const QString deep = m_directory.filePath("deep.xml");
    QFile deepFile(deep);
    QVERIFY(deepFile.open(QIODevice::WriteOnly));
    deepFile.write("<!DOCTYPE Equation><Equation>" + QByteArray("<a>").repeated(20000)
                   + QByteArray("</a>").repeated(20000) + "</Equation>");
    deepFile.close();
    QTest::newRow("deep-nesting") << deep << false;
    KXTestCtrl ctrl;
    ctrl.model()->setFormula(QString("1+").repeated(500000) + "1");
    const QString longFormula = m_directory.filePath("long.xml");
    QVERIFY(ctrl.saveModel(longFormula));
    QTest::newRow("long-formula") << longFormula << true;
}

void KXEquationAbstractCtrlTest::damagedFiles()
{
    QFETCH(QString, path);
    QFETCH(bool, loads);
    KXTestCtrl ctrl;
    QCOMPARE(ctrl.loadModel(path), loads);
    QCOMPARE(ctrl.refreshes, loads ? 1 : 0);
    // Whatever was read is still a savable equation.
    QVERIFY(ctrl.saveModel(m_directory.filePath("resaved.xml")));
}

QTEST_GUILESS_MAIN(KXEquationAbstractCtrlTest)
#include "tst_KXEquationAbstractCtrl.moc"
