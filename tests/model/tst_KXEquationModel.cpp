#include "KXEquationModel.h"
#include "TXMLMethod.h"

#include <QDomDocument>
#include <QtTest>

class KXEquationModelTest : public QObject
{
    Q_OBJECT

private slots:
    void encodeDefaults_data();
    void encodeDefaults();
    void encodeOrder();
    void headerSwitch_data();
    void headerSwitch();
    void roundTrip();
    void decode_data();
    void decode();
    void updateVariableName_data();
    void updateVariableName();
};

namespace {
QDomElement encoded(KXEquationModel& model, QDomDocument& document)
{
    QDomElement root = document.createElement(QStringLiteral("Equation"));
    document.appendChild(root);
    model.encode(root);
    return root.firstChildElement(QStringLiteral("EquationModel"));
}

// A model whose every text reads back differently from the defaults, and old names in two of them.
void fillFields(KXEquationModel& model)
{
    model.setFormula(QStringLiteral("data2(i,j)*2"));
    model.setDatasetName(QStringLiteral("out"));
    model.setSubdatasetName(QStringLiteral("sub"));
    model.setRowStart(QStringLiteral("2"));
    model.setRowEnd(QStringLiteral("NR_Input1"));
    model.setColStart(QStringLiteral("3"));
    model.setColEnd(QStringLiteral("NC_data"));
    model.setRowName(QStringLiteral("\"r\"+i"));
    model.setColName(QStringLiteral("\"c\"+j"));
    model.setDataModelForHeader(QStringLiteral("Input1"));
    model.setKeepVHeader(false);
    model.setKeepHHeader(true);
    model.setKeepHeader(true);
}
}

void KXEquationModelTest::encodeDefaults_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    const QStringList empty = {"Formula", "SubdatasetName", "RowEnd", "ColEnd", "DataModelForHeader",
                               "RowName", "ColName"};
    for (const QString& key : empty)
        QTest::newRow(qPrintable(key)) << key << QString();
    QTest::newRow("Version") << "Version" << "1.0";
    QTest::newRow("RowStart") << "RowStart" << "1";
    QTest::newRow("ColStart") << "ColStart" << "1";
    QTest::newRow("KeepVHeader") << "KeepVHeader" << "1";
    QTest::newRow("KeepHHeader") << "KeepHHeader" << "1";
    QTest::newRow("KeepHeader") << "KeepHeader" << "1";
}

void KXEquationModelTest::encodeDefaults()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    KXEquationModel model;
    QDomDocument document;
    QCOMPARE(TXMLMethod::getInfoString(encoded(model, document), key), text);
}

void KXEquationModelTest::encodeOrder()
{
    KXEquationModel model;
    QDomDocument document;
    QStringList keys;
    for (QDomElement key = encoded(model, document).firstChildElement(); !key.isNull();
         key = key.nextSiblingElement())
        keys << key.tagName();
    QCOMPARE(keys, QStringList({"Version", "Formula", "SubdatasetName", "RowStart", "RowEnd", "ColStart", "ColEnd",
                                "KeepVHeader", "KeepHHeader", "KeepHeader", "DataModelForHeader", "RowName",
                                "ColName"}));
}

void KXEquationModelTest::headerSwitch_data()
{
    QTest::addColumn<bool>("keepHeader");
    QTest::addColumn<bool>("keepV");
    QTest::addColumn<bool>("keepH");
    QTest::newRow("master-on") << true << true << false;
    QTest::newRow("master-off") << false << true << true;
    QTest::newRow("all-off") << false << false << false;
}

void KXEquationModelTest::headerSwitch()
{
    QFETCH(bool, keepHeader);
    QFETCH(bool, keepV);
    QFETCH(bool, keepH);
    KXEquationModel model;
    model.setKeepHeader(keepHeader);
    model.setKeepVHeader(keepV);
    model.setKeepHHeader(keepH);
    QCOMPARE(model.keepVHeader(), keepHeader && keepV);
    QCOMPARE(model.keepHHeader(), keepHeader && keepH);
    // The stored flags are written whatever the master switch says.
    QDomDocument document;
    const QDomElement element = encoded(model, document);
    QCOMPARE(TXMLMethod::getInfoString(element, "KeepVHeader"), QString::number(int(keepV)));
    QCOMPARE(TXMLMethod::getInfoString(element, "KeepHHeader"), QString::number(int(keepH)));
    QCOMPARE(TXMLMethod::getInfoString(element, "KeepHeader"), QString::number(int(keepHeader)));
}

void KXEquationModelTest::roundTrip()
{
    KXEquationModel source;
    fillFields(source);
    QDomDocument document;
    QDomElement root = encoded(source, document).parentNode().toElement();
    KXEquationModel target;
    target.setDatasetName(QStringLiteral("kept"));
    QVERIFY(target.decode(root));
    QCOMPARE(target.getFormula(), QStringLiteral("Input2(i,j)*2"));
    QCOMPARE(target.getDatasetName(), QStringLiteral("kept"));
    QCOMPARE(target.getSubdatasetName(), source.getSubdatasetName());
    QCOMPARE(target.rowStart(), source.rowStart());
    QCOMPARE(target.rowEnd(), source.rowEnd());
    QCOMPARE(target.colStart(), source.colStart());
    QCOMPARE(target.colEnd(), QStringLiteral("NC_Input1"));
    QCOMPARE(target.rowName(), source.rowName());
    QCOMPARE(target.colName(), source.colName());
    QCOMPARE(target.dataModelForHeader(), source.dataModelForHeader());
    QCOMPARE(target.keepVHeader(), false);
    QCOMPARE(target.keepHHeader(), true);
    QCOMPARE(target.keepHeader(), true);
}

void KXEquationModelTest::decode_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("rowName");
    QTest::addColumn<bool>("keepHHeader");
    const QString flags = "<KeepHHeader>0</KeepHHeader><KeepVHeader>1</KeepVHeader>";
    // The model starts with the formula "data", the row name "old" and every flag set.
    QTest::newRow("missing-keep-header")
        << "<EquationModel><Version>1.0</Version><Formula>data+1</Formula>" + flags + "<RowName>new</RowName>"
               "</EquationModel>"
        << false << "data+1" << "old" << false;
    QTest::newRow("keep-header-not-integer")
        << "<EquationModel><Version>1.0</Version>" + flags + "<KeepHeader>yes</KeepHeader></EquationModel>" << false
        << "" << "old" << false;
    QTest::newRow("first-flag-missing") << "<EquationModel><Version>1.0</Version><Formula>2</Formula></EquationModel>"
                                        << false << "2" << "old" << true;
    QTest::newRow("other-version") << "<EquationModel><Version>1.1</Version><Formula>2</Formula></EquationModel>"
                                   << true << "Input1" << "old" << true;
    QTest::newRow("no-element") << "<Other><Version>1.0</Version></Other>" << false << "data" << "old" << true;
    QTest::newRow("nested-element")
        << "<Root><Inner><EquationModel><Version>1.0</Version><Formula>data3</Formula>" + flags
               + "<KeepHeader>1</KeepHeader><RowName>x</RowName></EquationModel></Inner></Root>"
        << true << "Input3" << "x" << false;
}

void KXEquationModelTest::decode()
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
    QCOMPARE(model.decode(element), result);
    QCOMPARE(model.getFormula(), formula);
    QCOMPARE(model.rowName(), rowName);
    QCOMPARE(model.keepHHeader(), keepHHeader);
}

void KXEquationModelTest::updateVariableName_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("mixed") << "data(1,1)+data2(i,j)*data" << "Input1(1,1)+Input2(i,j)*Input1";
    QTest::newRow("two-digits") << "data12" << "Input12";
    QTest::newRow("already-new") << "Input3" << "Input3";
    QTest::newRow("inside-word") << "mydata" << "myInput1";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("case-sensitive") << "DATA+Data" << "DATA+Data";
    QTest::newRow("twice-is-once") << "Input1(1,1)+myInput1" << "Input1(1,1)+myInput1";
}

void KXEquationModelTest::updateVariableName()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    KXEquationAbstractModel::updateVariableName(text);
    QCOMPARE(text, expected);
}

QTEST_GUILESS_MAIN(KXEquationModelTest)
#include "tst_KXEquationModel.moc"
