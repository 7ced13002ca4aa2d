#include "KXTestCtrl.h"
#include "TMessageBox.h"

#include <QtTest>

class KXAnsweringMessageBox final : public TMessageBox
{
public:
    int askOKCancel(const QString& title, const QString& text, const QString& details) override
    {
        questions << QStringList({title, text, details});
        return answer;
    }

    int answer = OK;
    QList<QStringList> questions;
};

class TestVariableRemoval : public QObject
{
    Q_OBJECT

private slots:
    void init() { TMessageBox::setInstance(&m_box); }
    void cleanup() { TMessageBox::setInstance(nullptr); }
    void removeSelected_data();
    void removeSelected();

private:
    KXAnsweringMessageBox m_box;
};

void TestVariableRemoval::removeSelected_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("questions");
    QTest::addColumn<QStringList>("remaining");
    QTest::newRow("accepted") << QStringList({"a", "b"}) << int(TMessageBox::OK) << 1 << QStringList({"c"});
    QTest::newRow("cancelled") << QStringList({"a"}) << int(TMessageBox::Cancel) << 1
                               << QStringList({"a", "b", "c"});
    QTest::newRow("nothing-selected") << QStringList() << int(TMessageBox::OK) << 0 << QStringList({"a", "b", "c"});
}

void TestVariableRemoval::removeSelected()
{
    QFETCH(QStringList, selected);
    QFETCH(int, answer);
    QFETCH(int, questions);
    QFETCH(QStringList, remaining);
    m_box.answer = answer;
    m_box.questions.clear();
    KXTestCtrl ctrl;
    ctrl.variableModel()->removeVariable(QStringLiteral("PI"));
    ctrl.variableModel()->removeVariable(QStringLiteral("NO_VALUE"));
    for (const char* name : {"a", "b", "c"})
        ctrl.variableModel()->addVariable(name, 1.0);
    KXEquationVariableEditor editor(ctrl.variableModel());
    ctrl.setEditor(&editor);
    for (const QString& name : selected)
        editor.findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0)->setSelected(true);

    QCOMPARE(ctrl.slotVariableRemoved(), false);
    QCOMPARE(m_box.questions.size(), questions);
    QCOMPARE(QStringList(ctrl.variableModel()->getVariableConstantList().keys()), remaining);
}

QTEST_MAIN(TestVariableRemoval)
#include "tst_variableremoval.moc"
