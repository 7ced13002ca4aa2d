#include "KXTestSupport.h"

#include <QtTest>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using KXTest::contents;
using KXTest::writeFile;

namespace {
struct Run { int exitCode; QString out; QString err; bool crashed; };

/// Arguments split at blanks outside double quotes; "" is an empty argument.
QStringList splitArguments(const QString& line)
{
    QStringList arguments;
    const QRegularExpression argument(QStringLiteral("(?:\"[^\"]*\"|[^ \"])+"));
    for (QRegularExpressionMatchIterator it = argument.globalMatch(line); it.hasNext();)
        arguments.append(it.next().captured().remove(QLatin1Char('"')));
    return arguments;
}

/// Runs a program, the command line tool unless named, in locale; unset: variables taken out of its environment.
Run runTool(const QStringList& arguments, const QString& locale = QStringLiteral("C.UTF-8"),
            const QString& standardOutput = QString(), const QStringList& unset = {},
            const QString& program = QStringLiteral(KXEQUATION_PROGRAM))
{
    QProcess process;
    if (!standardOutput.isEmpty())
        process.setStandardOutputFile(standardOutput);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), locale);
    environment.insert(QStringLiteral("LANG"), locale);
    for (const QString& name : unset)
        environment.remove(name);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError()), process.exitStatus() != QProcess::NormalExit};
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
    void plotIsQuiet();
    void exitStatus();
    void unwritableFolder();
    void saveThenRun();
    void seedRepeats();
    void regression_data();
    void regression();
    void generatedInputs_data();
    void generatedInputs();
    void outputRules_data();
    void outputRules();
    void collidingLinks();
    void standardOutputName_data();
    void standardOutputName();
    void abandonedTemporaries();
    void desktopExitStatus_data();
    void desktopExitStatus();

private:
    QTemporaryDir m_project;
    QString m_table;
    QTemporaryDir m_corpus; // a copy of the regression corpus, which a planted fault may overwrite
};

void TestCli::initTestCase()
{
    QVERIFY(m_project.isValid() && m_corpus.isValid());
    const QDir source(QStringLiteral(KXREGRESSION_DIR));
    QDirIterator files(source.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString copy = m_corpus.filePath(source.relativeFilePath(files.next()));
        QVERIFY(QDir().mkpath(QFileInfo(copy).path()) && QFile::copy(files.filePath(), copy));
    }
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
    QTest::newRow("error-value-fr") << QStringList{"eval", "--lang=fr", "(1<2)+1"}
                                    << "error Condition invalide pour '+' : le type des expressions à évaluer est incorrect\n" << QString() << 1;
    QTest::newRow("cell") << QStringList{"eval", "--cell", "3,4", "2*i+j"} << "double 10\n" << QString() << 0;
    // The same seed draws the same number, in every version of the program.
    QTest::newRow("seed-zero") << QStringList{"eval", "--seed", "0", "rand()"} << "int 8438\n" << "" << 0;
    QTest::newRow("seed-largest") << QStringList{"eval", "--seed=18446744073709551615", "rand()"} << "int 21618\n" << "" << 0;
    QTest::newRow("fresh-seed-without-rand") << QStringList{"eval", "1"} << "double 1\n" << "" << 0;
    QTest::newRow("final-separator") << QStringList{"eval", "2*i", "--cell", "3,4", "--"} << "double 6\n" << QString() << 0;
    QTest::newRow("describe") << QStringList{"eval", "--describe", "(i+1)*2"}
                              << "form: i+1*2\ndepends-on-cell: true\nint -9999\n" << QString() << 0;
    QTest::newRow("dataset-count") << QStringList{"eval", "--dataset", table, "NR_Input1*10+NC_Input1"}
                                   << "double 32\n" << QString() << 0;
    QTest::newRow("selection-list") << QStringList{"eval", "--dataset", table, "[price|pen:count|ink]"}
                                    << "list [double 1.5; double 10; text 3,5; invalid]\n" << QString() << 0;
    QTest::newRow("too-deep-functions") << QStringList{"eval", QStringLiteral("sqrt(").repeated(20000) + "1" + QStringLiteral(")").repeated(20000)}
                                        << "raised Expression too complex\n" << QString() << 2;
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
    QTest::newRow("hint-near-dataset")
        << QStringList{"compute", "--dataset", m_table, "--formula", "Imput1(i,1)"} << ""
        << "error: Invalid syntax: Imput1(i,1)\nImput1(i,1)\n^^^^^^^^^^^\n"
           "note: `Imput1` is not a function or dataset; did you mean `Input1`?\n" << 1;
    QTest::newRow("hint-unknown-name") << QStringList{"eval", "x+1"} << "raised Invalid syntax: x\n"
                                       << "x+1\n^\nnote: `x` is not a constant, dataset or function\n" << 2;
    QTest::newRow("unreadable-name") << QStringList{"compute", "--formula", "i", "--last-row", "1", "--last-col", "1",
                                                    "--col-name", "\"c\" +\t(j"}
                                     << "" << "error: Invalid parenthesis count\n\"c\" +\t(j\n     \t^\n" << 1;
    QTest::newRow("failing-cell") << QStringList{"compute", "--formula", "if(i>1;\"a\"*i;i)", "--last-row", "2",
                                                 "--last-col", "1"}
                                  << "" << "error: Invalid computing formula:Invalid syntax for '*':a (expression "
                                           "must be numeric)\nnote: row 2, column 1\n" << 1;
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
    // A read-only file is refused even for root, and keeps its contents.
    const QString readOnly = m_project.filePath(QStringLiteral("read-only.csv"));
    QVERIFY(QFile::copy(output, readOnly) && QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadOther));
    const Run refused = runTool({"compute", "--formula", "i", "--last-row", "1", "--last-col", "1", "--output", readOnly});
    QCOMPARE(refused.exitCode, 73);
    QVERIFY2(refused.err.contains(readOnly + ": it is read-only"), qPrintable(refused.err));
    QCOMPARE(contents(readOnly), QByteArray("precious\n"));
}

void TestCli::interrupt_data()
{
    QTest::addColumn<QString>("command"); // compute, or eval
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QByteArray>("existing"); // empty: no output file beforehand
    QTest::addColumn<int>("signal");

    QTest::newRow("long-cell-new-output") << "compute" << "fast" << QByteArray() << SIGINT;
    QTest::newRow("long-cell-existing-output") << "compute" << "reference" << QByteArray("precious\n") << SIGINT;
    QTest::newRow("terminated") << "compute" << "fast" << QByteArray("precious\n") << SIGTERM;
    QTest::newRow("hung-up") << "compute" << "reference" << QByteArray() << SIGHUP;
    QTest::newRow("eval-nested-sums-interrupted") << "eval" << "" << QByteArray() << SIGINT;
    QTest::newRow("eval-nested-sums-terminated") << "eval" << "" << QByteArray() << SIGTERM;
}

// Ctrl-C, SIGTERM, SIGHUP: exit status 128 + the signal, and the output file neither created nor changed.
void TestCli::interrupt()
{
    QFETCH(QString, command);
    QFETCH(QString, engine);
    QFETCH(QByteArray, existing);
    QFETCH(int, signal);

    QTemporaryDir folder;
    const QString output = folder.filePath(QStringLiteral("out.csv"));
    QVERIFY(existing.isEmpty() || writeFile(output, existing));
    QProcess process;
    if (command == QLatin1String("eval"))
        process.start(QStringLiteral(KXEQUATION_PROGRAM), {"eval", "sum(k,1,100000,sum(m,1,100000,1))"});
    else
        process.start(QStringLiteral(KXEQUATION_PROGRAM), {"compute", "--engine", engine, "--formula", "sum(k,1,1e9,k*i)",
                                                           "--last-row", "4000", "--last-col", "4000", "--output", output});
    QVERIFY(process.waitForStarted());
    // Signal once the tool catches it (signal n: bit n - 1 of the caught mask).
    const QString status = QStringLiteral("/proc/%1/status").arg(process.processId());
    auto catchesInterrupt = [&status, signal] {
        QFile file(status);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith("SigCgt:"))
                return (line.mid(7).trimmed().toULongLong(nullptr, 16) & (1ull << (signal - 1))) != 0;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(catchesInterrupt(), 20000);
    QTest::qWait(200);
    QCOMPARE(process.state(), QProcess::Running);
    kill(pid_t(process.processId()), signal);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 128 + signal);
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
    const QString seedLimits = "--seed expects a whole number from 0 to 18446744073709551615, not '";
    QTest::newRow("seed-negative") << QStringList{"compute", "--seed", "-1", "--formula", "rand()"} << 64 << seedLimits + "-1'";
    QTest::newRow("seed-beyond") << QStringList{"eval", "--seed=18446744073709551616", "rand()"} << 64
                                 << seedLimits + "18446744073709551616'";
    QTest::newRow("seed-empty") << QStringList{"eval", "--seed=", "rand()"} << 64 << seedLimits + "'";
    QTest::newRow("repeated-messages") << QStringList{"compute", "--engine", "reference", "--formula", "var(x,1,3,x-10)+i", "--last-row", "3",
                                                      "--last-col", "2"}
                                       << 1 << "error: Invalid syntax: x-10- (repeated ";
    QTest::newRow("standard-output-full") << compute << 74
                                          << "kxequation: Cannot write to standard output: No space left on device\n";
    QTest::newRow("dataset-malformed-in-project") << QStringList{"run", equation, "--project", folder} << 65
                                                  << "broken.q of the project folder " + folder + " cannot be read: " + bad
                                                         + ", line 2: a quoted field is not closed.\n";
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
    if (toStandardOutput) {
        if (::geteuid() != 0)
            QSKIP("Only root makes a device node");
        QCOMPARE(::mknod(QFile::encodeName(full).constData(), S_IFCHR | 0666, makedev(1, 7)), 0);
    }
    const Run run = runTool(arguments, QStringLiteral("C.UTF-8"), toStandardOutput ? full : QString());
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.endsWith(message) || run.err.contains(message), qPrintable(run.err));
    QCOMPARE(run.err.contains(QStringLiteral("usage:")), exitCode == 64);
}

// A chart drawn without a display nor a runtime folder says nothing on standard error.
void TestCli::plotIsQuiet()
{
    QTemporaryDir scratch;
    const QString file = QStringLiteral("chart.png");
    const Run run = runTool({"compute", "--formula", "i*j", "--last-row", "4", "--last-col", "2", "--plot",
                             scratch.filePath(file), "--output", scratch.filePath(QStringLiteral("t.csv"))},
                            QStringLiteral("C.UTF-8"), QString(), {"XDG_RUNTIME_DIR", "QT_QPA_PLATFORM", "DISPLAY"});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, 0);
    QVERIFY(QFileInfo(scratch.filePath(file)).size() > 0);
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
}

// Without --seed a drawing compute names the seed it picked; that seed, or the one saved in the
// equation file, repeats the table.
void TestCli::seedRepeats()
{
    const QStringList compute = {"compute", "--formula", "rand(0,1)+i", "--last-row", "3", "--last-col", "2"};
    const Run first = runTool(compute);
    QCOMPARE(first.exitCode, 0);
    const QRegularExpressionMatch note =
        QRegularExpression(QStringLiteral("^note: seed (\\d+) \\(repeat with --seed \\1\\)\n$")).match(first.err);
    QVERIFY2(note.hasMatch(), qPrintable(first.err));
    const QString equation = m_project.filePath(QStringLiteral("drawn.xml"));
    const Run repeated = runTool(compute + QStringList{"--seed", note.captured(1), "--save", equation});
    QCOMPARE(repeated.out, first.out);
    QVERIFY2(!repeated.err.contains(QStringLiteral("note: seed")), qPrintable(repeated.err));
    QCOMPARE(runTool({"run", equation, "--project", m_project.path()}).out, first.out);
    QVERIFY(runTool(compute).out != first.out);
    QVERIFY(runTool({"run", equation, "--project", m_project.path(), "--seed", "0"}).out != first.out);
    // A file written before seeds were kept draws from a fresh one, which run notes.
    QFile file(equation);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll());
    file.close();
    text.remove(QRegularExpression(QStringLiteral("<Seed>\\d+</Seed>")));
    QVERIFY(writeFile(equation, text.toUtf8()));
    const Run unseeded = runTool({"run", equation, "--project", m_project.path()});
    const QRegularExpressionMatch fresh =
        QRegularExpression(QStringLiteral("note: seed (\\d+) \\(repeat with --seed \\1\\)\n")).match(unseeded.err);
    QVERIFY2(fresh.hasMatch(), qPrintable(unseeded.err));
    QCOMPARE(runTool({"run", equation, "--project", m_project.path(), "--seed", fresh.captured(1)}).out, unseeded.out);
}

void TestCli::regression_data()
{
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("arguments");

    QFile cases(m_corpus.filePath(QStringLiteral("cases.txt")));
    QVERIFY(cases.open(QIODevice::ReadOnly));
    for (const QByteArray& line : cases.readAll().split('\n')) {
        const QStringList parts = QString::fromUtf8(line).split(QStringLiteral(" :: "));
        if (line.startsWith('#') || parts.size() != 4)
            continue;
        QTest::newRow(qPrintable(parts.at(0))) << parts.at(1).toInt() << parts.at(2).trimmed() << parts.at(3);
    }
}

// Each input of the corpus ends with its documented status and message, and never with a crash.
void TestCli::regression()
{
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QString, arguments);

    QTemporaryDir scratch;
    auto placed = [&](QString text) {
        return text.replace(QStringLiteral("@corpus"), m_corpus.path())
            .replace(QStringLiteral("@scratch"), scratch.path());
    };
    const Run run = runTool(splitArguments(placed(arguments)));
    const QString& err = run.err;
    QVERIFY(!run.crashed);
    QVERIFY2(!err.contains(QStringLiteral("runtime error")), qPrintable(err));
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(err.contains(placed(message)), qPrintable(err));
    // Reported once.
    QVERIFY2(err.count(QStringLiteral("kxequation: ")) + err.count(QStringLiteral("error: ")) <= 1, qPrintable(err));
    // A refused command line writes nothing.
    QVERIFY(exitCode != 64 || QDir(scratch.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

void TestCli::generatedInputs_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("size"); // > 0: the file is extended to that size, a hole after the bytes
    QTest::addColumn<QStringList>("arguments"); // @file: the generated file
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QByteArray attributes = "<Equation";
    for (int k = 0; k < 100000; ++k)
        attributes += " a" + QByteArray::number(k) + "=\"\"";
    attributes += "/>";
    QTest::newRow("many-attributes") << "e.xml" << attributes << qint64(0) << QStringList{"run", "@file"} << 65
                                     << "e.xml, line 1: an element has more than 64 attributes\n";
    QByteArray quoted = "<Equation a=\"" + QByteArray(70, '=') + "\" b='>='>";
    for (int k = 0; k < 70; ++k)
        quoted += "<!-- x" + QByteArray::number(k) + "=1 --><![CDATA[=]]><?pi a=1?>";
    QTest::newRow("equal-signs-outside-attributes") << "e.xml" << quoted + "</Equation>" << qint64(0)
                                                   << QStringList{"run", "@file"} << 65 << "not an equation file";
    QTest::newRow("equation-too-large") << "e.xml" << QByteArray("<Equation/>") << (qint64(16) << 20) + 1
                                        << QStringList{"run", "@file"} << 65 << "e.xml is too large.\n";
    QTest::newRow("csv-too-large") << "t.csv" << QByteArray(",a\n") << (qint64(256) << 20) + 1
                                   << QStringList{"compute", "--dataset", "@file", "--formula", "1"} << 65
                                   << "t.csv is too large.\n";
}

// Inputs too large to keep in the corpus, made in a scratch folder.
void TestCli::generatedInputs()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, size);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    QTemporaryDir scratch;
    const QString file = scratch.filePath(name);
    QFile generated(file);
    QVERIFY(generated.open(QIODevice::WriteOnly) && generated.write(bytes) == bytes.size());
    QVERIFY(size == 0 || generated.resize(size));
    generated.close();
    const Run run = runTool(arguments.replaceInStrings(QStringLiteral("@file"), file));
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
}

void TestCli::outputRules_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("target"); // symlink, fifo, full-device, mode, missing-folder
    QTest::addColumn<int>("exitCode");

    for (const char* option : {"--output", "--plot", "--save"}) {
        QTest::addRow("%s-symlink", option) << option << "symlink" << 0;
        QTest::addRow("%s-fifo", option) << option << "fifo" << 0;
        QTest::addRow("%s-full-device", option) << option << "full-device" << 74;
        QTest::addRow("%s-mode", option) << option << "mode" << 0;
        QTest::addRow("%s-missing-folder", option) << option << "missing-folder" << 73;
    }
}

// Every output, table, chart and equation alike: a link stays a link to the replaced file, a FIFO
// and a device are written into, a replaced file keeps its mode, failures give 73 and 74.
void TestCli::outputRules()
{
    QFETCH(QString, option);
    QFETCH(QString, target);
    QFETCH(int, exitCode);

    QTemporaryDir scratch;
    const QString suffix = option == QLatin1String("--plot") ? QStringLiteral(".svg") : QStringLiteral(".csv");
    const QString path = scratch.filePath(QStringLiteral("out") + suffix);
    const QString real = scratch.filePath(QStringLiteral("real") + suffix);
    const QByteArray name = QFile::encodeName(path);
    int reader = -1;
    if (target == QLatin1String("symlink")) {
        QVERIFY(writeFile(real, "old\n") && QFile::link(real, path));
    } else if (target == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        reader = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
    } else if (target == QLatin1String("full-device")) {
        if (::geteuid() != 0)
            QSKIP("Only root makes a device node");
        QCOMPARE(::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 7)), 0);
    } else if (target == QLatin1String("mode")) {
        QVERIFY(writeFile(path, "old\n"));
        QCOMPARE(::chmod(name.constData(), 0640), 0);
    }
    const QString written = target == QLatin1String("missing-folder") ? scratch.filePath(QStringLiteral("none/out") + suffix) : path;
    const Run run = runTool({"compute", "--formula", "i", "--last-row", "2", "--last-col", "1", option, written});
    QCOMPARE(run.exitCode, exitCode);
    struct stat status;
    QCOMPARE(::lstat(name.constData(), &status) == 0, target != QLatin1String("missing-folder"));
    if (target == QLatin1String("symlink")) {
        QVERIFY(S_ISLNK(status.st_mode));
        QVERIFY(contents(real).size() > 4);
    } else if (target == QLatin1String("fifo")) {
        QVERIFY(S_ISFIFO(status.st_mode));
        char bytes[16];
        QVERIFY(::read(reader, bytes, sizeof bytes) > 0);
        ::close(reader);
    } else if (target == QLatin1String("full-device")) {
        QVERIFY(S_ISCHR(status.st_mode));
        QVERIFY2(run.err.contains(QStringLiteral("No space left on device")), qPrintable(run.err));
    } else if (target == QLatin1String("mode")) {
        QCOMPARE(status.st_mode & 07777, mode_t(0640));
        QVERIFY(contents(path) != "old\n");
    }
    // Nothing but the output itself is left in the folder.
    QCOMPARE(QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(),
             target == QLatin1String("symlink") ? 2 : target == QLatin1String("missing-folder") ? 0 : 1);
}

// Two outputs that are one file through a link are refused before anything is computed or written.
void TestCli::collidingLinks()
{
    QTemporaryDir scratch;
    const QString file = scratch.filePath(QStringLiteral("f.svg"));
    const QString link = scratch.filePath(QStringLiteral("link.svg"));
    QVERIFY(writeFile(file, "precious\n") && QFile::link(file, link));
    const Run run = runTool({"compute", "--formula", "i", "--last-row", "1", "--last-col", "1", "--save", file, "--plot", link});
    QCOMPARE(run.exitCode, 64);
    QVERIFY2(run.err.contains(QStringLiteral("name the same file")), qPrintable(run.err));
    QCOMPARE(contents(file), QByteArray("precious\n"));
}

void TestCli::standardOutputName_data()
{
    QTest::addColumn<QString>("name");

    // Never the system's own name: a fault that replaced the file named would replace it. A link
    // of our own to it is followed to that name, and only the link could be replaced.
    QTest::newRow("dash") << "-";
    QTest::newRow("link-to-dev-stdout") << "@link";
}

// A name of standard output writes into it, after what it held, and never replaces it.
void TestCli::standardOutputName()
{
    QFETCH(QString, name);

    QTemporaryDir scratch;
    const QString redirected = scratch.filePath(QStringLiteral("out.txt"));
    QVERIFY(writeFile(redirected, "before\n"));
    if (name == QLatin1String("@link")) {
        name = scratch.filePath(QStringLiteral("link.csv"));
        QVERIFY(QFile::link(QStringLiteral("/dev/stdout"), name));
    }
    struct stat before, after;
    QCOMPARE(::stat(QFile::encodeName(redirected).constData(), &before), 0);
    QProcess process;
    process.setStandardOutputFile(redirected, QIODevice::Append);
    process.start(QStringLiteral(KXEQUATION_PROGRAM), {"compute", "--formula", "i", "--last-row", "1", "--last-col", "1",
                                                       "--output", name});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(::stat(QFile::encodeName(redirected).constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(contents(redirected), QByteArray("before\n,\n,1\n"));
}

// A temporary named after a process that is gone is removed by the next write beside it; one of a
// running process stays.
void TestCli::abandonedTemporaries()
{
    QTemporaryDir scratch;
    QProcess gone;
    gone.start(QStringLiteral(KXEQUATION_PROGRAM), {"eval", "1"});
    QVERIFY(gone.waitForStarted());
    const qint64 goneId = gone.processId();
    QVERIFY(gone.waitForFinished(60000));
    const QString stale = scratch.filePath(QStringLiteral(".out.csv.%1.abcdef").arg(goneId));
    const QString running = scratch.filePath(QStringLiteral(".out.csv.%1.abcdef").arg(::getpid()));
    const QString other = scratch.filePath(QStringLiteral(".other.csv.%1.abcdef").arg(goneId));
    QVERIFY(writeFile(stale, "half") && writeFile(running, "half") && writeFile(other, "half"));
    QCOMPARE(runTool({"compute", "--formula", "i", "--last-row", "1", "--last-col", "1", "--output",
                      scratch.filePath(QStringLiteral("out.csv"))}).exitCode, 0);
    QVERIFY(!QFile::exists(stale));
    QVERIFY(QFile::exists(running));
    QVERIFY(QFile::exists(other));
}

void TestCli::desktopExitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");

    const QString project = m_corpus.filePath(QStringLiteral("project"));
    QTest::newRow("unknown-language") << QStringList{project, "--lang", "de"} << 64;
    QTest::newRow("unknown-dataset") << QStringList{project, "--dataset", "sales.none"} << 66;
    QTest::newRow("picture-not-written") << QStringList{project, "--screenshot", project + "/none/shot.png"} << 1;
    QTest::newRow("picture") << QStringList{project, "--screenshot", "@scratch/shot.png"} << 0;
}

void TestCli::desktopExitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);

    QTemporaryDir scratch;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const Run run = runTool(arguments.replaceInStrings(QStringLiteral("@scratch"), scratch.path())
                                + QStringList{"--settings", scratch.filePath(QStringLiteral("settings.ini"))},
                            QStringLiteral("C.UTF-8"), QString(), {}, QStringLiteral(KXEQUATION_DESKTOP_PROGRAM));
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, exitCode);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
