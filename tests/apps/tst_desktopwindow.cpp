#include "KXColumnSizer.h"
#include "KXDataModel.h"
#include "KXDesktopPanels.h"
#include "KXDesktopWindow.h"
#include "KXEquationCtrl.h"
#include "KXEquationDocument.h"
#include "KXEquationFormulaEdit.h"
#include "KXEquationModel.h"
#include "KXEquationVariableEditor.h"
#include "KXEquationVariableModel.h"
#include "KXObject2.h"
#include "KXRibbon.h"
#include "KXScreenFit.h"
#include "KXTestSupport.h"
#include "LodeDB.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QDockWidget>
#include <QLabel>
#include <QShortcut>
#include <QToolButton>
#include <QHeaderView>
#include <QInputDialog>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QtTest>

#include <atomic>
#include <memory>

/// The desktop window's project messages, its saving of a computed table into the project, and
/// the work it keeps off the interface thread.
class TestDesktopWindow : public QObject
{
    Q_OBJECT
private slots:
    void projectOpened_data();
    void projectOpened();
    void saveTable_data();
    void saveTable();
    void columnSizing_data();
    void columnSizing();
    void datasetReading_data();
    void datasetReading();
    void closedTableReleased();
    void closeWindow_data();
    void closeWindow();
    void closeTab_data();
    void closeTab();
    void newEquationFocusAndSaveKey();
    void moduleReading_data();
    void moduleReading();
    void closePage_data();
    void closePage();
    void ribbonShortcuts();
    void windowFitsScreen_data();
    void windowFitsScreen();
    void homeNamesRunningModule_data();
    void homeNamesRunningModule();
    void saveTableEnabled_data();
    void saveTableEnabled();

private:
    QTemporaryDir m_folder;
};

namespace {
QString lastReport(const QWidget& window)
{
    return window.findChild<KXMessageLog*>()->toPlainText().section(QLatin1Char('\n'), -1);
}
}

// French puts 0 in the singular, English does not.
void TestDesktopWindow::projectOpened_data()
{
    QTest::addColumn<bool>("french");
    QTest::addColumn<QString>("count");
    QTest::newRow("english") << false << "0 datasets.";
    QTest::newRow("french") << true << "0 tableau.";
}

void TestDesktopWindow::projectOpened()
{
    QFETCH(bool, french);
    QFETCH(QString, count);
    KXTest::LanguageScope language(french);
    KXDesktopWindow window(m_folder.filePath(QStringLiteral("settings.ini")));
    QVERIFY(window.openProject(m_folder.path()));
    QVERIFY2(lastReport(window).endsWith(count), qPrintable(lastReport(window)));
    ProjectMgrInterface::returnMe()->closeProject();
}

void TestDesktopWindow::saveTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file"); // empty: refused
    QTest::newRow("dataset-dot-subdataset") << "sales.q9" << "sales/q9.csv";
    QTest::newRow("no-dataset") << ".q9" << "";
}

// The typed "dataset.subdataset" names the stored file; the saved table no longer counts as unsaved.
void TestDesktopWindow::saveTable()
{
    QFETCH(QString, name);
    QFETCH(QString, file);
    auto table = KXTest::makeTable(2, 2, QStringLiteral("results"), QStringLiteral("table"));
    KXDesktopWindow window(m_folder.filePath(QStringLiteral("settings.ini")));
    QVERIFY(window.openProject(m_folder.path()));
    TDataEditor2Ctrl* editor = ModuleLauncherInterface::returnMe()->dataEditor(0);
    editor->addGenericModel(table.get());
    QCOMPARE(editor->unsavedCount(), 1);
    QTimer::singleShot(0, &window, [name] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->setTextValue(name);
        dialog->accept();
    });
    window.saveTableToProject();
    QVERIFY(file.isEmpty() || (QFileInfo::exists(m_folder.filePath(file)) && !window.selectDataset(name.chopped(1))));
    QCOMPARE(editor->unsavedCount(), file.isEmpty() ? 1 : 0);
    QVERIFY(!file.isEmpty() || lastReport(window).endsWith(name + " is not a name of the form dataset.subdataset."));
    ProjectMgrInterface::returnMe()->closeProject();
}

namespace {
/// Numbers, but one long text in the last row; counts every read of a cell.
class CountingTable final : public QAbstractTableModel
{
public:
    CountingTable(int rows, int columns) : m_rows(rows), m_columns(columns) {}
    int rowCount(const QModelIndex& = QModelIndex()) const override { return m_rows; }
    int columnCount(const QModelIndex& = QModelIndex()) const override { return m_columns; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        ++reads;
        if (role != Qt::DisplayRole && role != KXValueRole)
            return QVariant();
        if (index.row() == m_rows - 1 && index.column() == 0)
            return QStringLiteral("a text far wider than any number of the table");
        return index.row() * 0.5;
    }
    mutable std::atomic<qint64> reads{0};

private:
    int m_rows;
    int m_columns;
};
}

// However large the table, a shown table reads the cells in sight and a sample of rows per
// column; the sample reaches the last row.
void TestDesktopWindow::columnSizing_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::newRow("2000x2000") << 2000 << 2000;
    QTest::newRow("10000x1000") << 10000 << 1000;
    QTest::newRow("1x1") << 1 << 1;
}

void TestDesktopWindow::columnSizing()
{
    QFETCH(int, rows);
    QFETCH(int, columns);
    CountingTable table(rows, columns);
    KXDataEditorView editor;
    editor.resize(800, 600);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.showTable(&table, QStringLiteral("counted"));
    auto* view = editor.currentWidget()->findChild<QTableView*>();
    QTest::qWait(50);
    QVERIFY2(table.reads < 30000, qPrintable(QString::number(table.reads)));
    const int textWidth = view->fontMetrics().horizontalAdvance(table.data(table.index(rows - 1, 0), Qt::DisplayRole).toString());
    QVERIFY(view->columnWidth(0) >= qMin(textWidth, int(KXColumnSizer::MaximumWidth)));
    // A column scrolled into sight is sized too.
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
    QVERIFY(view->columnWidth(columns - 1) > 0);
    QVERIFY2(table.reads < 60000, qPrintable(QString::number(table.reads)));
}

// A stored dataset is read on a worker: right after the request nothing is there yet and the
// status bar shows the reading; then the table arrives, or nothing when Cancel was pressed.
void TestDesktopWindow::datasetReading_data()
{
    QTest::addColumn<bool>("forModule");
    QTest::addColumn<bool>("cancel");
    QTest::newRow("shown") << false << false;
    QTest::newRow("shown-cancelled") << false << true;
    QTest::newRow("module") << true << false;
    QTest::newRow("module-cancelled") << true << true;
}

void TestDesktopWindow::datasetReading()
{
    QFETCH(bool, forModule);
    QFETCH(bool, cancel);
    QDir(m_folder.path()).mkpath(QStringLiteral("read"));
    QFile file(m_folder.filePath(QStringLiteral("read/table.csv")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(",a,b\nr1,1,2\nr2,3,4\n");
    file.close();
    KXDesktopWindow window(m_folder.filePath(QStringLiteral("settings.ini")));
    QVERIFY(window.openProject(m_folder.path()));
    QVERIFY(window.selectDataset(QStringLiteral("read.table")));
    auto* editor = window.findChild<KXDataEditorView*>();
    auto* panel = window.findChild<KXProjectPanel*>();
    int ready = 0;
    KXEquationCtrl* controller = nullptr;
    if (forModule)
        controller = window.newEquation([&ready](KXEquationCtrl*) { ++ready; });
    else
        emit panel->itemActivated(panel->currentItem());
    QCOMPARE(editor->count(), 0);
    QVERIFY(!controller || !controller->variableModelExist(QStringLiteral("Input1")));
    QVERIFY(!window.findChild<QProgressBar*>(QStringLiteral("readingProgress"))->isHidden());
    if (cancel)
        window.findChild<QPushButton*>(QStringLiteral("readingCancel"))->click();
    QTRY_VERIFY(window.findChild<QProgressBar*>(QStringLiteral("readingProgress"))->isHidden());
    QCOMPARE(editor->count(), !forModule && !cancel ? 1 : 0);
    QCOMPARE(ready, forModule && !cancel ? 1 : 0);
    QCOMPARE(controller && controller->variableModelExist(QStringLiteral("Input1")), forModule && !cancel);
    if (cancel)
        QCOMPARE(lastReport(window).section(QLatin1Char(' '), 1), QStringLiteral("Reading of read.table cancelled."));
    ProjectMgrInterface::returnMe()->closeProject();
}

// Closing a computed table's tab frees the table: the data editor no longer shows or keeps it.
void TestDesktopWindow::closedTableReleased()
{
    KXTest::AnsweringMessageBox box;
    box.saveAnswer = TMessageBox::Discard;
    TMessageBox::setInstance(&box);
    KXDesktopWindow window(m_folder.filePath(QStringLiteral("settings.ini")));
    TDataEditor2Ctrl* editor = ModuleLauncherInterface::returnMe()->dataEditor(0);
    QPointer<KXDataModelGeneric> table = KXTest::makeTable(3, 3, QStringLiteral("results"), QStringLiteral("closed")).release();
    editor->addGenericModel(table);
    editor->keepModel(table);
    auto* view = window.findChild<KXDataEditorView*>();
    emit view->tabCloseRequested(view->currentIndex());
    TMessageBox::setInstance(nullptr);
    QCOMPARE(box.questions, 1);
    QVERIFY(table.isNull());
    QVERIFY(editor->shownModels().isEmpty());
    QCOMPARE(editor->unsavedCount(), 0);
}

void TestDesktopWindow::closeWindow_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<bool>("table");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("closed");
    QTest::newRow("nothing-unsaved") << false << false << int(TMessageBox::Cancel) << 0 << true;
    QTest::newRow("equation-save") << true << false << int(TMessageBox::Save) << 1 << true;
    QTest::newRow("equation-discard") << true << false << int(TMessageBox::Discard) << 1 << true;
    QTest::newRow("equation-cancel") << true << true << int(TMessageBox::Cancel) << 1 << false;
    QTest::newRow("table-save") << false << true << int(TMessageBox::Save) << 1 << true;
    QTest::newRow("table-discard") << false << true << int(TMessageBox::Discard) << 1 << true;
    QTest::newRow("table-cancel") << false << true << int(TMessageBox::Cancel) << 1 << false;
    QTest::newRow("both-discarded") << true << true << int(TMessageBox::Discard) << 2 << true;
}

// Closing the window asks Save, Discard or Cancel for an edited equation, then for the computed
// tables not saved in the project; Save saves them, Cancel keeps the window as it was.
void TestDesktopWindow::closeWindow()
{
    QFETCH(bool, edited);
    QFETCH(bool, table);
    QFETCH(int, answer);
    QFETCH(int, questions);
    QFETCH(bool, closed);
    KXTest::AnsweringMessageBox box;
    box.saveAnswer = answer;
    TMessageBox::setInstance(&box);
    KXTest::ChoosingFileDialogs dialogs;
    dialogs.chosenPath = m_folder.filePath(QStringLiteral("equation.xml"));
    QFile::remove(dialogs.chosenPath);
    TFileDialogRunner::setInstance(&dialogs);
    auto computed = KXTest::makeTable(2, 2, QStringLiteral("results"), QStringLiteral("closing"));
    {
        KXDesktopWindow window(m_folder.filePath(QStringLiteral("settings.ini")));
        QVERIFY(window.openProject(m_folder.path()));
        KXEquationCtrl* module = window.newEquation();
        if (edited)
            QTest::keyClicks(window.findChild<KXEquationFormulaEdit*>(), QStringLiteral("i+j"));
        if (table)
            ModuleLauncherInterface::returnMe()->dataEditor(0)->addGenericModel(computed.get());
        // The table's name, asked when it is saved.
        QTimer::singleShot(0, &window, [] {
            if (auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget()))
                dialog->accept();
        });
        QCOMPARE(window.close(), closed);
        QCOMPARE(box.questions, questions);
        QCOMPARE(QFileInfo::exists(dialogs.chosenPath), edited && answer == TMessageBox::Save);
        QCOMPARE(QFileInfo::exists(m_folder.filePath(QStringLiteral("results/closing.csv"))),
                 table && answer == TMessageBox::Save);
        if (!closed && edited)
            QCOMPARE(module->model()->getFormula(), QStringLiteral("i+j"));
    }
    TMessageBox::setInstance(nullptr);
    TFileDialogRunner::setInstance(nullptr);
    QFile::remove(m_folder.filePath(QStringLiteral("results/closing.csv")));
    ProjectMgrInterface::returnMe()->closeProject();
}

void TestDesktopWindow::closeTab_data()
{
    QTest::addColumn<bool>("saved");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("tabsLeft");
    QTest::newRow("saved-asks-nothing") << true << int(TMessageBox::Cancel) << 0;
    QTest::newRow("save") << false << int(TMessageBox::Save) << 0;
    QTest::newRow("discard") << false << int(TMessageBox::Discard) << 0;
    QTest::newRow("cancel") << false << int(TMessageBox::Cancel) << 1;
}

// A result tab whose table is not saved in the project asks before it closes.
void TestDesktopWindow::closeTab()
{
    QFETCH(bool, saved);
    QFETCH(int, answer);
    QFETCH(int, tabsLeft);
    KXTest::AnsweringMessageBox box;
    box.saveAnswer = answer;
    TMessageBox::setInstance(&box);
    auto computed = KXTest::makeTable(2, 2, QStringLiteral("results"), QStringLiteral("tab"));
    KXDesktopWindow window(m_folder.filePath(QStringLiteral("settings.ini")));
    QVERIFY(window.openProject(m_folder.path()));
    TDataEditor2Ctrl* editor = ModuleLauncherInterface::returnMe()->dataEditor(0);
    editor->addGenericModel(computed.get());
    if (saved)
        editor->markSaved(computed.get());
    QTimer::singleShot(0, &window, [] {
        if (auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget()))
            dialog->accept();
    });
    auto* tabs = window.findChild<KXDataEditorView*>();
    emit tabs->tabCloseRequested(0);
    TMessageBox::setInstance(nullptr);
    QCOMPARE(box.questions, saved ? 0 : 1);
    QCOMPARE(tabs->count(), tabsLeft);
    QCOMPARE(editor->unsavedCount(), answer == TMessageBox::Save || saved ? 0 : 1);
    QFile::remove(m_folder.filePath(QStringLiteral("results/tab.csv")));
    ProjectMgrInterface::returnMe()->closeProject();
}

// After New equation typing goes into the formula, and Ctrl+S there saves the equation.
void TestDesktopWindow::newEquationFocusAndSaveKey()
{
    KXTest::ChoosingFileDialogs dialogs;
    dialogs.chosenPath = m_folder.filePath(QStringLiteral("keyed.xml"));
    TFileDialogRunner::setInstance(&dialogs);
    KXDesktopWindow window(m_folder.filePath(QStringLiteral("settings.ini")));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    KXEquationCtrl* module = window.newEquation();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("2*i"));
    QCOMPARE(module->model()->getFormula(), QStringLiteral("2*i"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    TFileDialogRunner::setInstance(nullptr);
    QCOMPARE(dialogs.shown, 1);
    QVERIFY(KXTest::contents(dialogs.chosenPath).contains("2*i"));
    QVERIFY(!module->isModified());
}

void TestDesktopWindow::moduleReading_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<bool>("load"); // otherwise a drop on the variable tree
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("report"); // the end of the last report; empty: Input1 is there
    const QByteArray table = ",a,b\nr1,1,2\nr2,3,4\n";
    QTest::newRow("drop") << table << false << false << "";
    QTest::newRow("drop-cancelled") << table << false << true << "Reading of read.table cancelled.";
    QTest::newRow("load") << table << true << false << "";
    QTest::newRow("load-cancelled") << table << true << true << "the equation is unchanged.";
    QTest::newRow("load-unreadable") << QByteArray("\"r1,1\n") << true << false << "a quoted field is not closed.";
}

// A dataset dropped on the page or named by an equation file is read on a worker, with the
// window's progress and Cancel; Cancel leaves the page as it was.
void TestDesktopWindow::moduleReading()
{
    QFETCH(QByteArray, csv);
    QFETCH(bool, load);
    QFETCH(bool, cancel);
    QFETCH(QString, report);
    QDir(m_folder.path()).mkpath(QStringLiteral("read"));
    QFile file(m_folder.filePath(QStringLiteral("read/table.csv")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(csv);
    file.close();
    KXTest::ChoosingFileDialogs dialogs;
    dialogs.chosenPath = m_folder.filePath(QStringLiteral("reads.xml"));
    TFileDialogRunner::setInstance(&dialogs);
    KXEquationModel saved;
    saved.setFormula(QStringLiteral("Input1(i,j)*2"));
    KXEquationVariableModel variables;
    auto named = KXTest::makeTable(1, 1, QStringLiteral("read"), QStringLiteral("table"));
    variables.addVariable(QStringLiteral("Input1"), named.get(), QString());
    QVERIFY(KXEquationDocument::save(&saved, &variables, dialogs.chosenPath));
    KXDesktopWindow window(m_folder.filePath(QStringLiteral("settings.ini")));
    QVERIFY(window.openProject(m_folder.path()));
    KXEquationCtrl* module = window.newEquation();
    if (load) {
        QVERIFY(module->loadEquation());
    } else {
        std::unique_ptr<QMimeData> payload(KXObject2Decoder::encodeObjects(
            {ProjectMgrInterface::returnMe()->database()->getDataset(QStringLiteral("read"), QStringLiteral("table"))}));
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, payload.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.findChild<KXEquationVariableEditor*>()->viewport(), &drop);
    }
    TFileDialogRunner::setInstance(nullptr);
    QVERIFY(!module->variableModelExist(QStringLiteral("Input1")));
    QVERIFY(!window.findChild<QProgressBar*>(QStringLiteral("readingProgress"))->isHidden());
    if (cancel)
        window.findChild<QPushButton*>(QStringLiteral("readingCancel"))->click();
    QTRY_VERIFY(window.findChild<QProgressBar*>(QStringLiteral("readingProgress"))->isHidden());
    QCOMPARE(module->variableModelExist(QStringLiteral("Input1")), report.isEmpty());
    QCOMPARE(module->model()->getFormula(), QString(load && !cancel ? "Input1(i,j)*2" : ""));
    if (!report.isEmpty())
        QTRY_VERIFY2(lastReport(window).endsWith(report), qPrintable(lastReport(window)));
    ProjectMgrInterface::returnMe()->closeProject();
}

void TestDesktopWindow::closePage_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::newRow("unedited-asks-nothing") << false << int(TMessageBox::Cancel) << true;
    QTest::newRow("save") << true << int(TMessageBox::Save) << true;
    QTest::newRow("discard") << true << int(TMessageBox::Discard) << true;
    QTest::newRow("cancel") << true << int(TMessageBox::Cancel) << false;
}

// The page's close button asks one question for an edited equation, none for an unedited one.
void TestDesktopWindow::closePage()
{
    QFETCH(bool, edited);
    QFETCH(int, answer);
    QFETCH(bool, closed);
    KXTest::AnsweringMessageBox box;
    box.saveAnswer = answer;
    TMessageBox::setInstance(&box);
    KXTest::ChoosingFileDialogs dialogs;
    dialogs.chosenPath = m_folder.filePath(QStringLiteral("closed.xml"));
    TFileDialogRunner::setInstance(&dialogs);
    KXDesktopWindow window(m_folder.filePath(QStringLiteral("settings.ini")));
    QPointer<KXEquationCtrl> module = window.newEquation();
    if (edited)
        QTest::keyClicks(window.findChild<KXEquationFormulaEdit*>(), QStringLiteral("i+j"));
    module->ribbonBar()->findChild<QToolButton*>(QStringLiteral("closeButton"))->click();
    // The bar hands the click on later; all questions come at once.
    QTRY_VERIFY(module.isNull() || box.questions > 0);
    TMessageBox::setInstance(nullptr);
    TFileDialogRunner::setInstance(nullptr);
    QCOMPARE(box.questions, edited ? 1 : 0);
    QCOMPARE(module.isNull(), closed);
}

// Every ribbon button names its keys in its tooltip, and those keys are taken somewhere in the window.
void TestDesktopWindow::ribbonShortcuts()
{
    KXDesktopWindow window(m_folder.filePath(QStringLiteral("settings.ini")));
    window.newEquation();
    QList<QKeySequence> taken;
    for (const QAction* action : window.findChildren<QAction*>())
        taken += action->shortcuts();
    for (const QShortcut* shortcut : window.findChildren<QShortcut*>())
        taken += shortcut->key();
    const QList<QToolButton*> buttons = window.findChildren<QToolButton*>();
    for (const QToolButton* shown : buttons)
        taken += shown->shortcut();
    int named = 0;
    for (const QToolButton* shown : buttons) {
        const QString tip = shown->toolTip();
        if (!tip.endsWith(QLatin1Char(')')))
            continue;
        ++named;
        const QKeySequence keys = QKeySequence::fromString(tip.section('(', -1).chopped(1), QKeySequence::NativeText);
        QVERIFY2(!keys.isEmpty() && taken.contains(keys), qPrintable(tip));
    }
    QCOMPARE(named, 10); // every button of the Home and equation bars
}

void TestDesktopWindow::windowFitsScreen_data()
{
    QTest::addColumn<QSize>("grown"); // beyond the available area
    QTest::addColumn<QPoint>("moved"); // from its top left
    QTest::newRow("size-of-screen") << QSize(0, 0) << QPoint(0, 0);
    QTest::newRow("larger-than-screen") << QSize(300, 200) << QPoint(0, 0);
    QTest::newRow("half-off-screen") << QSize(-200, -200) << QPoint(400, 300);
}

// Asked for the size of the screen, the window, frame included, stays on it.
void TestDesktopWindow::windowFitsScreen()
{
    QFETCH(QSize, grown);
    QFETCH(QPoint, moved);
    KXDesktopWindow window(m_folder.filePath(QStringLiteral("settings.ini")));
    const QRect area = KXScreenFit::availableArea(&window);
    window.resize(area.size() + grown);
    window.move(area.topLeft() + moved);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    KXScreenFit::keepInsideOnceFramed(&window);
    QVERIFY(window.frameGeometry() != window.geometry());
    QVERIFY(area.contains(window.frameGeometry()));
}

void TestDesktopWindow::homeNamesRunningModule_data()
{
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("text");
    QTest::newRow("running") << false << "Running: Equation editor.";
    QTest::newRow("closed") << true << "No module is running.";
}

// With the Home tab in front the module panel names the modules still running.
void TestDesktopWindow::homeNamesRunningModule()
{
    QFETCH(bool, closed);
    QFETCH(QString, text);
    KXDesktopWindow window(m_folder.filePath(QStringLiteral("settings.ini")));
    QPointer<KXEquationCtrl> module = window.newEquation();
    RibbonInterface* ribbon = RibbonInterface::returnMe();
    ribbon->setCurrentRibbonBar(ribbon->ribbonBars().value(0));
    if (closed)
        delete module.data();
    const QLabel* panel = window.findChild<QDockWidget*>(QStringLiteral("moduleDock"))->findChild<QLabel*>();
    QVERIFY2(panel->text().startsWith(text), qPrintable(panel->text()));
}

void TestDesktopWindow::saveTableEnabled_data()
{
    QTest::addColumn<bool>("project");
    QTest::addColumn<bool>("table");
    QTest::newRow("no-table") << true << false;
    QTest::newRow("table") << true << true;
    QTest::newRow("no-project") << false << true;
}

// "Save table to project" is offered only when there is a computed table and a project to hold it.
void TestDesktopWindow::saveTableEnabled()
{
    QFETCH(bool, project);
    QFETCH(bool, table);
    auto computed = KXTest::makeTable(2, 2, QStringLiteral("results"), QStringLiteral("offered"));
    KXDesktopWindow window(m_folder.filePath(QStringLiteral("settings.ini")));
    QVERIFY(!project || window.openProject(m_folder.path()));
    if (table)
        ModuleLauncherInterface::returnMe()->dataEditor(0)->addGenericModel(computed.get());
    const QList<QToolButton*> buttons = window.findChildren<QToolButton*>();
    const auto save = std::find_if(buttons.begin(), buttons.end(),
                                   [](QToolButton* b) { return b->text() == "Save table to project"; });
    QVERIFY(save != buttons.end());
    QCOMPARE((*save)->isEnabled(), project && table);
    ProjectMgrInterface::returnMe()->closeProject();
}

QTEST_MAIN(TestDesktopWindow)
#include "tst_desktopwindow.moc"
