#include "KXDataModel.h"
#include "KXEquationVariableModel.h"
#include "KXTestSupport.h"

#include <QDomDocument>
#include <QtTest>

namespace {
using StringMap = QMap<QString, QString>;
}

Q_DECLARE_METATYPE(StringMap)

class TestVariableModel : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void constantLookupMarksCellPosition();
    void copiesAreIndependent();
    void derivedConstants();
    void sameTableIsBoundOnce();
    void aliases();
    void removalAndRename();
    void cellReading_data();
    void cellReading();
    void listingNames();
    void exactValue_data();
    void exactValue();

private:
    // A 3 x 2 table under Input1 with a text, an empty text, an invalid cell and a missing header; Input2 has no table.
    std::unique_ptr<KXDataModelGeneric> m_table;
    std::unique_ptr<KXEquationVariableModel> m_model;
};

void TestVariableModel::init()
{
    m_table = KXTest::makeTable(3, 2);
    m_table->setData(m_table->index(1, 1), QStringLiteral("abc"), KXValueRole);
    m_table->setData(m_table->index(1, 0), QString(QLatin1String("")), KXValueRole);
    m_table->setData(m_table->index(0, 1), QVariant(), KXValueRole);
    m_table->setHeaderData(2, Qt::Vertical, QVariant(), KXValueRole);
    m_model = std::make_unique<KXEquationVariableModel>();
    m_model->addVariable(QStringLiteral("Input1"), m_table.get(), QString());
    m_model->addVariable(QStringLiteral("Input2"), nullptr, QString());
}

void TestVariableModel::constantLookupMarksCellPosition()
{
    KXEquationVariableModel model;
    QCOMPARE(model.getVariableConstantValue(QStringLiteral("i")), -9999.0);
    QVERIFY2(!model.varOnFormula(), "a failed lookup of i must not mark the formula");
    model.addVariable(QStringLiteral("x"), 2.0);
    model.getVariableConstantValue(QStringLiteral("x"));
    QVERIFY(!model.varOnFormula());
    model.addVariable(QStringLiteral("j"), 4.0);
    QCOMPARE(model.getVariableConstantValue(QStringLiteral("j")), 4.0);
    QVERIFY(model.varOnFormula());
    KXEquationVariableModel fromPointer(&model);
    QVERIFY(!fromPointer.varOnFormula());
    QVERIFY(KXEquationVariableModel(model).varOnFormula());
    KXEquationVariableModel target;
    target.copy(&fromPointer);
    QVERIFY(!target.varOnFormula());
    QCOMPARE(target.getVariableConstantValue(QStringLiteral("j")), 4.0);
}

void TestVariableModel::copiesAreIndependent()
{
    KXEquationVariableModel original;
    original.setAliasEnabled(true);
    original.addVariable(QStringLiteral("Input1"), m_table.get(), QStringLiteral("a.b"));
    KXEquationVariableModel task(&original);
    QVERIFY(task.aliasEnabled());
    task.addVariable(QStringLiteral("i"), 3.0);
    task.removeVariable(QStringLiteral("Input1"));
    QVERIFY(!original.variableConstantExist(QStringLiteral("i")));
    QVERIFY(original.variableModelExist(QStringLiteral("Input1")));
    QVERIFY(original.variableConstantExist(QStringLiteral("NR_Input1")));
    QCOMPARE(task.getVariableConstantValue(QStringLiteral("i")), 3.0);
}

void TestVariableModel::derivedConstants()
{
    auto table = KXTest::makeTable(10, 3);
    for (bool withTable : {true, false}) {
        KXEquationVariableModel model;
        model.addVariable(QStringLiteral("Input1"), withTable ? table.get() : nullptr, QString());
        const QString rows = withTable ? "10" : "-1", columns = withTable ? "3" : "-1";
        QCOMPARE(model.getVariableModelRelatedList(QStringLiteral("Input1")),
                 (StringMap{{"NC_Input1", columns}, {"NR_Input1", rows}}));
        QCOMPARE(model.getVariableConstantList().size(), 2);
        QCOMPARE(model.containsModel(), withTable);
    }
}

void TestVariableModel::sameTableIsBoundOnce()
{
    KXEquationVariableModel model;
    model.addVariable(QStringLiteral("Input1"), m_table.get(), QString());
    model.addVariable(QStringLiteral("Input2"), m_table.get(), QString());
    QCOMPARE(model.getVariableModelList().keys(), QStringList{QStringLiteral("Input1")});
    QVERIFY(!model.variableConstantExist(QStringLiteral("NR_Input2")));
    model.addVariable(QStringLiteral("Input3"), nullptr, QString());
    model.addVariable(QStringLiteral("Input4"), nullptr, QString());
    QCOMPARE(model.getVariableModelList().size(), 3);
}

void TestVariableModel::aliases()
{
    auto second = KXTest::makeTable(5, 4);
    KXEquationVariableModel model;
    model.setAliasEnabled(true);
    model.addVariable(QStringLiteral("Input1"), m_table.get(), QStringLiteral("a.b"));
    model.addVariable(QStringLiteral("Input7"), second.get(), QStringLiteral("a.b"));
    QCOMPARE(model.getVariableModelList(), (StringMap{{"Input1", "a.b"}}));
    QCOMPARE(model.getVariableModel(QStringLiteral("Input1")), second.get());
    QCOMPARE(model.getVariableConstantValue(QStringLiteral("NR_Input1")), 5.0);
    QCOMPARE(model.getVariableConstantValue(QStringLiteral("NC_Input1")), 4.0);
    QVERIFY(model.variableModelExist(QStringLiteral("a.b")));
    QVERIFY(!model.getVariableModel(QStringLiteral("a.b")));
    // Removing by own name keeps the alias, so the same dataset comes back under the old name.
    QVERIFY(model.removeVariable(QStringLiteral("Input1")));
    QVERIFY(!model.variableConstantExist(QStringLiteral("NR_Input1")));
    model.addVariable(QStringLiteral("Input9"), m_table.get(), QStringLiteral("a.b"));
    QCOMPARE(model.getVariableModelList().keys(), QStringList{QStringLiteral("Input1")});
    QVERIFY(model.removeVariable(QStringLiteral("a.b")));
    QVERIFY(model.getVariableModelList().isEmpty());
    QVERIFY(!model.removeVariable(QStringLiteral("a.b")));
    model.addVariable(QStringLiteral("Input3"), m_table.get(), QStringLiteral("c.d"));
    model.setAliasEnabled(false);
    model.addVariable(QStringLiteral("Input4"), second.get(), QStringLiteral("c.d"));
    QCOMPARE(model.getVariableModelList().size(), 2);
}

void TestVariableModel::removalAndRename()
{
    KXEquationVariableModel& model = *m_model;
    model.addVariable(QStringLiteral("x"), 1.0);
    model.addVariable(QStringLiteral("y"), 2.0);
    QVERIFY(model.removeVariable(m_table.get()));
    QVERIFY(!model.variableConstantExist(QStringLiteral("NR_Input1")));
    QVERIFY(!model.removeVariable(m_table.get()));
    QVERIFY(model.removeVariable(QStringLiteral("PI")));
    QVERIFY(!model.getVariableConstantList().contains(QStringLiteral("PI")));
    QVERIFY(model.updateVariableName(QStringLiteral("x"), QStringLiteral("y")));
    QCOMPARE(model.getVariableConstantValue(QStringLiteral("y")), 1.0);
    QVERIFY(!model.variableConstantExist(QStringLiteral("x")));
    QVERIFY(!model.updateVariableName(QStringLiteral("x"), QStringLiteral("z")));
    QVERIFY(model.updateVariableValue(QStringLiteral("y"), 7.5));
    QCOMPARE(model.getVariableConstantValue(QStringLiteral("y")), 7.5);
    QVERIFY(!model.updateVariableValue(QStringLiteral("nothing"), 1.0));
    QVERIFY(!model.variableConstantExist(QStringLiteral("nothing")));
}

void TestVariableModel::cellReading_data()
{
    QTest::addColumn<char>("reader"); // c: cell, v: row header (row), h: column header (row)
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QString>("message");
    const QString none;
    QTest::newRow("text-cell") << 'c' << "Input1" << 1 << 1 << QVariant(QStringLiteral("abc")) << none;
    QTest::newRow("empty-text") << 'c' << "Input1" << 1 << 0 << QVariant(-9999) << none;
    QTest::newRow("invalid-cell") << 'c' << "Input1" << 0 << 1 << QVariant(-9999) << none;
    QTest::newRow("row-too-far") << 'c' << "Input1" << 3 << 0 << QVariant() << "Line number unreachable";
    QTest::newRow("column-too-far") << 'c' << "Input1" << 0 << 2 << QVariant() << "Column number unreachable";
    QTest::newRow("unknown") << 'c' << "Nope" << 0 << 0 << QVariant() << "Variable Nope is unknown";
    QTest::newRow("no-table") << 'c' << "Input2" << 0 << 0 << QVariant() << "Invalid dataset Input2";
    QTest::newRow("row-negative") << 'c' << "Input1" << -1 << 0 << QVariant() << "Line number unreachable";
    const QVariant empty(QString(QLatin1String("")));
    QTest::newRow("header-row-count-is-asked") << 'v' << "Input1" << 3 << 0 << empty << none;
    QTest::newRow("header-row-count-plus-one") << 'v' << "Input1" << 4 << 0 << QVariant() << none;
    QTest::newRow("header-column-count-plus-one") << 'h' << "Input1" << 3 << 0 << QVariant() << none;
    QTest::newRow("header-no-table") << 'v' << "Input2" << 0 << 0 << empty << none;
    QTest::newRow("header-unknown") << 'h' << "Nope" << 0 << 0 << QVariant() << none;
}

void TestVariableModel::cellReading()
{
    QFETCH(char, reader);
    QFETCH(QString, name);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QVariant, expected);
    QFETCH(QString, message);
    QString error = QStringLiteral("untouched");
    const QVariant value = reader == 'v' ? m_model->getVariableModelVerticalHeader(name, row)
        : reader == 'h'                  ? m_model->getVariableModelHorizontalHeader(name, row)
                                         : m_model->getVariableModelValue(name, row, column, error);
    QCOMPARE(value.userType(), expected.userType());
    QCOMPARE(value, expected);
    QCOMPARE(error, message.isNull() ? QStringLiteral("untouched") : message);
}

void TestVariableModel::listingNames()
{
    auto named = KXTest::makeTable(1, 1, QStringLiteral("sales"), QStringLiteral("q1"));
    auto halfNamed = KXTest::makeTable(1, 1, QStringLiteral("sales"), QString());
    auto proxied = KXTest::makeTable(1, 1, QStringLiteral("stock"), QStringLiteral("may"));
    KXDataModelProxy proxy;
    proxy.setSourceModel(proxied.get());
    KXEquationVariableModel model;
    model.addVariable(QStringLiteral("Input1"), named.get(), QString());
    model.addVariable(QStringLiteral("Input2"), halfNamed.get(), QString());
    model.addVariable(QStringLiteral("Input3"), &proxy, QString());
    model.addVariable(QStringLiteral("Input4"), nullptr, QString());
    QCOMPARE(model.getVariableModelList(),
             (StringMap{{"Input1", "sales.q1"}, {"Input2", ""}, {"Input3", "stock.may"}, {"Input4", ""}}));
}

QTEST_GUILESS_MAIN(TestVariableModel)
void TestVariableModel::exactValue_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("exact"); // the ExactValue text; empty: none written
    QTest::addColumn<double>("loaded");
    QTest::newRow("six-digits-only") << "1.0" << "" << 1.23457;
    QTest::newRow("exact-preferred") << "1.0" << "1.23456789" << 1.23456789;
    QTest::newRow("exact-unreadable") << "1.0" << "1,23456789" << 1.23457;
    QTest::newRow("exact-beyond-2^31") << "1.0" << "2147483648.5" << 2147483648.5;
    QTest::newRow("other-version-ignored") << "2.0" << "" << -9999.0;
}

// A file holds the six-digit value every reader knows and, perhaps, the exact one beside it, which wins.
void TestVariableModel::exactValue()
{
    QFETCH(QString, version);
    QFETCH(QString, exact);
    QFETCH(double, loaded);
    QString variable = "<Variables><Name>A</Name><Value>1.23457</Value>%1</Variables>";
    variable = variable.arg(exact.isEmpty() ? QString() : "<ExactValue>" + exact + "</ExactValue>");
    QDomDocument document;
    QVERIFY(document.setContent("<EquationVariableModel><Version>" + version + "</Version>" + variable
                                + "</EquationVariableModel>"));
    QDomElement element = document.documentElement();
    KXEquationVariableModel model;
    QVERIFY(model.decode(element, nullptr));
    QVERIFY(model.getVariableConstantValue("A") == loaded);
}

#include "tst_variablemodel.moc"
