#include "KXDataModel.h"
#include "KXRecentProjects.h"
#include "KXTestSupport.h"
#include "LodeDB.h"
#include "TDataEditor2Ctrl.h"

#include <QtTest>

class TestDataEditor : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void fileDialogs_data();
    void fileDialogs();
    void unsavedQuestion_data();
    void unsavedQuestion();
    void freeNames_data();
    void freeNames();
    void recentProjects_data();
    void recentProjects();
};

namespace {
/// Notes what a dialog offers and answers with a file name inside the folder it opens in.
class NotingDialogs final : public TFileDialogRunner
{
public:
    int run(TFileDialog& dialog) override
    {
        filters = dialog.nameFilters().join(QLatin1Char(';'));
        folder = dialog.directory().absolutePath();
        dialog.setFileNameComplete(QDir(folder).filePath(chosen));
        return 1;
    }
    QString chosen, filters, folder;
};

KXDataModelGeneric* namedTable(const QString& subdataset, QObject* owner)
{
    auto* table = new KXDataModelGeneric(owner);
    table->setName(QStringLiteral("sales"), subdataset);
    return table;
}
}

void TestDataEditor::cleanup()
{
    ProjectMgrInterface::returnMe()->closeProject();
    TFileDialogRunner::setInstance(nullptr);
    TMessageBox::setInstance(nullptr);
}

void TestDataEditor::fileDialogs_data()
{
    QTest::addColumn<bool>("saving");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("path");

    QTest::newRow("save-adds-suffix") << true << "Equation" << "margin2" << "margin2.xml";
    QTest::newRow("save-keeps-suffix") << true << "Equation" << "margin2.xml" << "margin2.xml";
    QTest::newRow("open-as-chosen") << false << "Equation" << "margin2" << "margin2";
    QTest::newRow("save-other-kind") << true << "Chart" << "chart" << "chart";
}

void TestDataEditor::fileDialogs()
{
    QFETCH(bool, saving);
    QFETCH(QString, key);
    QFETCH(QString, chosen);
    QFETCH(QString, path);

    QTemporaryDir project;
    QVERIFY(ProjectMgrInterface::returnMe()->openProject(project.path()));
    NotingDialogs dialogs;
    dialogs.chosen = chosen;
    TFileDialogRunner::setInstance(&dialogs);
    const std::unique_ptr<TFileDialog> dialog(saving ? static_cast<TFileDialog*>(new TFileDialogSave) : new TFileDialogOpen);
    dialog->setSpecifiedDir(key);
    QVERIFY(dialog->exec() != 0);
    QCOMPARE(dialogs.folder, QDir(project.path()).absolutePath());
    QCOMPARE(dialogs.filters.endsWith(QLatin1String("(*.xml)")), key == QLatin1String("Equation"));
    QCOMPARE(dialog->fileNameComplete(), QDir(project.path()).filePath(path));
}

void TestDataEditor::unsavedQuestion_data()
{
    QTest::addColumn<int>("tables");
    QTest::addColumn<int>("saved");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("mayClose");

    QTest::newRow("nothing-computed") << 0 << 0 << int(TMessageBox::Cancel) << 0 << true;
    QTest::newRow("unsaved-dropped") << 2 << 1 << int(TMessageBox::OK) << 1 << true;
    QTest::newRow("unsaved-kept") << 1 << 0 << int(TMessageBox::Cancel) << 1 << false;
}

void TestDataEditor::unsavedQuestion()
{
    QFETCH(int, tables);
    QFETCH(int, saved);
    QFETCH(int, answer);
    QFETCH(int, questions);
    QFETCH(bool, mayClose);

    KXTest::AnsweringMessageBox answers;
    answers.answer = answer;
    TMessageBox::setInstance(&answers);
    TDataEditor2Ctrl editor;
    for (int k = 0; k < tables; ++k) {
        editor.addGenericModel(namedTable(QString::number(k), &editor));
        if (k < saved)
            editor.markSaved(editor.shownModels().last());
    }
    QCOMPARE(editor.unsavedCount(), tables - saved);
    QCOMPARE(TMessageBox::confirmDiscardUnsaved(editor.unsavedCount()), mayClose);
    QCOMPARE(answers.questions, questions);
}

void TestDataEditor::freeNames_data()
{
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("given");

    QTest::newRow("free") << QStringList{"q1"} << QStringList() << "q1_2" << "q1_2";
    QTest::newRow("shown-once") << QStringList{"q1_2"} << QStringList() << "q1_2" << "q1_3";
    QTest::newRow("shown-and-stored") << QStringList{"q1_2"} << QStringList{"q1_3"} << "q1_2" << "q1_4";
    QTest::newRow("unnumbered") << QStringList() << QStringList{"total"} << "total" << "total_2";
}

void TestDataEditor::freeNames()
{
    QFETCH(QStringList, shown);
    QFETCH(QStringList, stored);
    QFETCH(QString, name);
    QFETCH(QString, given);

    QTemporaryDir project;
    for (const QString& subdataset : stored)
        QVERIFY(KXTest::writeFile(project.filePath(QStringLiteral("sales/") + subdataset + QStringLiteral(".csv")), ""));
    QVERIFY(ProjectMgrInterface::returnMe()->openProject(project.path()));
    TDataEditor2Ctrl editor;
    for (const QString& subdataset : shown + QStringList{name})
        editor.addGenericModel(namedTable(subdataset, &editor));
    QString dataset, subdataset;
    editor.shownModels().last()->getName(dataset, subdataset);
    QCOMPARE(subdataset, given);
}

void TestDataEditor::recentProjects_data()
{
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<QStringList>("recent");

    QTest::newRow("reopened-moves-up") << QStringList{"a", "b", "a"} << QStringList{"a", "b"};
    QTest::newRow("deleted-left-out") << QStringList{"a", "gone", "b"} << QStringList{"b", "a"};
    QTest::newRow("oldest-dropped") << QString("123456789").split("", Qt::SkipEmptyParts) << QString("98765432").split("", Qt::SkipEmptyParts);
}

void TestDataEditor::recentProjects()
{
    QFETCH(QStringList, opened);
    QFETCH(QStringList, recent);

    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("settings.ini"));
    {
        QSettings settings(file, QSettings::IniFormat);
        KXRecentProjects projects(settings);
        for (const QString& name : opened) {
            QVERIFY(QDir(folder.path()).mkpath(name));
            projects.add(folder.filePath(name));
        }
    }
    QVERIFY(QDir(folder.filePath(QStringLiteral("gone"))).removeRecursively());
    QSettings settings(file, QSettings::IniFormat);
    QStringList names;
    for (const QString& path : KXRecentProjects(settings).folders())
        names.append(QDir(path).dirName());
    QCOMPARE(names, recent);
}

QTEST_MAIN(TestDataEditor)
#include "tst_dataeditor.moc"
