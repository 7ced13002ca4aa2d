#include <QtTest>

namespace {
struct Run {
    int exitCode;
    QString out;
    QString err;
};

Run runTool(const QStringList& arguments, const QString& locale = QStringLiteral("C.UTF-8"))
{
    QProcess process;
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
    void usage_data();
    void usage();

private:
    QTemporaryDir m_project;
    QString m_table;
};

void TestCli::initTestCase()
{
    QVERIFY(m_project.isValid());
    QDir(m_project.path()).mkpath(QStringLiteral("sales"));
    m_table = m_project.filePath(QStringLiteral("sales/q1.csv"));
    QFile file(m_table);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("item,price,count\n"
               "pen,1.5,10\n"
               "ink,\"3,5\",\n"
               "pad,2,\"été\"\n");
}

void TestCli::eval_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("out");
    QTest::addColumn<int>("exitCode");

    const QString table = QStringLiteral("Input1=") + m_table;
    QTest::newRow("comparison") << QStringList{"eval", "2*(x+1)>=3", "--const", "x=1"} << "bool true\n" << 0;
    QTest::newRow("power-left-assoc") << QStringList{"eval", "2^3^2"} << "double 64\n" << 0;
    QTest::newRow("raised") << QStringList{"eval", "3+-2"} << "raised Invalid syntax: 3+\n" << 2;
    QTest::newRow("raised-fr") << QStringList{"eval", "--lang", "fr", "3+-2"} << "raised Expression invalide : 3+\n" << 2;
    QTest::newRow("leading-minus") << QStringList{"eval", "--", "-5"} << "double -5\n" << 0;
    QTest::newRow("shortest-number") << QStringList{"eval", "0.1+0.2"} << "double 0.30000000000000004\n" << 0;
    QTest::newRow("negative-zero") << QStringList{"eval", "--const", "z=0", "--", "-z"} << "double -0\n" << 0;
    QTest::newRow("infinity") << QStringList{"eval", "1/0"} << "double inf\n" << 0;
    QTest::newRow("minus-infinity") << QStringList{"eval", "--", "-1/0"} << "double -inf\n" << 0;
    QTest::newRow("not-a-number") << QStringList{"eval", "0/0"} << "double nan\n" << 0;
    QTest::newRow("float") << QStringList{"eval", "5%3"} << "float 2\n" << 0;
    QTest::newRow("int") << QStringList{"eval", "NO_VALUE+1"} << "int -9999\n" << 0;
    QTest::newRow("text") << QStringList{"eval", "\"a b\"+1"} << "text a b1\n" << 0;
    QTest::newRow("utf8-text") << QStringList{"eval", "\"é\"+\"€\""} << "text é€\n" << 0;
    QTest::newRow("error-value") << QStringList{"eval", "\"abc\"-1"}
                                 << "error Invalid syntax for '-':abc (expression must be numeric)\n" << 1;
    QTest::newRow("error-value-fr") << QStringList{"eval", "--lang=fr", "(1<2)+1"}
                                    << "error Condition invalide pour '+' : le type des expressions à évaluer est incorrect\n" << 1;
    QTest::newRow("cell-defaults-to-no-value") << QStringList{"eval", "i"} << "double -9999\n" << 0;
    QTest::newRow("cell") << QStringList{"eval", "--cell", "3,4", "2*i+j"} << "double 10\n" << 0;
    QTest::newRow("describe") << QStringList{"eval", "--describe", "(i+1)*2"}
                              << "form: i+1*2\ndepends-on-cell: true\nint -9999\n" << 0;
    QTest::newRow("describe-constant") << QStringList{"eval", "--describe", "\"a\"<1"}
                                       << "form: a&lt;1\ndepends-on-cell: false\nerror Invalid condition for '&lt;' : a (expression must be numeric)\n" << 1;
    QTest::newRow("dataset-count") << QStringList{"eval", "--dataset", table, "NR_Input1*10+NC_Input1"}
                                   << "double 32\n" << 0;
    QTest::newRow("selection-of-empty") << QStringList{"eval", "   "}
                                        << "error Error in the interpretation of data selection\n" << 1;
    QTest::newRow("too-complex") << QStringList{"eval", QStringLiteral("+x").repeated(50000).mid(1), "--const", "x=1"}
                                 << "raised Expression too complex\n" << 2;
    QTest::newRow("too-complex-fr") << QStringList{"eval", "--lang", "fr", QStringLiteral("(1+").repeated(5000) + "1" + QStringLiteral(")").repeated(5000)}
                                    << "raised Expression trop complexe\n" << 2;
}

void TestCli::eval()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, out);
    QFETCH(int, exitCode);

    const Run run = runTool(arguments);
    QCOMPARE(run.out, out);
    QCOMPARE(run.exitCode, exitCode);
    // Nothing depends on the locale of the environment.
    const Run inC = runTool(arguments, QStringLiteral("C"));
    QCOMPARE(inC.out, out);
}

void TestCli::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errorPart");

    QTest::newRow("nothing") << QStringList{} << 64 << "usage:";
    QTest::newRow("help") << QStringList{"--help"} << 0 << "";
    QTest::newRow("eval-help") << QStringList{"eval", "--help"} << 0 << "";
    QTest::newRow("unknown-command") << QStringList{"evaluate", "1"} << 64 << "unknown command evaluate";
    QTest::newRow("no-formula") << QStringList{"eval"} << 64 << "needs a formula";
    QTest::newRow("two-formulas") << QStringList{"eval", "1", "2"} << 64 << "one formula";
    QTest::newRow("minus-without-separator") << QStringList{"eval", "-5"} << 0 << "";
    QTest::newRow("bad-constant") << QStringList{"eval", "--const", "x=abc", "x"} << 64 << "not a number";
    QTest::newRow("constant-without-name") << QStringList{"eval", "--const", "=1", "x"} << 64 << "NAME=VALUE";
    QTest::newRow("bad-language") << QStringList{"eval", "--lang", "de", "1"} << 64 << "en or fr";
    QTest::newRow("missing-value") << QStringList{"eval", "1", "--lang"} << 64 << "";
    QTest::newRow("missing-dataset") << QStringList{"eval", "--dataset", "A=/nonexistent/x.csv", "1"} << 64 << "x.csv";
    QTest::newRow("unknown-option") << QStringList{"eval", "--fast", "1"} << 64 << "unknown option --fast";
}

void TestCli::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, errorPart);

    const Run run = runTool(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(errorPart), qPrintable(run.err));
    if (exitCode == 0 && arguments.contains(QStringLiteral("--help")))
        QVERIFY(run.out.startsWith(QStringLiteral("usage:")));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
