#include "KXDataModel.h"
#include "KXDesktopPanels.h"
#include "KXDesktopWindow.h"
#include "KXTestSupport.h"
#include "LodeDB.h"

#include <QApplication>
#include <QInputDialog>
#include <QtTest>

/// The desktop window's project messages and its saving of a computed table into the project.
class TestDesktopWindow : public QObject
{
    Q_OBJECT
private slots:
    void projectOpened_data();
    void projectOpened();
    void saveTable_data();
    void saveTable();

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

QTEST_MAIN(TestDesktopWindow)
#include "tst_desktopwindow.moc"
