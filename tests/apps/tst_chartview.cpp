#include "KXDataDisplayModel.h"
#include "KXDataModel.h"
#include "KXDesktopPanels.h"
#include "KXTestSupport.h"

#include <QTableView>
#include <QtTest>

/// The chart beside a computed table, asked with the mouse, and the table's copy.
class TestChartView : public QObject
{
    Q_OBJECT
private slots:
    void hoverAndZoom();
    void copyWithHeaders_data();
    void copyWithHeaders();
};

namespace {
/// Six products with two columns, the second a thousand times smaller than the first.
std::unique_ptr<KXDataModelGeneric> productTable()
{
    std::unique_ptr<KXDataModelGeneric> table = KXTest::makeTable(6, 2);
    for (int row = 0; row < 6; ++row) {
        table->setData(table->index(row, 0), 100.0 * (row + 1), KXValueRole);
        table->setData(table->index(row, 1), 0.1 * (row + 1), KXValueRole);
    }
    return table;
}

void waitForPicture(KXChartView& view)
{
    QSignalSpy drawn(&view, &KXChartView::drawn);
    QVERIFY(drawn.wait(5000));
    while (view.isDrawing())
        QVERIFY(drawn.wait(5000));
}
}

// Offscreen, QTest's pointer reaches one window per test function: one view for all steps.
void TestChartView::hoverAndZoom()
{
    std::unique_ptr<KXDataModelGeneric> table = productTable();
    KXChartView view(table.get());
    view.resize(640, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    waitForPicture(view);
    const QPoint firstBar(int(0.14 * view.width()), int(0.8 * view.height()));
    QTest::mouseMove(&view, firstBar);
    QCOMPARE(view.hoverText(), QStringLiteral("R0, C0: 100"));
    const QPoint secondAxisBar(int(0.17 * view.width()), int(0.8 * view.height()));
    QTest::mouseMove(&view, secondAxisBar);
    QCOMPARE(view.hoverText(), QStringLiteral("R0, C1: 0.1"));
    QTest::mouseMove(&view, QPoint(4, view.height() / 2));
    QCOMPARE(view.hoverText(), QString());

    // A wheel notch forward narrows the row axis about the pointer; dragging moves it, never
    // past its start; a double-click shows it whole.
    QWheelEvent wheel(firstBar, view.mapToGlobal(firstBar), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &wheel);
    QCOMPARE(view.window().high - view.window().low, 6 * 0.8);
    QVERIFY(view.window().low > 0.5);
    waitForPicture(view);
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, firstBar);
    // QTest moves the pointer without its buttons; a drag is a move with the button held.
    QMouseEvent drag(QEvent::MouseMove, firstBar + QPoint(300, 0), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &drag);
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, firstBar + QPoint(300, 0));
    QCOMPARE(view.window().low, 0.5);
    QTest::mouseDClick(&view, Qt::LeftButton, Qt::NoModifier, firstBar);
    QVERIFY(view.window().isFull());
}

void TestChartView::copyWithHeaders_data()
{
    QTest::addColumn<QList<QPoint>>("cells"); // column, row
    QTest::addColumn<QString>("text");

    QTest::newRow("one-cell") << QList<QPoint>{{1, 2}} << "\tC1\nR2\t0.3\n";
    QTest::newRow("block") << QList<QPoint>{{0, 0}, {1, 1}} << "\tC0\tC1\nR0\t100\t\nR1\t\t0.2\n";
}

void TestChartView::copyWithHeaders()
{
    QFETCH(QList<QPoint>, cells);
    QFETCH(QString, text);

    std::unique_ptr<KXDataModelGeneric> table = productTable();
    QTableView view;
    KXDataDisplayModel display(QLocale::c(), &view);
    display.setSourceModel(table.get());
    view.setModel(&display);
    for (const QPoint& cell : cells)
        view.selectionModel()->select(display.index(cell.y(), cell.x()), QItemSelectionModel::Select);
    QCOMPARE(::copyWithHeaders(view), text);
}

QTEST_MAIN(TestChartView)
#include "tst_chartview.moc"
