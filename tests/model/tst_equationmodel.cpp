#include "KXDataModel.h"
#include "KXEquationModel.h"
#include "KXEquationVariableModel.h"
#include "TXMLMethod.h"

#include <QDomDocument>
#include <QtTest>

class TestEquationModel : public QObject
{
    Q_OBJECT

private slots:
    void headerSwitch();
    void decode_data();
    void decode();
    void updateVariableName_data();
    void updateVariableName();
    void seed_data();
    void seed();
};

namespace {
QDomElement encoded(KXEquationModel& model, QDomDocument& document)
{
    QDomElement root = document.createElement(QStringLiteral("Equation"));
    document.appendChild(root);
    model.encode(root);
    return root.firstChildElement(QStringLiteral("EquationModel"));
}
}

void TestEquationModel::headerSwitch()
{
    KXEquationModel model;
    model.setKeepHeader(false);
    model.setKeepHHeader(false);
    QVERIFY(!model.keepVHeader() && !model.keepHHeader());
    // The stored flags are written whatever the master switch says.
    QDomDocument document;
    const QDomElement element = encoded(model, document);
    QCOMPARE(TXMLMethod::getInfoString(element, "KeepVHeader"), QString("1"));
    QCOMPARE(TXMLMethod::getInfoString(element, "KeepHHeader"), QString("0"));
    QCOMPARE(TXMLMethod::getInfoString(element, "KeepHeader"), QString("0"));
}

void TestEquationModel::decode_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("rowName");
    QTest::addColumn<bool>("keepHHeader");
    const QString flags = "<KeepHHeader>0</KeepHHeader><KeepVHeader>1</KeepVHeader>";
    // The model starts with the formula and column name "data", the row name "old" and every flag set;
    // a read model has its old dataset names renamed, the column name included.
    QTest::newRow("first-flag-missing") << "<EquationModel><Version>1.0</Version><Formula>2</Formula></EquationModel>"
                                        << false << "2" << "old" << true;
    QTest::newRow("other-version") << "<EquationModel><Version>1.1</Version><Formula>2</Formula></EquationModel>"
                                   << true << "Input1" << "old" << true;
    QTest::newRow("no-element") << "<Other><Version>1.0</Version></Other>" << false << "data" << "old" << true;
    QTest::newRow("nested-element")
        << "<Root><Inner><EquationModel><Version>1.0</Version><Formula>data3</Formula>" + flags
               + "<KeepHeader>1</KeepHeader><RowName>data2</RowName><ColName>data</ColName></EquationModel></Inner></Root>"
        << true << "Input3" << "Input2" << false;
}

void TestEquationModel::decode()
{
    QFETCH(QString, xml);
    QFETCH(bool, result);
    QFETCH(QString, formula);
    QFETCH(QString, rowName);
    QFETCH(bool, keepHHeader);
    QDomDocument document;
    QVERIFY(document.setContent(xml));
    QDomElement element = document.documentElement();
    KXEquationModel model;
    model.setFormula(QStringLiteral("data"));
    model.setRowName(QStringLiteral("old"));
    model.setColName(QStringLiteral("data"));
    QCOMPARE(model.decode(element), result);
    QCOMPARE(model.colName(), QString(result ? "Input1" : "data"));
    QCOMPARE(model.getFormula(), formula);
    QCOMPARE(model.rowName(), rowName);
    QCOMPARE(model.keepHHeader(), keepHHeader);
}

void TestEquationModel::updateVariableName_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("mixed") << "data(1,1)+data2(i,j)*data" << "Input1(1,1)+Input2(i,j)*Input1";
    QTest::newRow("two-digits") << "data12" << "Input12";
    QTest::newRow("inside-word") << "mydata" << "myInput1";
    QTest::newRow("case-sensitive") << "DATA+Data" << "DATA+Data";
}

void TestEquationModel::updateVariableName()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    KXEquationAbstractModel::updateVariableName(text);
    QCOMPARE(text, expected);
}

void TestEquationModel::seed_data()
{
    QTest::addColumn<QString>("seed"); // null: no Seed element
    QTest::addColumn<QString>("expected"); // null: a fresh seed
    QTest::newRow("written-before-seeds") << QString() << QString();
    QTest::newRow("zero") << "0" << "0";
    QTest::newRow("largest") << "18446744073709551615" << "18446744073709551615";
    QTest::newRow("beyond") << "18446744073709551616" << QString();
    QTest::newRow("negative") << "-1" << QString();
    QTest::newRow("blank-before") << " 7" << QString();
}

// A file keeps its seed; one without a usable seed still loads, with a fresh one.
void TestEquationModel::seed()
{
    QFETCH(QString, seed);
    QFETCH(QString, expected);
    const QString element = seed.isNull() ? QString() : "<Seed>" + seed + "</Seed>";
    QDomDocument document;
    QVERIFY(document.setContent("<EquationModel><Version>1.0</Version><KeepHHeader>1</KeepHHeader>"
                                "<KeepVHeader>1</KeepVHeader><KeepHeader>1</KeepHeader>" + element + "</EquationModel>"));
    QDomElement root = document.documentElement();
    KXEquationModel model, other;
    model.setSeed(7);
    other.setSeed(7);
    QVERIFY(model.decode(root) && other.decode(root));
    if (expected.isNull())
        QVERIFY(model.seed() != 7 && other.seed() != model.seed());
    else
        QCOMPARE(QString::number(model.seed()), expected);
    // Written back as read.
    QDomDocument again;
    QCOMPARE(TXMLMethod::getInfoString(encoded(model, again), "Seed"), QString::number(model.seed()));
}

QTEST_GUILESS_MAIN(TestEquationModel)
#include "tst_equationmodel.moc"
