#include "KXRibbonEquation.h"
#include "KXTestSupport.h"

#include <QtTest>

#include <memory>

class TestRibbonEquation : public QObject
{
    Q_OBJECT

private slots:
    void currentBar_data();
    void currentBar();
};

// Each step is "add X", "set X" or "remove X" on a ribbon holding the equation bar E and another bar O.
void TestRibbonEquation::currentBar_data()
{
    QTest::addColumn<bool>("tabs");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("calls");
    const struct {
        const char* name;
        QStringList steps, calls;
    } cases[] = {
        {"added-first", {"add E"}, {"activate 3"}},
        {"added-second", {"add O", "add E"}, {}},
        {"other-to-front", {"add E", "add O", "set O"}, {"activate 3", "deactivate"}},
        {"back-and-forth", {"add E", "add O", "set O", "set E"}, {"activate 3", "deactivate", "activate 3"}},
        {"other-removed-in-front", {"add E", "add O", "set O", "remove O"}, {"activate 3", "deactivate", "activate 3"}},
        {"removed-while-current", {"add E", "add O", "remove E"}, {"activate 3"}},
    };
    for (bool tabs : {false, true}) {
        for (const auto& row : cases)
            QTest::addRow("%s-%s", tabs ? "tabs" : "built-in", row.name) << tabs << row.steps << row.calls;
    }
}

void TestRibbonEquation::currentBar()
{
    QFETCH(bool, tabs);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, calls);
    KXTest::HostScope host;
    std::unique_ptr<KXRibbon> tabRibbon(tabs ? new KXRibbon : nullptr);
    RibbonInterface& ribbon = tabs ? *tabRibbon : host.ribbon();
    KXRibbonEquation equation;
    KXRibbonModuleBar other;
    for (const QString& step : steps) {
        KXRibbonBar* bar = step.endsWith('E') ? static_cast<KXRibbonBar*>(&equation) : &other;
        if (step.startsWith("add"))
            ribbon.addRibbonBar(bar, true, true);
        else if (step.startsWith("set"))
            ribbon.setCurrentRibbonBar(bar);
        else
            ribbon.removeRibbonBar(bar);
    }
    QCOMPARE(host.mainWindow.callsFor(&equation), calls);
    // A removed bar is told nothing more; a registered one knows whether it is current.
    if (ribbon.ribbonBars().contains(&equation))
        QCOMPARE(equation.isCurrentBar(), ribbon.currentRibbonBar() == &equation);
    ribbon.removeRibbonBar(&equation);
    ribbon.removeRibbonBar(&other);
}

QTEST_MAIN(TestRibbonEquation)
#include "tst_ribbonequation.moc"
