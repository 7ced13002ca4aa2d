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
#include "KXTestSupport.h"
#include "LodeDB.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QDockWidget>
#include <QLabel>
#include <QShortcut>
#include <QToolButton>
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
    void reading_data();
    void reading();
    void closedTableReleased();
    void closing_data();
    void closing();
    void newEquationFocusAndSaveKey();
    void ribbonShortcuts();
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

// A stored dataset is read on a worker, with the window's progress and Cancel, whether it is shown,
// given to a new equation, dropped on the page or named by an equation file: right after the request
// nothing is there yet; then the table arrives, or nothing when Cancel was pressed.
void TestDesktopWindow::reading_data()
{
    QTest::addColumn<QString>("how"); // shown, module (a new equation's input), drop, load
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("report"); // the end of the last report; empty: read
    const QByteArray table = ",a,b\nr1,1,2\nr2,3,4\n";
    const QString cancelled = QStringLiteral("Reading of read.table cancelled.");
    QTest::newRow("shown") << "shown" << table << false << "";
    QTest::newRow("shown-cancelled") << "shown" << table << true << cancelled;
    QTest::newRow("module") << "module" << table << false << "";
    QTest::newRow("module-cancelled") << "module" << table << true << cancelled;
    QTest::newRow("drop") << "drop" << table << false << "";
    QTest::newRow("drop-cancelled") << "drop" << table << true << cancelled;
    QTest::newRow("load") << "load" << table << false << "";
    QTest::newRow("load-cancelled") << "load" << table << true << "the equation is unchanged.";
    QTest::newRow("load-unreadable") << "load" << QByteArray("\"r1,1\n") << false << "a quoted field is not closed.";
}

void TestDesktopWindow::reading()
{
    QFETCH(QString, how);
    QFETCH(QByteArray, csv);
    QFETCH(bool, cancel);
    QFETCH(QString, report);
    QVERIFY(KXTest::writeFile(m_folder.filePath(QStringLiteral("read/table.csv")), csv));
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
    auto* editor = window.findChild<KXDataEditorView*>();
    auto* panel = window.findChild<KXProjectPanel*>();
    int ready = 0;
    KXEquationCtrl* module = nullptr;
    if (how == "shown" || how == "module")
        QVERIFY(window.selectDataset(QStringLiteral("read.table")));
    if (how == "shown") {
        emit panel->itemActivated(panel->currentItem());
    } else {
        module = window.newEquation([&ready, how](KXEquationCtrl*) { ready += how == "module"; });
    }
    if (how == "load") {
        QVERIFY(module->loadEquation());
    } else if (how == "drop") {
        std::unique_ptr<QMimeData> payload(KXObject2Decoder::encodeObjects(
            {ProjectMgrInterface::returnMe()->database()->getDataset(QStringLiteral("read"), QStringLiteral("table"))}));
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, payload.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.findChild<KXEquationVariableEditor*>()->viewport(), &drop);
    }
    TFileDialogRunner::setInstance(nullptr);
    QCOMPARE(editor->count(), 0);
    QVERIFY(!module || !module->variableModelExist(QStringLiteral("Input1")));
    QVERIFY(!window.findChild<QProgressBar*>(QStringLiteral("readingProgress"))->isHidden());
    if (cancel)
        window.findChild<QPushButton*>(QStringLiteral("readingCancel"))->click();
    QTRY_VERIFY(window.findChild<QProgressBar*>(QStringLiteral("readingProgress"))->isHidden());
    QCOMPARE(editor->count(), how == "shown" && !cancel ? 1 : 0);
    QCOMPARE(ready, how == "module" && !cancel ? 1 : 0);
    QCOMPARE(module && module->variableModelExist(QStringLiteral("Input1")), how != "shown" && report.isEmpty());
    QCOMPARE(module ? module->model()->getFormula() : QString(), QString(how == "load" && !cancel ? "Input1(i,j)*2" : ""));
    if (!report.isEmpty())
        QTRY_VERIFY2(lastReport(window).endsWith(report), qPrintable(lastReport(window)));
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

void TestDesktopWindow::closing_data()
{
    QTest::addColumn<QString>("what"); // the window, the first result tab or the equation page
    QTest::addColumn<bool>("edited"); // the equation
    QTest::addColumn<bool>("unsaved"); // the computed table; otherwise it is saved in the project
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("closed");
    const int save = TMessageBox::Save, discard = TMessageBox::Discard, cancel = TMessageBox::Cancel;
    QTest::newRow("window-nothing-unsaved") << "window" << false << false << cancel << 0 << true;
    QTest::newRow("window-equation-save") << "window" << true << false << save << 1 << true;
    QTest::newRow("window-equation-cancel") << "window" << true << true << cancel << 1 << false;
    QTest::newRow("window-table-save") << "window" << false << true << save << 1 << true;
    QTest::newRow("window-table-cancel") << "window" << false << true << cancel << 1 << false;
    QTest::newRow("window-both-discarded") << "window" << true << true << discard << 2 << true;
    QTest::newRow("tab-saved") << "tab" << false << false << cancel << 0 << true;
    QTest::newRow("tab-save") << "tab" << false << true << save << 1 << true;
    QTest::newRow("tab-discard") << "tab" << false << true << discard << 1 << true;
    QTest::newRow("tab-cancel") << "tab" << false << true << cancel << 1 << false;
    // What the page asks is the module's own question; the window adds none.
    QTest::newRow("page-unedited") << "page" << false << true << cancel << 0 << true;
}

// Closing asks Save, Discard or Cancel for an edited equation, then for the computed tables not
// saved in the project; Save saves them, Cancel keeps everything as it was.
void TestDesktopWindow::closing()
{
    QFETCH(QString, what);
    QFETCH(bool, edited);
    QFETCH(bool, unsaved);
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
    const QString tableFile = m_folder.filePath(QStringLiteral("results/closing.csv"));
    auto computed = KXTest::makeTable(2, 2, QStringLiteral("results"), QStringLiteral("closing"));
    {
        KXDesktopWindow window(m_folder.filePath(QStringLiteral("settings.ini")));
        QVERIFY(window.openProject(m_folder.path()));
        QPointer<KXEquationCtrl> module = window.newEquation();
        if (edited)
            QTest::keyClicks(window.findChild<KXEquationFormulaEdit*>(), QStringLiteral("i+j"));
        TDataEditor2Ctrl* editor = ModuleLauncherInterface::returnMe()->dataEditor(0);
        editor->addGenericModel(computed.get());
        if (!unsaved)
            editor->markSaved(computed.get());
        // The table's name, asked when it is saved.
        QTimer::singleShot(0, &window, [] {
            if (auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget()))
                dialog->accept();
        });
        auto* tabs = window.findChild<KXDataEditorView*>();
        bool isClosed = false;
        if (what == "window") {
            isClosed = window.close();
        } else if (what == "tab") {
            emit tabs->tabCloseRequested(0);
            isClosed = tabs->count() == 0;
            QCOMPARE(editor->unsavedCount(), unsaved && answer != TMessageBox::Save ? 1 : 0);
        } else {
            module->ribbonBar()->findChild<QToolButton*>(QStringLiteral("closeButton"))->click();
            // The bar hands the click on later.
            QTRY_VERIFY(module.isNull() || box.questions > 0);
            isClosed = module.isNull();
        }
        QCOMPARE(isClosed, closed);
        QCOMPARE(box.questions, questions);
        QCOMPARE(QFileInfo::exists(dialogs.chosenPath), edited && answer == TMessageBox::Save);
        QCOMPARE(QFileInfo::exists(tableFile), unsaved && answer == TMessageBox::Save);
        if (!closed && edited)
            QCOMPARE(module->model()->getFormula(), QStringLiteral("i+j"));
    }
    TMessageBox::setInstance(nullptr);
    TFileDialogRunner::setInstance(nullptr);
    QFile::remove(tableFile);
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

// With the Home tab in front the module panel names the modules still running, not Home itself.
void TestDesktopWindow::homeNamesRunningModule()
{
    KXDesktopWindow window(m_folder.filePath(QStringLiteral("settings.ini")));
    QPointer<KXEquationCtrl> module = window.newEquation();
    const QString title = module->ribbonBar()->windowTitle();
    RibbonInterface* ribbon = RibbonInterface::returnMe();
    KXRibbonBar* home = ribbon->ribbonBars().value(0);
    ribbon->setCurrentRibbonBar(home);
    const QLabel* panel = window.findChild<QDockWidget*>(QStringLiteral("moduleDock"))->findChild<QLabel*>();
    const QString running = panel->text();
    QVERIFY2(running.contains(title) && !running.contains(home->windowTitle()), qPrintable(running));
    delete module.data();
    QVERIFY2(!panel->text().contains(title) && panel->text() != running, qPrintable(panel->text()));
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
