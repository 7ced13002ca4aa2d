#include "KXDataDisplayModel.h"
#include "KXDataModel.h"
#include "KXNumberFormat.h"
#include "KXTestSupport.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

/// Display texts of cell values in both interface languages.
class TestNumberFormat : public QObject
{
    Q_OBJECT
private slots:
    void displayText_data();
    void displayText();
    void copyText_data();
    void copyText();
    void cNumber_data();
    void cNumber();
    void cNumberGenerated_data();
    void cNumberGenerated();

private:
    static void compareCNumber(double value);
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
    const QVariantList values = {0.1 + 0.2, QStringLiteral("abc"), KXNoValue, -1.5};
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

void TestNumberFormat::cNumber_data()
{
    QTest::addColumn<double>("value");
    QTest::newRow("minus-zero") << -0.0;
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("inf") << std::numeric_limits<double>::infinity();
    QTest::newRow("minus-inf") << -std::numeric_limits<double>::infinity();
    QTest::newRow("subnormal") << 5e-324;
    QTest::newRow("largest") << std::numeric_limits<double>::max();
    QTest::newRow("halfway-up") << 36603815374805.25;
    QTest::newRow("halfway-nines") << -999999999999999.5;
    QTest::newRow("just-below-1e-4") << 0.0001 - 1e-20;
    QTest::newRow("1e-4") << 0.0001;
    QTest::newRow("1e5") << 1e5;
    QTest::newRow("1e6") << 1e6;
    QTest::newRow("1e15") << 1e15;
    QTest::newRow("2^53+2") << 9007199254740994.0;
    QTest::newRow("1e21") << 1e21;
    QTest::newRow("long-integer") << 123456789012345678.0;
}

// The bytes of large tables' numbers are the locale's C text of them.
void TestNumberFormat::cNumber()
{
    QFETCH(double, value);
    compareCNumber(value);
}

void TestNumberFormat::cNumberGenerated_data()
{
    QTest::addColumn<int>("family");
    QTest::newRow("any-bits") << 0;
    QTest::newRow("any-magnitude") << 1;
    QTest::newRow("halfway-sixteenth-digit") << 2;
    QTest::newRow("integers-and-cents") << 3;
}

void TestNumberFormat::cNumberGenerated()
{
    QFETCH(int, family);
    std::mt19937_64 random(uint64_t(family) + 1);
    for (int k = 0; k < 50000; ++k) {
        const uint64_t bits = random();
        double value = 0.0;
        switch (family) {
        case 0:
            std::memcpy(&value, &bits, sizeof value);
            break;
        case 1:
            value = std::ldexp(double(bits >> 11), int(random() % 2100) - 1100);
            break;
        case 2:
            value = double((bits % 10000000000000000u) / 10 * 10 + 5) / std::pow(10.0, double(random() % 25));
            break;
        default:
            value = double(int64_t(bits) >> (random() % 64)) / (random() % 2 ? 100 : 1);
            break;
        }
        compareCNumber(value);
        if (QTest::currentTestFailed())
            return;
    }
}

void TestNumberFormat::compareCNumber(double value)
{
    for (const auto precision : {KXNumberFormat::Precision::Readable, KXNumberFormat::Precision::Full}) {
        char text[KXNumberFormat::CNumberCapacity];
        const char* end = KXNumberFormat::writeCNumber(value, precision, text);
        QCOMPARE(QString::fromLatin1(text, int(end - text)), KXNumberFormat::numberText(value, QLocale::c(), precision));
    }
}
