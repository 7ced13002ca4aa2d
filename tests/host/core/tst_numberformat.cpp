#include "KXDataDisplayModel.h"
#include "KXDataModel.h"
#include "KXNumberFormat.h"
#include "KXTestSupport.h"

#include <QtTest>

#include <limits>

/// Display texts of cell values in both interface languages.
class TestNumberFormat : public QObject
{
    Q_OBJECT
private slots:
    void displayText_data();
    void displayText();
    void copyText_data();
    void copyText();
};

void TestNumberFormat::displayText_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("french");

    QTest::newRow("sum-noise") << QVariant(0.1 + 0.2) << "0.3" << "0,3";
    QTest::newRow("rounded-sixteenth") << QVariant(1234567890.1234567) << "1234567890.12346" << "1234567890,12346";
    QTest::newRow("tiny") << QVariant(-1.5e-7) << "-1.5e-7" << "-1,5e-7";
    QTest::newRow("minus-zero") << QVariant(-0.0) << "0" << "0";
    QTest::newRow("nan") << QVariant(std::numeric_limits<double>::quiet_NaN()) << "NaN" << "NaN";
    QTest::newRow("minus-inf") << QVariant(-std::numeric_limits<double>::infinity()) << "-\u221E" << "-\u221E";
    QTest::newRow("beyond-2^53") << QVariant(qlonglong(1) << 53 | 1) << "9.00719925474099e15"
                                 << "9,00719925474099e15";
    QTest::newRow("float") << QVariant(0.1f) << "0.1" << "0,1";
    QTest::newRow("marker-double") << QVariant(-9999.0) << "" << "";
    QTest::newRow("invalid") << QVariant() << "" << "";
    }

void TestNumberFormat::displayText()
{
    QFETCH(QVariant, value);
    QFETCH(QString, english);
    QFETCH(QString, french);

    {
        KXTest::LanguageScope language(TApplicationTranslator::English);
        QCOMPARE(KXNumberFormat::displayText(value, KXNumberFormat::interfaceLocale()), english);
    }
    KXTest::LanguageScope language(TApplicationTranslator::French);
    QCOMPARE(KXNumberFormat::displayText(value, KXNumberFormat::interfaceLocale()), french);
    QCOMPARE(KXNumberFormat::isNoValue(value), english.isEmpty());
}

void TestNumberFormat::copyText_data()
{
    QTest::addColumn<QList<QPoint>>("cells");
    QTest::addColumn<QString>("text");

    QTest::newRow("all") << QList<QPoint>{{0, 0}, {1, 0}, {0, 1}, {1, 1}} << "0,3\tabc\n\t-1,5\n";
    QTest::newRow("no-value-cell") << QList<QPoint>{{0, 1}} << "\n";
}

// The data editor shows and copies French display texts; numbers right, texts left, no value explained.
void TestNumberFormat::copyText()
{
    QFETCH(QList<QPoint>, cells);
    QFETCH(QString, text);

    KXDataModelGeneric table;
    table.createEmpty(2, 2);
    const QVariantList values = {0.1 + 0.2, QStringLiteral("abc"), QVariant(), -1.5};
    for (int k = 0; k < values.size(); ++k)
        table.setData(table.index(k / 2, k % 2), values.at(k), KXValueRole);
    KXTest::LanguageScope language(TApplicationTranslator::French);
    KXDataDisplayModel display(nullptr);
    display.setSourceModel(&table);
    QModelIndexList selection;
    for (const QPoint& cell : cells)
        selection.append(display.index(cell.y(), cell.x()));
    QCOMPARE(display.copyText(selection), text);

    QCOMPARE(display.data(display.index(0, 0), Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
             int(Qt::AlignRight));
    QCOMPARE(display.data(display.index(0, 1), Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
             int(Qt::AlignLeft));
    QVERIFY(display.data(display.index(0, 0), Qt::ToolTipRole).isNull());
    QCOMPARE(display.data(display.index(1, 0), Qt::ToolTipRole).toString(),
             QCoreApplication::translate("KXDataDisplayModel", "no value", "pas de valeur"));
}

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "tst_numberformat.moc"
