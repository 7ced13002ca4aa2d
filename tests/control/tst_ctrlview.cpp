#include "KXDataModel.h"
#include "KXEquationCtrl.h"
#include "KXEquationModel.h"
#include "KXEquationFormulaEdit.h"
#include "KXEquationInterpreter.h"
#include "KXEquationVariableEditor.h"
#include "KXObject2.h"
#include "KXTestSupport.h"
#include "LodeDB.h"
#include "TDataEditor2Ctrl.h"
#include "TMessageBox.h"
#include "Wizard.h"

#include <QComboBox>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QStandardItemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <memory>

using VRN::Kestrix::Wizard::RibbonWizard;
using VRN::Kestrix::Wizard::WizardItem;

class TestCtrlView : public QObject
{
    Q_OBJECT

private slots:
    void inputTable_data(); void inputTable();
    void endToEnd();
    void readingErrorOnPage();
    void previewMarkFollowsVariables_data();
    void previewMarkFollowsVariables();
    void rangeErrorInItsField();
    void launchCancelled();
    void fileFailures_data(); void fileFailures();
    void closeQuestion_data(); void closeQuestion();
};

namespace {
struct View
{
    View() = default;
    explicit View(RibbonInterface& ribbon)
    {
        bar = qobject_cast<RibbonWizard*>(ribbon.ribbonBars().value(0));
        page = bar ? bar->pages().value(0) : nullptr;
        if (!page)
            return;
        auto* header = page->findChild<QGroupBox*>(QStringLiteral("EquationHeader"));
        grid = qobject_cast<QGridLayout*>(header->parentWidget()->layout());
        headerList = header->findChild<QComboBox*>();
        formula = page->findChild<KXEquationFormulaEdit*>();
        tree = page->findChild<KXEquationVariableEditor*>(QStringLiteral("EquationVariable"));
    }
    QLineEdit* edit(int row, int column) const { return qobject_cast<QLineEdit*>(grid->itemAtPosition(row, column)->widget()); }
    QLineEdit* datasetName() const { return edit(0, 3); }
    QLineEdit* rowEnd() const { return edit(1, 5); }
    QLineEdit* colEnd() const { return edit(2, 5); }
    void press(const QString& text) const
    {
        for (QToolButton* button : bar->findChildren<QToolButton*>()) {
            if (button->text() == text)
                QTest::mouseClick(button, Qt::LeftButton);
        }
    }
    static void retype(QLineEdit* edit, const QString& text)
    {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    RibbonWizard* bar = nullptr;
    WizardItem* page = nullptr;
    QGridLayout* grid = nullptr;
    QComboBox* headerList = nullptr;
    KXEquationFormulaEdit* formula = nullptr;
    KXEquationVariableEditor* tree = nullptr;
};

/// A host with one equation module whose page is built.
struct Module
{
    Module()
    {
        controller.initView(nullptr);
        view = View(host.ribbon());
    }
    KXTest::HostScope host;
    KXEquationCtrl controller;
    View view;
};

}

void TestCtrlView::inputTable_data()
{
    QTest::addColumn<bool>("hostDataset");
    QTest::addColumn<QString>("subdataset");
    QTest::newRow("host-dataset") << true << "Data_2";
    QTest::newRow("plain-model") << false << "_2";
}

void TestCtrlView::inputTable()
{
    QFETCH(bool, hostDataset);
    QFETCH(QString, subdataset);
    auto table = KXTest::makeTable(3, 2, "shop", "Data");
    QStandardItemModel plain(3, 2);
    Module module;
    const View& view = module.view;
    module.controller.setCurrentDataModel(hostDataset ? static_cast<QAbstractItemModel*>(table.get()) : &plain);
    QCOMPARE(QStringList({view.datasetName()->text(), view.rowEnd()->text(), view.colEnd()->text()}),
             QStringList({subdataset, "NR_Input1", "NC_Input1"}));
    QCOMPARE(module.controller.model()->dataModelForHeader(), view.headerList->currentText());
    QVERIFY(!view.tree->findItems("Input1", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
}

void TestCtrlView::endToEnd()
{
    KXTest::HostScope host;
    QVERIFY(ProjectMgrInterface::returnMe()->openProject(KX_EXAMPLES_DIR "/shop"));
    const KXObject2Dataset* q1 = ProjectMgrInterface::returnMe()->database()->getDataset("sales", "q1");
    QTemporaryDir folder;
    const QString file = folder.filePath("margin.xml");
    TDataEditor2Ctrl* dataEditor = host.launcher().dataEditor(0);
    const QStringList expected{"Coffee beans=1020", "Green tea=510",     "Croissant=372",
                               "Baguette=302.5",    "Chocolate bar=350", "Honey jar=310"};

    auto* controller = new KXEquationCtrl;
    controller->initView(nullptr);
    controller->activeRibbon();
    View view(host.ribbon());
    QTest::keyClicks(view.formula, "Input1(i,1)*Input1(i,2)");
    std::unique_ptr<QMimeData> payload(KXObject2Decoder::encodeObjects({q1}));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, payload.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view.tree->viewport(), &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, payload.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view.tree->viewport(), &drop);
    View::retype(view.colEnd(), "1");
    View::retype(view.datasetName(), "revenue");
    view.press("Launch");
    QTRY_COMPARE(dataEditor->shownModels().size(), 1);
    const KXDataModelGeneric* table = dataEditor->shownModels().first();
    QStringList values;
    for (int row = 0; row < table->rowCount(); ++row)
        values << table->headerData(row, Qt::Vertical).toString() + '=' + table->cell(row, 0).toString();
    QCOMPARE(values, expected);
    QCOMPARE(table->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Units"));

    host.fileDialogs.chosenPath = file;
    view.press("Save...");
    QVERIFY(QFileInfo::exists(file));
    delete controller;
    controller = new KXEquationCtrl;
    controller->initView(nullptr);
    View fresh(host.ribbon());
    fresh.rowEnd()->setFocus();
    fresh.press("Load...");
    // Typing goes on in the formula.
    QCOMPARE(fresh.formula->window()->focusWidget(), static_cast<QWidget*>(fresh.formula));
    QCOMPARE(QStringList({fresh.formula->text(), fresh.rowEnd()->text(), fresh.colEnd()->text(), fresh.datasetName()->text()}),
             QStringList({"Input1(i,1)*Input1(i,2)", "NR_Input1", "1", "revenue"}));
    QCOMPARE(fresh.headerList->currentText(), QStringLiteral("Input1"));
    QVERIFY(!fresh.tree->findItems("Input1", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());

    QCOMPARE(TFileDialog::rememberedDir("Equation"), folder.path());

    delete controller;
    ProjectMgrInterface::returnMe()->closeProject();
}

// Types the last row and the formula, launches with Ctrl+Return and gives what the launch reported,
// waiting a little past the first report so that a second one would be seen.
static QList<KXMessageSink::Origin> launchByKeys(View& view, const char* rowEnd, const QString& formula)
{
    QList<KXMessageSink::Origin> origins;
    const auto previous = KXMessageSink::setHandler(
        [&origins](KXMessageSink::Origin origin, const QString&) { origins.append(origin); });
    View::retype(view.rowEnd(), rowEnd);
    View::retype(view.colEnd(), "1");
    QTest::keyClicks(view.formula, formula);
    QTest::keyClick(view.formula, Qt::Key_Return, Qt::ControlModifier);
    if (QTest::qWaitFor([&origins] { return !origins.isEmpty(); }))
        QTest::qWait(50);
    KXMessageSink::setHandler(previous);
    return origins;
}

// Ctrl+Return launches; a formula that cannot be read is marked where it fails, logged, and boxed nowhere.
void TestCtrlView::readingErrorOnPage()
{
    const QString formula = QStringLiteral("2 * -3");
    const QString marked = QStringLiteral("2 * {-}3"); // the underlined characters between braces
    Module module;
    View& view = module.view;
    QCOMPARE(launchByKeys(view, "1", formula), QList<KXMessageSink::Origin>{KXMessageSink::Origin::Located});
    auto* message = view.page->findChild<QLabel*>(QStringLiteral("EquationFormulaMessage"));
    QCOMPARE(message->isVisibleTo(view.page) ? message->text() : QString(), module.controller.readingFailure()->message());
    QString shown = formula;
    const QList<QTextEdit::ExtraSelection> marks = view.formula->extraSelections();
    shown.insert(marks.first().cursor.selectionEnd(), '}');
    shown.insert(marks.first().cursor.selectionStart(), '{');
    QCOMPARE(shown, marked);
    QCOMPARE(view.formula->textCursor().position(), marked.indexOf('{'));
    // The next edit takes the mark away.
    QTest::keyClick(view.formula, Qt::Key_Space);
    QVERIFY(message->isHidden() && !view.formula->hasError());
}

// The preview marks an unknown name with a hint at its cause, and the mark goes when a constant
// gives the name a value.
void TestCtrlView::previewMarkFollowsVariables_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("fix"); // the constant that makes the formula readable
    QTest::newRow("unknown-name") << "2*x+1" << "`x` is not a constant, dataset or function" << "x";
    QTest::newRow("near-size") << "NR_Imput1+1"
                               << "`NR_Imput1` is not a constant, dataset or function; did you mean `NR_Input1`?"
                               << "NR_Imput1";
}

void TestCtrlView::previewMarkFollowsVariables()
{
    QFETCH(QString, formula);
    QFETCH(QString, hint);
    QFETCH(QString, fix);
    Module module;
    auto table = KXTest::makeTable(3, 2, "shop", "Data");
    module.controller.setCurrentDataModel(table.get());
    const View& view = module.view;
    QTest::keyClicks(view.formula, formula);
    auto* message = view.page->findChild<QLabel*>(QStringLiteral("EquationFormulaMessage"));
    QTRY_VERIFY(view.formula->hasError());
    QCOMPARE(message->text().section('\n', 1), hint);
    module.controller.addVariable(fix, 2);
    QTRY_VERIFY(!view.formula->hasError());
    QVERIFY(message->isHidden());
}

// A range end that cannot be read is marked in its field, named, and reported once: no box.
void TestCtrlView::rangeErrorInItsField()
{
    const QString message = QStringLiteral("Lines to: Invalid syntax: zzz\n`zzz` is not a constant, dataset or function");
    Module module;
    View& view = module.view;
    QCOMPARE(launchByKeys(view, "zzz", QStringLiteral("i")), QList<KXMessageSink::Origin>{KXMessageSink::Origin::Located});
    auto* shown = view.page->findChild<QLabel*>(QStringLiteral("EquationRangeMessage"));
    QCOMPARE(shown->isVisibleTo(view.page) ? shown->text() : QString(), message);
    QCOMPARE(view.rowEnd()->cursorPosition(), 0);
    QVERIFY(!view.formula->hasError());
    View::retype(view.rowEnd(), "2");
    QVERIFY(shown->isHidden());
}

// A launch of four million cells leaves the event loop running, refuses a second launch, and stops
// on Cancel without a table.
void TestCtrlView::launchCancelled()
{
    Module module;
    const View& view = module.view;
    View::retype(view.rowEnd(), "2000");
    View::retype(view.colEnd(), "2000");
    QTest::keyClicks(view.formula, "sum(k,1,50,sqrt(k*i*j))");
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(5);
    auto* cancel = view.page->findChild<QPushButton*>(QStringLiteral("EquationCancel"));
    auto* message = view.page->findChild<QLabel*>(QStringLiteral("EquationFormulaMessage"));
    QVERIFY(cancel && message && cancel->isHidden());

    view.press("Launch");
    QVERIFY(!cancel->isHidden());
    QTRY_VERIFY(ticks >= 20);
    view.press("Launch");
    QCOMPARE(message->text(), QStringLiteral("A computation is already running"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(cancel->isHidden(), 10000);
    QCOMPARE(module.host.launcher().dataEditor(0)->shownModels().size(), 0);
}

void TestCtrlView::fileFailures_data()
{
    QTest::addColumn<bool>("french");
    QTest::addColumn<bool>("save"); // else load
    QTest::addColumn<QString>("file"); // in the test data's equations; "read-only" and "missing-folder" are made
    QTest::addColumn<QString>("reason"); // a part of the report after the file name
    QTest::newRow("save-read-only") << false << true << "read-only" << "Cannot";
    QTest::newRow("save-missing-folder") << true << true << "missing-folder" << "Impossible";
    QTest::newRow("load-truncated") << false << false << "truncated.xml" << "line";
    QTest::newRow("load-future-version") << true << false << "wrong-version.xml" << "version 2.0";
}

// A failed save or load is logged and shown on the page, with the file and the reason, in the
// interface language; nothing that was typed is lost.
void TestCtrlView::fileFailures()
{
    QFETCH(bool, french);
    QFETCH(bool, save);
    QFETCH(QString, file);
    QFETCH(QString, reason);
    KXTest::LanguageScope language(french);
    Module module;
    QTemporaryDir folder;
    QString path = QStringLiteral(KX_TEST_DATA_DIR "/equations/") + file;
    if (file == "read-only") {
        path = folder.filePath("read-only.xml");
        QVERIFY(KXTest::writeFile(path, "<x/>"));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
    } else if (file == "missing-folder") {
        path = folder.filePath("missing/equation.xml");
    }
    module.host.fileDialogs.chosenPath = path;
    KXTest::MessageCapture capture;
    const View& view = module.view;
    QTest::keyClicks(view.formula, "i+j");
    // What the page's Save... and Load... buttons do, whatever their language.
    QVERIFY(!(save ? module.controller.saveEquation() : module.controller.loadEquation()));

    const QStringList logged = capture.messages();
    QCOMPARE(logged.size(), 1);
    QVERIFY2(logged.first().contains(path) && logged.first().contains(reason), qPrintable(logged.first()));
    auto* message = view.page->findChild<QLabel*>(QStringLiteral("EquationFormulaMessage"));
    QCOMPARE(message->isVisibleTo(view.page) ? message->text() : QString(), logged.first());
    QCOMPARE(module.controller.model()->getFormula(), QStringLiteral("i+j"));
}

void TestCtrlView::closeQuestion_data()
{
    QTest::addColumn<int>("workspace"); // -1: none; else its answer
    QTest::addColumn<bool>("edited");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("fileChosen");
    QTest::addColumn<int>("questions"); // the box's and the workspace's
    QTest::addColumn<bool>("closed");
    const int save = TMessageBox::Save, cancel = TMessageBox::Cancel;
    QTest::newRow("unedited") << 1 << false << cancel << false << 1 << true;
    QTest::newRow("workspace-refuses") << 0 << false << cancel << false << 1 << false;
    QTest::newRow("no-workspace") << -1 << true << save << true << 0 << false;
    QTest::newRow("save") << 1 << true << save << true << 2 << true;
    QTest::newRow("save-dialog-cancelled") << 1 << true << save << false << 1 << false;
    QTest::newRow("discard") << 1 << true << int(TMessageBox::Discard) << false << 2 << true;
    QTest::newRow("cancel") << 1 << true << cancel << true << 1 << false;
}

// Closing the page with an edited equation asks Save, Discard or Cancel, then the workspace has
// its say; whatever keeps the page keeps everything typed.
void TestCtrlView::closeQuestion()
{
    QFETCH(int, workspace);
    QFETCH(bool, edited);
    QFETCH(int, answer);
    QFETCH(bool, fileChosen);
    QFETCH(int, questions);
    QFETCH(bool, closed);
    KXTest::HostScope host;
    host.workspace.answer = workspace == 1;
    if (workspace < 0)
        WorkspaceInterface::setInstance(nullptr);
    KXTest::AnsweringMessageBox box;
    box.saveAnswer = answer;
    TMessageBox::setInstance(&box);
    QTemporaryDir folder;
    QVERIFY(QDir::setCurrent(folder.path())); // a cancelled dialog writes nowhere
    host.fileDialogs.chosenPath = fileChosen ? folder.filePath("equation.xml") : QString();
    QPointer<KXEquationCtrl> controller = new KXEquationCtrl;
    controller->initView(nullptr);
    controller->activeRibbon();
    controller->activeRibbon(); // the bar in front already: no second activation
    View view(host.ribbon());
    if (edited)
        QTest::keyClicks(view.formula, "i+j");
    const KXRibbonBar* bar = view.bar;
    QTest::mouseClick(view.bar->findChild<QToolButton*>(QStringLiteral("closeButton")), Qt::LeftButton);
    QTRY_COMPARE(host.mainWindow.callsFor(bar).size(), 2);
    TMessageBox::setInstance(nullptr);
    QCOMPARE(box.questions + host.workspace.questions, questions);
    QCOMPARE(controller.isNull(), closed);
    QCOMPARE(host.ribbon().ribbonBars().isEmpty(), closed);
    const bool saved = workspace >= 0 && answer == TMessageBox::Save && fileChosen;
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), saved ? QStringList{"equation.xml"} : QStringList());
    QVERIFY(QDir::setCurrent(QDir::tempPath()));
    if (!closed && edited)
        QCOMPARE(controller->model()->getFormula(), QStringLiteral("i+j"));
    // One deactivation: from the destructor when the module closed, else after the request.
    QTest::qWait(10);
    QCOMPARE(host.mainWindow.callsFor(bar), QStringList({"activate 3", "deactivate"}));
    QCOMPARE(host.mainWindow.callsWithDestroyedBars, 0);
    delete controller.data();
}

QTEST_MAIN(TestCtrlView)
#include "tst_ctrlview.moc"
