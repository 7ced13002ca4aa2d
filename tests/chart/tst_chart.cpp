#include "KXChart.h"
#include "KXDataModel.h"
#include "KXTestSupport.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

/// Charts of small and large tables, drawn offscreen.
class TestChart : public QObject
{
    Q_OBJECT
private slots:
    void draw_data();
    void draw();
    void pointAt_data();
    void pointAt();
    void rowLabels_data();
    void rowLabels();
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

    const int lines = int(KXChart::Kind::Bars); // text row headers
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
                table->setData(table->index(row, column), QVariantList{QVariant(), -9999, KXNoValue}.at(row % 3),
                               KXValueRole);
        }
    }

    const KXChart chart(*table, QLocale::c());
    QCOMPARE(int(chart.kind()), kind);
    QCOMPARE(chart.seriesCount(), series);
    QCOMPARE(colouredPixels(chart.toImage(QSize(480, 320))) > 200, series > 0);

    QTemporaryDir folder;
    QString error;
    QVERIFY2(chart.save(folder.filePath(QStringLiteral("chart.svg")), QSize(300, 200), &error), qPrintable(error));
    const QByteArray svg = KXTest::contents(folder.filePath(QStringLiteral("chart.svg")));
    QVERIFY(svg.contains("<svg") && (rows != 6 || svg.contains(QStringLiteral(">Column %1<").arg(columns).toUtf8())));
}

namespace {
/// A table of two columns, 1..rows times scale[column], its row headers numbers or texts.
std::unique_ptr<KXDataModelGeneric> scaledTable(int rows, bool textRows, double second)
{
    std::unique_ptr<KXDataModelGeneric> table = KXTest::makeTable(rows, 2);
    for (int row = 0; row < rows; ++row) {
        table->setHeaderData(row, Qt::Vertical, textRows ? QVariant(QStringLiteral("P%1").arg(row)) : QVariant(row * 2.5),
                             KXValueRole);
        table->setData(table->index(row, 0), 100.0 * (row + 1), KXValueRole);
        table->setData(table->index(row, 1), second * (row + 1), KXValueRole);
    }
    return table;
}
}

void TestChart::pointAt_data()
{
    QTest::addColumn<bool>("textRows");
    QTest::addColumn<double>("second"); // values of column 1 per unit of column 0's
    QTest::addColumn<double>("zoom");   // share of the row axis shown, from its start
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("secondAxis"); // for column 1, its values a thousand times apart

    QTest::newRow("line-last-second") << false << 50.0 << 1.0 << 5 << 1 << false;
    QTest::newRow("line-second-axis") << false << 0.1 << 1.0 << 3 << 1 << true;
    QTest::newRow("bar-left-of-group") << true << 50.0 << 1.0 << 2 << 0 << false;
    QTest::newRow("bar-right-of-group") << true << 50.0 << 1.0 << 4 << 1 << false;
    QTest::newRow("line-zoomed") << false << 50.0 << 0.5 << 1 << 1 << false;
    QTest::newRow("bar-zoomed") << true << 0.1 << 0.5 << 2 << 1 << true;
    QTest::newRow("ten-times-apart-shares") << false << 10.0 << 1.0 << 2 << 1 << false;
    QTest::newRow("negative-small") << false << -0.1 << 1.0 << 3 << 1 << true;
    QTest::newRow("zero-column-shares") << false << 0.0 << 1.0 << 1 << 0 << false;
}

// Texts as row headers give bars, numbers lines; a position over a drawn point (found in the
// picture's layout) maps back to its cell.
void TestChart::pointAt()
{
    QFETCH(bool, textRows);
    QFETCH(double, second);
    QFETCH(double, zoom);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, secondAxis);

    const KXChart chart(*scaledTable(6, textRows, second), QLocale::c());
    QCOMPARE(int(chart.kind()), int(textRows ? KXChart::Kind::Bars : KXChart::Kind::Lines));
    QCOMPARE(chart.hasSecondAxis(), secondAxis);
    QCOMPARE(chart.onSecondAxis(1), secondAxis);
    QVERIFY(!chart.onSecondAxis(0));
    KXChart::Window window = chart.fullWindow();
    window.high = window.low + (window.high - window.low) * zoom;
    QImage image(640, 400, QImage::Format_ARGB32);
    QPainter painter(&image);
    const KXChart::Layout layout = chart.paint(painter, QRectF(image.rect()), window);
    QVERIFY(!layout.plot.isEmpty());
    const double x = textRows ? row + 1 + (column == 0 ? -0.2 : 0.2) : row * 2.5;
    const int side = chart.onSecondAxis(column) ? 1 : 0;
    const double y = (column == 0 ? 100.0 : second) * (row + 1) * (textRows ? 0.5 : 1.0);
    const QPointF at(layout.plot.left() + (x - layout.xLow) / (layout.xHigh - layout.xLow) * layout.plot.width(),
                     layout.plot.bottom()
                         - (y - layout.yLow[side]) / (layout.yHigh[side] - layout.yLow[side]) * layout.plot.height());
    const KXChart::Point point = chart.pointAt(layout, at);
    QCOMPARE(point.row, row);
    QCOMPARE(point.column, column);
    QVERIFY(chart.pointText(point).startsWith(textRows ? QStringLiteral("P%1, C%2: ").arg(row).arg(column)
                                                        : QStringLiteral("%1, C%2: ").arg(row * 2.5).arg(column)));
    QVERIFY(!chart.pointAt(layout, layout.plot.topLeft() - QPointF(1, 1)).isValid());
}

void TestChart::rowLabels_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("all");

    QTest::newRow("six-flat") << 6 << 960 << true;
    QTest::newRow("six-narrow") << 6 << 300 << true;
    QTest::newRow("sixty-narrow") << 60 << 300 << false;
}

// Every row label is drawn while they fit flat, slanted or upright; beyond, some are left out.
void TestChart::rowLabels()
{
    QFETCH(int, rows);
    QFETCH(int, width);
    QFETCH(bool, all);

    const KXChart chart(*scaledTable(rows, true, 50.0), QLocale::c());
    QTemporaryDir folder;
    QString error;
    QVERIFY2(chart.save(folder.filePath(QStringLiteral("c.svg")), QSize(width, 400), &error), qPrintable(error));
    const QByteArray svg = KXTest::contents(folder.filePath(QStringLiteral("c.svg")));
    int drawn = 0;
    for (int row = 0; row < rows; ++row)
        drawn += svg.contains(QStringLiteral(">P%1<").arg(row).toUtf8()) ? 1 : 0;
    QCOMPARE(drawn == rows, all);
    QVERIFY(drawn > 1);
}

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
