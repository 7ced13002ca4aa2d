#include "KXDataModel.h"
#include "KXEquationVariableModel.h"
#include "KXTestSupport.h"
#include "LodeDB.h"
#include "TXMLMethod.h"

#include <QDomDocument>
#include <QTemporaryDir>
#include <QtTest>

using Pairs = QList<QPair<QString, QString>>;

class KXEquationVariableModelXmlTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void encode();
    void constantRoundTrip_data();
    void constantRoundTrip();
    void datasetRoundTrip_data();
    void datasetRoundTrip();
    void otherVersionReadsNothing();
    void missingElement();

private:
    QTemporaryDir m_project;
};

namespace {
QDomElement encoded(const KXEquationVariableModel& model, QDomDocument& document)
{
    QDomElement root = document.createElement(QStringLiteral("Equation"));
    document.appendChild(root);
    model.encode(root);
    return root;
}

Pairs storedVariables(const QDomElement& root)
{
    Pairs pairs;
    const QDomNodeList nodes = TXMLMethod::getNodeChild(root.firstChildElement("EquationVariableModel"), "Variables");
    for (int index = 0; index < nodes.count(); ++index)
        pairs.append({TXMLMethod::getInfoString(nodes.item(index), "Name"),
                      TXMLMethod::getInfoString(nodes.item(index), "Value")});
    return pairs;
}

// A 2-row, 3-column table named dataset.subdataset.
std::unique_ptr<KXDataModelGeneric> namedTable(const QString& dataset, const QString& subdataset)
{
    auto table = std::make_unique<KXDataModelGeneric>();
    table->createEmpty(3, 2);
    table->setName(dataset, subdataset);
    return table;
}
}

void KXEquationVariableModelXmlTest::initTestCase()
{
    QVERIFY(m_project.isValid());
    QVERIFY(ProjectMgrInterface::returnMe()->openProject(m_project.path()));
    QString error;
    QVERIFY2(ProjectMgrInterface::returnMe()->database()->storeDataset("shop", "prices", *namedTable("shop", "prices"),
                                                                        &error),
             qPrintable(error));
}

void KXEquationVariableModelXmlTest::cleanupTestCase()
{
    ProjectMgrInterface::returnMe()->closeProject();
}

void KXEquationVariableModelXmlTest::encode()
{
    KXEquationVariableModel model;
    model.addVariable("a", 1234567.0);
    auto table = namedTable("shop", "prices");
    model.addVariable("Input1", table.get(), QString());
    model.addVariable("Input2", nullptr, QString());
    QDomDocument document;
    const QDomElement root = encoded(model, document);
    QCOMPARE(TXMLMethod::getInfoString(root.firstChildElement("EquationVariableModel"), "Version"), QString("1.0"));
    const Pairs expected = {{"NO_VALUE", "-9999"}, {"PI", "3.14159"}, {"a", "1.23457e+06"},
                            {"Input1", "shop.prices"}, {"Input2", ""}};
    QCOMPARE(storedVariables(root), expected);
}

void KXEquationVariableModelXmlTest::constantRoundTrip_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("seven-digits") << 1234567.0 << 1234570.0;
    QTest::newRow("fraction") << 0.1 << 0.1;
    QTest::newRow("tiny-negative") << -2.5e-10 << -2.5e-10;
    QTest::newRow("zero") << 0.0 << 0.0;
}

void KXEquationVariableModelXmlTest::constantRoundTrip()
{
    QFETCH(double, value);
    QFETCH(double, expected);
    KXEquationVariableModel source;
    source.addVariable("c", value);
    QDomDocument document;
    QDomElement root = encoded(source, document);
    KXEquationVariableModel target;
    target.removeVariable(QStringLiteral("PI"));
    QVERIFY(target.decode(root));
    QVERIFY(KXTest::sameDouble(target.getVariableConstantValue("c"), expected));
    QVERIFY(KXTest::sameDouble(target.getVariableConstantValue("PI"), 3.14159));
}

void KXEquationVariableModelXmlTest::datasetRoundTrip_data()
{
    QTest::addColumn<QString>("dataset");
    QTest::addColumn<QString>("alias");
    QTest::addColumn<bool>("withTable");
    QTest::addColumn<bool>("projectOpen");
    QTest::addColumn<bool>("restored");
    QTest::newRow("held-by-project") << "prices" << "" << true << true << true;
    QTest::newRow("alias-of-held-form") << "other" << "shop.prices" << true << true << true;
    QTest::newRow("not-held") << "other" << "" << true << true << false;
    QTest::newRow("alias-without-dot") << "prices" << "myalias" << true << true << false;
    QTest::newRow("no-table") << "prices" << "" << false << true << false;
    QTest::newRow("no-project") << "prices" << "" << true << false << false;
}

void KXEquationVariableModelXmlTest::datasetRoundTrip()
{
    QFETCH(QString, dataset);
    QFETCH(QString, alias);
    QFETCH(bool, withTable);
    QFETCH(bool, projectOpen);
    QFETCH(bool, restored);
    KXEquationVariableModel source;
    source.setAliasEnabled(true);
    auto table = namedTable("shop", dataset);
    source.addVariable("Input1", withTable ? table.get() : nullptr, alias);
    QDomDocument document;
    QDomElement root = encoded(source, document);
    if (!projectOpen)
        ProjectMgrInterface::returnMe()->closeProject();

    KXEquationVariableModel target;
    QVERIFY(target.decode(root));
    QVERIFY(ProjectMgrInterface::returnMe()->openProject(m_project.path()));
    QCOMPARE(target.variableModelExist(QStringLiteral("Input1")), restored);
    QCOMPARE(target.variableConstantExist(QStringLiteral("NR_Input1")), restored);
    if (restored) {
        QCOMPARE(target.getVariableModelList().value("Input1"), QString("shop.prices"));
        QCOMPARE(target.getVariableConstantValue("NR_Input1"), 2.0);
        QCOMPARE(target.getVariableConstantValue("NC_Input1"), 3.0);
    }
}

void KXEquationVariableModelXmlTest::otherVersionReadsNothing()
{
    QDomDocument document;
    QVERIFY(document.setContent(QStringLiteral("<EquationVariableModel><Version>1.00</Version>"
                                               "<Variables><Name>a</Name><Value>1</Value></Variables>"
                                               "</EquationVariableModel>")));
    QDomElement element = document.documentElement();
    KXEquationVariableModel model;
    QVERIFY(model.decode(element));
    QVERIFY(!model.variableConstantExist(QStringLiteral("a")));
}

void KXEquationVariableModelXmlTest::missingElement()
{
    QDomDocument document;
    QVERIFY(document.setContent(QStringLiteral("<Equation><EquationModel/></Equation>")));
    QDomElement element = document.documentElement();
    KXEquationVariableModel model;
    QVERIFY(!model.decode(element));
}

QTEST_GUILESS_MAIN(KXEquationVariableModelXmlTest)
#include "tst_KXEquationVariableModelXml.moc"
