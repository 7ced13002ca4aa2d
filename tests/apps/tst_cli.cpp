#include "KXTestSupport.h"

#include <QtTest>

#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using KXTest::contents;
using KXTest::writeFile;

namespace {
struct Run { int exitCode; QString out; QString err; };

Run runTool(const QStringList& arguments, const QString& locale = QStringLiteral("C.UTF-8"),
            const QString& standardOutput = QString())
{
    QProcess process;
    if (!standardOutput.isEmpty())
        process.setStandardOutputFile(standardOutput);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), locale);
    environment.insert(QStringLiteral("LANG"), locale);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KXEQUATION_PROGRAM), arguments);
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

}

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void eval_data();
    void eval();
    void failedComputeKeepsOutput();
    void interrupt_data();
    void interrupt();
    void exitStatus_data();
    void exitStatus();
    void unwritableFolder();
    void saveThenRun();

private:
    QTemporaryDir m_project;
    QString m_table;
};

void TestCli::initTestCase()
{
    QVERIFY(m_project.isValid());
    m_table = m_project.filePath(QStringLiteral("sales/q1.csv"));
    QVERIFY(writeFile(m_table, "item,price,count\npen,1.5,10\nink,\"3,5\",\npad,2,\"été\"\n"));
}

void TestCli::eval_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err"); // null: not checked
    QTest::addColumn<int>("exitCode");

    const QString table = QStringLiteral("Input1=") + m_table;
    QTest::newRow("comparison") << QStringList{"eval", "2*(x+1)>=3", "--const", "x=1"} << "bool true\n" << QString() << 0;
    QTest::newRow("raised") << QStringList{"eval", "3+-2"} << "raised Invalid syntax: 3+\n" << QString() << 2;
    QTest::newRow("negative-zero") << QStringList{"eval", "--const", "z=0", "--", "-z"} << "double -0\n" << QString() << 0;
    QTest::newRow("text") << QStringList{"eval", "\"a b\"+1"} << "text a b1\n" << QString() << 0;
    QTest::newRow("error-value-fr") << QStringList{"eval", "--lang=fr", "(1<2)+1"}
                                    << "error Condition invalide pour '+' : le type des expressions à évaluer est incorrect\n" << QString() << 1;
    QTest::newRow("cell") << QStringList{"eval", "--cell", "3,4", "2*i+j"} << "double 10\n" << QString() << 0;
    QTest::newRow("describe") << QStringList{"eval", "--describe", "(i+1)*2"}
                              << "form: i+1*2\ndepends-on-cell: true\nint -9999\n" << QString() << 0;
    QTest::newRow("dataset-count") << QStringList{"eval", "--dataset", table, "NR_Input1*10+NC_Input1"}
                                   << "double 32\n" << QString() << 0;
    QTest::newRow("var-negative-mean") << QStringList{"eval", "var(x,1,3,x-10)"} << "error Invalid syntax: x-10-\n" << "error: Invalid syntax: x-10-\n" << 1;
    QTest::newRow("selection-list") << QStringList{"eval", "--dataset", table, "[price|pen:count|ink]"}
                                    << "list [double 1.5; double 10; text 3,5; invalid]\n" << QString() << 0;
    QTest::newRow("too-deep-functions") << QStringList{"eval", QStringLiteral("sqrt(").repeated(20000) + "1" + QStringLiteral(")").repeated(20000)}
                                        << "raised Expression too complex\n" << QString() << 2;
    QTest::newRow("grid") << QStringList{"compute", "--formula", "2*i+j", "--last-row", "3", "--last-col", "2"}
                          << ",,\n,3,4\n,5,6\n,7,8\n" << "" << 0;
    QTest::newRow("constant") << QStringList{"compute", "--formula", "\"a,b\"", "--last-row=2", "--last-col=1"}
                              << ",\n,\"a,b\"\n,\"a,b\"\n" << "" << 0;
    QTest::newRow("names") << QStringList{"compute", "--formula", "i*j", "--last-row", "2", "--last-col", "2",
                                          "--row-name", "\"r\"+i", "--col-name", "\"c\"+j"}
                           << ",c1,c2\nr1,1,2\nr2,2,4\n" << "" << 0;
    QTest::newRow("dataset-range-and-headers")
        << QStringList{"compute", "--dataset", m_table, "--formula", "Input1(i,j)", "--header-dataset", "Input1"}
        << ",price,count\npen,1.5,10\nink,3.5,\npad,2,été\n" << "" << 0;
    QTest::newRow("precision-full") << QStringList{"compute", "--formula", "i/3", "--last-row=1", "--last-col=1",
                                                   "--precision", "full"}
                                    << ",\n,0.3333333333333333\n" << "" << 0;
    QTest::newRow("no-value-marker")
        << QStringList{"compute", "--dataset", m_table, "--formula", "Input1(i,2)", "--last-col", "1",
                       "--header-dataset", "Input1", "--headers", "no", "--no-value", "marker"}
        << ",\n,10\n,-9999\n,été\n" << "" << 0;
    QTest::newRow("unreadable") << QStringList{"compute", "--formula", "3+-2", "--last-row", "1", "--last-col", "1"}
                                << "" << "error: Invalid syntax: 3+\n3+-2\n^^\n" << 1;
    QTest::newRow("unreadable-name") << QStringList{"compute", "--formula", "i", "--last-row", "1", "--last-col", "1",
                                                    "--col-name", "\"c\" +\t(j"}
                                     << "" << "error: Invalid parenthesis count\n\"c\" +\t(j\n     \t^\n" << 1;
    QTest::newRow("empty-range") << QStringList{"compute", "--formula", "i", "--first-row", "3", "--last-row", "2",
                                                "--last-col", "1"}
                                 << "" << "error: Invalid working range\n" << 1;
    QTest::newRow("failing-cell") << QStringList{"compute", "--formula", "if(i>1;\"a\"*i;i)", "--last-row", "2",
                                                 "--last-col", "1"}
                                  << "" << "error: Invalid computing formula:Invalid syntax for '*':a (expression "
                                           "must be numeric)\nnote: row 2, column 1\n" << 1;
    QTest::newRow("run-missing-file") << QStringList{"run", "/nonexistent/e.xml"} << ""
                                      << "kxequation: Cannot open the file /nonexistent/e.xml: No such file or directory\n"
                                      << 66;
}

void TestCli::eval()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(int, exitCode);
    const Run run = runTool(arguments);
    QCOMPARE(run.out, out);
    QCOMPARE(run.exitCode, exitCode);
    if (!err.isNull())
        QCOMPARE(run.err, err);
    const Run inC = runTool(arguments, QStringLiteral("C"));
    QCOMPARE(inC.out, out);
}

void TestCli::failedComputeKeepsOutput()
{
    const QString output = m_project.filePath(QStringLiteral("kept.csv"));
    QVERIFY(writeFile(output, "precious\n"));
    QCOMPARE(runTool({"compute", "--formula", "\"a\"-i", "--last-row", "2", "--last-col", "2", "--output", output}).exitCode, 1);
    QCOMPARE(contents(output), QByteArray("precious\n"));
    // No output and no temporary file is left after a failure.
    const QString equation = m_project.filePath(QStringLiteral("kept.xml"));
    QVERIFY(QFile::copy(output, equation));
    QCOMPARE(runTool({"compute", "--formula", "\"a\"-i", "--last-row", "2", "--last-col", "2", "--save", equation}).exitCode, 1);
    QCOMPARE(contents(equation), QByteArray("precious\n"));
    // A read-only file is refused even for root, and keeps its contents and mode.
    const QString readOnly = m_project.filePath(QStringLiteral("read-only.csv"));
    QVERIFY(QFile::copy(output, readOnly) && QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadOther));
    const Run refused = runTool({"compute", "--formula", "i", "--last-row", "1", "--last-col", "1", "--output", readOnly});
    QCOMPARE(refused.exitCode, 73);
    QVERIFY2(refused.err.contains(readOnly + ": it is read-only"), qPrintable(refused.err));
    QCOMPARE(contents(readOnly), QByteArray("precious\n"));
    struct stat status;
    QVERIFY(::stat(QFile::encodeName(readOnly).constData(), &status) == 0 && (status.st_mode & 07777) == 0404);
    QCOMPARE(runTool({"compute", "--formula", "i", "--last-row", "1", "--last-col", "1", "--output", output}).exitCode, 0);
    QCOMPARE(contents(output), QByteArray(",\n,1\n"));
}

void TestCli::interrupt_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QByteArray>("existing"); // empty: no output file beforehand

    QTest::newRow("long-cell-new-output") << "fast" << QByteArray();
    QTest::newRow("long-cell-existing-output") << "reference" << QByteArray("precious\n");
}

// Ctrl-C: exit status 130, and the output file neither created nor changed.
void TestCli::interrupt()
{
    QFETCH(QString, engine);
    QFETCH(QByteArray, existing);

    QTemporaryDir folder;
    const QString output = folder.filePath(QStringLiteral("out.csv"));
    QVERIFY(existing.isEmpty() || writeFile(output, existing));
    QProcess process;
    process.start(QStringLiteral(KXEQUATION_PROGRAM), {"compute", "--engine", engine, "--formula", "sum(k,1,1e9,k*i)",
                                                       "--last-row", "4000", "--last-col", "4000", "--output", output});
    QVERIFY(process.waitForStarted());
    // Interrupt once the tool catches SIGINT (signal 2: bit 1 of the caught mask).
    const QString status = QStringLiteral("/proc/%1/status").arg(process.processId());
    auto catchesInterrupt = [&status] {
        QFile file(status);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith("SigCgt:"))
                return (line.mid(7).trimmed().toULongLong(nullptr, 16) & 2) != 0;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(catchesInterrupt(), 20000);
    QTest::qWait(200);
    QCOMPARE(process.state(), QProcess::Running);
    kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 130);
    QCOMPARE(QFile::exists(output), !existing.isEmpty());
    QCOMPARE(contents(output), existing);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), existing.isEmpty() ? 0 : 1);
}

void TestCli::exitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const QString folder = m_project.path();
    const QString bad = m_project.filePath(QStringLiteral("broken/q.csv"));
    QVERIFY(writeFile(bad, ",a\nr1,\"open\n"));
    const QString equation = m_project.filePath(QStringLiteral("broken.xml"));
    const QStringList compute = {"compute", "--formula", "i", "--last-row", "1", "--last-col", "1"};
    QTest::newRow("csv-missing") << QStringList{"eval", "--dataset", "A=" + folder + "/none.csv", "1"} << 66
                                 << "kxequation: Cannot open the file " + folder + "/none.csv: No such file or directory\n";
    QTest::newRow("csv-malformed") << QStringList{"eval", "--dataset", "A=" + bad, "1"} << 65
                                   << "kxequation: " + bad + ", line 2: a quoted field is not closed.\n";
    QTest::newRow("equation-malformed") << QStringList{"run", bad} << 65 << "kxequation: " + bad + ", line 1: ";
    QTest::newRow("project-missing") << QStringList{"run", m_table, "--project", folder + "/none"} << 66
                                     << "kxequation: cannot open the project folder " + folder + "/none: No such file or directory\n";
    QTest::newRow("output-folder-missing") << compute + QStringList{"--output", folder + "/none/t.csv"} << 73
                                           << "kxequation: Cannot create the file " + folder + "/none/t.csv: No such file or directory\n";
    QTest::newRow("range-field") << QStringList{"compute", "--formula", "i", "--last-row", "foo", "--last-col", "1"} << 1
                                 << "error: --last-row: Invalid syntax: foo\n";
    QTest::newRow("unknown-command") << QStringList{"evaluate", "1"} << 64 << "unknown command evaluate";
    QTest::newRow("no-formula") << QStringList{"eval"} << 64 << "needs a formula";
    QTest::newRow("minus-without-separator") << QStringList{"eval", "-5"} << 0 << "";
    QTest::newRow("bad-constant") << QStringList{"eval", "--const", "x=abc", "x"} << 64 << "not a number";
    QTest::newRow("constant-without-name") << QStringList{"eval", "--const", "=1", "1"} << 64 << "expects NAME=VALUE";
    QTest::newRow("bad-language") << QStringList{"eval", "--lang", "de", "1"} << 64 << "en or fr";
    QTest::newRow("plot-not-a-picture") << QStringList{"compute", "--formula", "1", "--plot", "chart.pdf"} << 64 << "";
    QTest::newRow("bad-engine") << QStringList{"compute", "--engine", "slow", "--formula", "1"} << 64 << "";
    QTest::newRow("unknown-option") << QStringList{"eval", "--fast", "1"} << 64 << "unknown option --fast";
    QTest::newRow("repeated-messages") << QStringList{"compute", "--engine", "reference", "--formula", "var(x,1,3,x-10)+i", "--last-row", "3",
                                                      "--last-col", "2"}
                                       << 1 << "error: Invalid syntax: x-10- (repeated ";
    QTest::newRow("standard-output-full") << compute << 74
                                          << "kxequation: Cannot write to standard output: No space left on device\n";
    QTest::newRow("device-output-full") << compute + QStringList{"--output", "@full"} << 74 << "No space left on device\n";
    QTest::newRow("dataset-malformed-in-project") << QStringList{"run", equation, "--project", folder} << 65
                                                  << "kxequation: " + bad + ", line 2: a quoted field is not closed.\n";
    // An equation over broken.q, saved while the table could still be read.
    QVERIFY(QFile::copy(bad, bad + ".bak") && QFile::remove(bad) && QFile::copy(m_table, bad));
    QCOMPARE(runTool({"compute", "--dataset", bad, "--formula", "1", "--save", equation}).exitCode, 0);
    QVERIFY(QFile::remove(bad) && QFile::rename(bad + ".bak", bad));
}

void TestCli::exitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    // A full disk, as a device node of our own in a scratch folder: the system's nodes stay untouched.
    QTemporaryDir scratch;
    const QString full = scratch.filePath(QStringLiteral("full"));
    const bool toStandardOutput = QByteArray(QTest::currentDataTag()) == "standard-output-full";
    if (toStandardOutput || arguments.contains(QStringLiteral("@full"))) {
        if (::geteuid() != 0)
            QSKIP("Only root makes a device node");
        QCOMPARE(::mknod(QFile::encodeName(full).constData(), S_IFCHR | 0666, makedev(1, 7)), 0);
        arguments.replaceInStrings(QStringLiteral("@full"), full);
    }
    const Run run = runTool(arguments, QStringLiteral("C.UTF-8"), toStandardOutput ? full : QString());
    // A device is written into, never replaced by a file.
    struct stat status;
    QVERIFY(!QFile::exists(full) || (::lstat(QFile::encodeName(full).constData(), &status) == 0 && S_ISCHR(status.st_mode)));
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.endsWith(message) || run.err.contains(message), qPrintable(run.err));
    QCOMPARE(run.err.contains(QStringLiteral("usage:")), exitCode == 64);
}

// A folder the user may not write in: no output and no temporary file (as nobody when root).
void TestCli::unwritableFolder()
{
    QTemporaryDir folder;
    const QString locked = folder.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkdir(locked));
    const QFile::Permissions readAndEnter = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                                            | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(folder.path(), readAndEnter) && QFile::setPermissions(locked, readAndEnter));
    QStringList command = KXTest::unprivileged(QStringLiteral(KXEQUATION_PROGRAM),
                                               {"compute", "--formula", "i", "--last-row", "1", "--last-col", "1",
                                                "--output", locked + "/t.csv"});
    QProcess process;
    process.start(command.takeFirst(), command);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 73);
    QVERIFY2(process.readAllStandardError().contains("Permission denied"), "no reason given");
    QVERIFY(QDir(locked).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    QFile::setPermissions(folder.path(), readAndEnter | QFile::WriteOwner);
}

void TestCli::saveThenRun()
{
    const QString equation = m_project.filePath(QStringLiteral("total.xml"));
    const Run computed = runTool({"compute", "--dataset", m_table, "--const", "tax=2", "--formula",
                                  "Input1(i,1)*tax", "--last-col", "1", "--header-dataset", "Input1", "--save", equation});
    QCOMPARE(computed.exitCode, 0);
    QCOMPARE(computed.out, QStringLiteral(",price\npen,3\nink,7\npad,4\n"));
    const Run rerun = runTool({"run", equation, "--project", m_project.path()});
    QCOMPARE(rerun.exitCode, 0);
    QCOMPARE(rerun.out, computed.out);

    // Elsewhere the dataset is not found: the user is told which one, then the range fails to read.
    const Run lost = runTool({"run", equation, "--project", QDir::tempPath()});
    QCOMPARE(lost.exitCode, 1);
    QVERIFY2(lost.err.contains(QStringLiteral("The dataset sales.q1 is not in the project folder ") + QDir::tempPath()),
             qPrintable(lost.err));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
