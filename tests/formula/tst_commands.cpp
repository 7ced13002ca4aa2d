#include "KXFormulaCheck.h"

#include <QtConcurrent>

// Error values and the rules every command node keeps.
class TestCommands : public QObject
{
    Q_OBJECT
private slots:
    void getError_data();
    void getError();
    void errorTypeRegisteredOnceAcrossThreads();
    void removedConstant();
    void cloneReadsTargetModel();
};

void TestCommands::getError_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("isError");
    QTest::addColumn<QString>("message");

    QTest::newRow("error") << KXTest::errorValue(QStringLiteral("x")) << true << "x";
    QTest::newRow("empty-error") << KXTest::errorValue(QString()) << false << "";
    QTest::newRow("text") << QVariant(QStringLiteral("x")) << false << "kept";
    QTest::newRow("invalid") << QVariant() << false << "kept";
}

void TestCommands::getError()
{
    QFETCH(QVariant, value);
    QFETCH(bool, isError);
    QFETCH(QString, message);

    QString out = QStringLiteral("kept");
    QCOMPARE(KXEquationCommand::getError(value, out), isError);
    QCOMPARE(out, message);
    QCOMPARE(KXEquationCommand::getError(value), isError);
}

void TestCommands::errorTypeRegisteredOnceAcrossThreads()
{
    QThreadPool pool;
    pool.setMaxThreadCount(8);
    QList<QFuture<int>> futures;
    for (int k = 0; k < 32; ++k)
        futures.append(QtConcurrent::run(&pool, [] {
            const QVariant value = KXTest::errorValue(QStringLiteral("m"));
            QString message;
            return KXEquationCommand::getError(value, message) && message == QLatin1String("m")
                ? KXEquationInterpreterError::typeId() : -1;
        }));
    const int id = KXEquationInterpreterError::typeId();
    for (auto& future : futures)
        QCOMPARE(future.result(), id);
    QCOMPARE(QMetaType::type("KXEquationInterpreterError"), id);
    QVERIFY(!(QMetaType::typeFlags(id) & QMetaType::MovableType));
}

void TestCommands::removedConstant()
{
    KXEquationVariableModel model;
    model.addVariable(QStringLiteral("x"), 3);
    auto tree = KXFormulaCheck::read(model, QStringLiteral("-x"));
    model.removeVariable(QStringLiteral("x"));
    QVERIFY(KXTest::sameValue(tree->evaluate(), KXTest::errorValue(QStringLiteral("x: invalid variable name"))));
}

void TestCommands::cloneReadsTargetModel()
{
    KXEquationVariableModel first;
    first.addVariable(QStringLiteral("x"), 3);
    KXEquationVariableModel second;
    second.addVariable(QStringLiteral("x"), -2);
    auto tree = KXFormulaCheck::read(first, QStringLiteral("-x"));
    std::unique_ptr<KXEquationCommand> copy(tree->clone(&second));
    tree.reset();
    QCOMPARE(copy->evaluate(), QVariant(2.0));
    QCOMPARE(copy->variableModel(), &second);
}

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
