#include "KXChart.h"
#include "KXDataModel.h"
#include "KXTestSupport.h"

#include <QImage>
#include <QtTest>

/// Charts of small and large tables, drawn offscreen.
class TestChart : public QObject
{
    Q_OBJECT
private slots:
    void draw_data();
    void draw();
};

namespace {
/// Pixels of a clearly coloured (not white, grey or black) shade: those of the series.
int colouredPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += QColor(image.pixel(x, y)).hsvSaturation() > 100 ? 1 : 0;
    }
    return count;
}
}

void TestChart::draw_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("emptyColumn"); // -2: every column
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("series");

    const int lines = int(KXChart::Kind::Lines);
    const int map = int(KXChart::Kind::ColourMap);
    QTest::newRow("small") << 6 << 3 << -1 << lines << 3;
    QTest::newRow("column-without-values") << 6 << 3 << 1 << lines << 2;
    const int widest = KXChart::MaximumLineColumns;
    QTest::newRow("widest-line-chart") << 4 << widest << -1 << lines << widest;
    QTest::newRow("one-wide-row") << 1 << 20 << -1 << lines << 20;
    QTest::newRow("large") << 40 << 30 << 2 << map << 1;
    QTest::newRow("large-without-numbers") << 40 << 30 << -2 << map << 0;
}

void TestChart::draw()
{
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(int, emptyColumn);
    QFETCH(int, kind);
    QFETCH(int, series);

    std::unique_ptr<KXDataModelGeneric> table = KXTest::makeTable(rows, columns);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            table->setHeaderData(column, Qt::Horizontal, QVariant(), KXValueRole); // named by their number
            if (column == emptyColumn || emptyColumn == -2)
                table->setData(table->index(row, column), row % 2 ? QVariant() : QVariant(-9999), KXValueRole);
        }
    }

    const KXChart chart(*table, QLocale::c());
    QCOMPARE(int(chart.kind()), kind);
    QCOMPARE(chart.seriesCount(), series);
    QCOMPARE(colouredPixels(chart.toImage(QSize(480, 320))) > 200, series > 0);

    QTemporaryDir folder;
    QString error;
    QVERIFY2(chart.save(folder.filePath(QStringLiteral("chart.png")), QSize(300, 200), &error), qPrintable(error));
    QCOMPARE(QImage(folder.filePath(QStringLiteral("chart.png"))).size(), QSize(300, 200));
    QVERIFY2(chart.save(folder.filePath(QStringLiteral("chart.svg")), QSize(300, 200), &error), qPrintable(error));
    const QByteArray svg = KXTest::contents(folder.filePath(QStringLiteral("chart.svg")));
    QVERIFY(svg.contains("<svg") && (rows != 6 || svg.contains(QStringLiteral(">Column %1<").arg(columns).toUtf8())));
}

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
