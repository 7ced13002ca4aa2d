#include "KXModuleCtrl.h"
#include "KXRibbon.h"
#include "KXTestSupport.h"

#include <QToolButton>
#include <QtTest>

class TestHostWidgets : public QObject
{
    Q_OBJECT

private slots:
    void closableBars_data();
    void closableBars();
    void workspaceAsks_data();
    void workspaceAsks();
};

void TestHostWidgets::closableBars_data()
{
    QTest::addColumn<bool>("tabs");
    QTest::addColumn<bool>("closable");
    QTest::newRow("built-in-closable") << false << true;
    QTest::newRow("tabs-fixed") << true << false;
}

void TestHostWidgets::closableBars()
{
    QFETCH(bool, tabs);
    QFETCH(bool, closable);
    RibbonInterface builtIn;
    KXRibbon tabRibbon;
    RibbonInterface& ribbon = tabs ? static_cast<RibbonInterface&>(tabRibbon) : builtIn;
    KXRibbonBar bar;
    ribbon.addRibbonBar(&bar, true, closable);
    ribbon.addRibbonBar(&bar, true, closable);
    QCOMPARE(ribbon.ribbonBars(), QList<KXRibbonBar*>{&bar});
    QCOMPARE(ribbon.currentRibbonBar(), &bar);
    QCOMPARE(!bar.findChild<QToolButton*>("closeButton")->isHidden(), closable);
    ribbon.removeRibbonBar(&bar);
    QVERIFY(ribbon.ribbonBars().isEmpty());
    QCOMPARE(ribbon.currentRibbonBar(), nullptr);
    QCOMPARE(bar.parent(), nullptr);
}

void TestHostWidgets::workspaceAsks_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("withModule");
    QTest::addColumn<bool>("closes");
    QTest::newRow("accepted") << int(TMessageBox::OK) << true << true;
    QTest::newRow("cancelled") << int(TMessageBox::Cancel) << true << false;
    QTest::newRow("no-module") << int(TMessageBox::OK) << false << false;
}

void TestHostWidgets::workspaceAsks()
{
    QFETCH(int, answer);
    QFETCH(bool, withModule);
    QFETCH(bool, closes);
    KXTest::AnsweringMessageBox answers;
    answers.answer = answer;
    TMessageBox::setInstance(&answers);
    WorkspaceInterface workspace;
    KXModuleCtrl module("kxGCP");
    QCOMPARE(workspace.closeModule(withModule ? &module : nullptr), closes);
    TMessageBox::setInstance(nullptr);
}

QTEST_MAIN(TestHostWidgets)
#include "tst_hostwidgets.moc"
