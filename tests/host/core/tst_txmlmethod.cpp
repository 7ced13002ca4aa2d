#include "KXTestSupport.h"
#include "TXMLMethod.h"

#include <QtTest>

Q_DECLARE_METATYPE(KXFileStatus)

namespace {

QString textOf(const QDomNode& node)
{
    QString text;
    QTextStream stream(&text);
    node.save(stream, 1);
    return text;
}

QDomDocument equationDocument()
{
    QDomDocument document(QStringLiteral("Equation"));
    QDomElement root = TXMLMethod::createChildElement(document, QStringLiteral("Equation"));
    QDomElement model = TXMLMethod::createChildElement(root, QStringLiteral("EquationVariableModel"));
    TXMLMethod::addToElement(model, QStringLiteral("Version"), QStringLiteral("1.0"));
    for (const char* name : {"PI", "Crème & <co>"}) {
        QDomElement variable = TXMLMethod::createChildElement(model, QStringLiteral("Variables"));
        TXMLMethod::addToElement(variable, QStringLiteral("Name"), QString::fromUtf8(name));
        TXMLMethod::addToElement(variable, QStringLiteral("Value"), QStringLiteral("3.14159"));
    }
    return document;
}

}

class TestTXMLMethod : public QObject
{
    Q_OBJECT
private slots:
    void saveAndLoad_data();
    void saveAndLoad();
    void failedSaveKeepsPreviousFile_data();
    void failedSaveKeepsPreviousFile();
    void loadRefusesDamagedFile_data();
    void loadRefusesDamagedFile();
};

void TestTXMLMethod::saveAndLoad_data()
{
    QTest::addColumn<bool>("indent");
    QTest::addColumn<bool>("withDeclaration");

    QTest::newRow("indented-with-declaration") << true << true;
    QTest::newRow("compact-without-declaration") << false << false;
}

void TestTXMLMethod::saveAndLoad()
{
    QFETCH(bool, indent);
    QFETCH(bool, withDeclaration);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("model.xml"));
    const QDomDocument document = equationDocument();
    KXTest::MessageCapture capture;
    QVERIFY(TXMLMethod::save(&document, path, indent, withDeclaration));
    QCOMPARE(KXTest::contents(path).startsWith("<?xml"), withDeclaration);
    QCOMPARE(capture.information().size(), 1);
    QVERIFY(capture.information().first().contains(path));

    QDomDocument loaded(QStringLiteral("Equation"));
    QVERIFY(TXMLMethod::load(&loaded, path, true, true));
    QCOMPARE(textOf(loaded.documentElement()), textOf(document.documentElement()));
}

void TestTXMLMethod::failedSaveKeepsPreviousFile_data()
{
    QTest::addColumn<QString>("failure");

    QTest::newRow("path-is-directory") << QStringLiteral("directory");
    QTest::newRow("no-room-for-temporary-name") << QStringLiteral("long-name");
    QTest::newRow("read-only-folder") << QStringLiteral("read-only");
}

void TestTXMLMethod::failedSaveKeepsPreviousFile()
{
    QFETCH(QString, failure);

    int childStatus = 0;
    if (failure == QLatin1String("read-only") && KXTest::rerunUnprivileged(&childStatus)) {
        // Root writes anywhere: the row ran again as nobody, where the folder's mode bites.
        QCOMPARE(childStatus, 0);
        return;
    }
    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("model.xml"));
    QString previous = path;
    const QDomDocument document = equationDocument();
    if (failure == QLatin1String("directory")) {
        QVERIFY(QDir().mkpath(path));
        previous = path + QStringLiteral("/inside.xml");
    } else if (failure == QLatin1String("long-name")) {
        path = previous = folder.filePath(QString(251, QLatin1Char('m')) + QStringLiteral(".xml"));
    }
    const QByteArray before("<Equation>previous</Equation>\n");
    QVERIFY(KXTest::writeFile(previous, before));
    if (failure == QLatin1String("read-only")) {
        QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));
    }

    KXTest::MessageCapture capture;
    const bool saved = TXMLMethod::save(&document, path, true, true);
    QVERIFY(capture.information().isEmpty());
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!saved);
    QCOMPARE(KXTest::contents(previous), before);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(),
             failure == QLatin1String("directory") ? 0 : 1);
}

void TestTXMLMethod::loadRefusesDamagedFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<KXFileStatus>("status");
    QTest::addColumn<QString>("reason"); // after the path

    const QByteArray valid = equationDocument().toByteArray();
    const KXFileStatus malformed = KXFileStatus::Malformed;
    QTest::newRow("truncated") << valid.left(valid.size() / 2) << malformed << ", line 8: Premature end of document.";
    QTest::newRow("wrong-document-type") << QByteArray("<!DOCTYPE Other><Other/>") << malformed
                                         << ": the document is of type Other, not Equation.";
    QTest::newRow("deeply-nested") << QByteArray("<a>").repeated(100000) + QByteArray("</a>").repeated(100000) << malformed
                                   << ", line 1: the elements are nested too deeply";
    QTest::newRow("too-large") << QByteArray("<Equation>" + QByteArray(17 << 20, ' ') + "</Equation>")
                               << KXFileStatus::TooLarge << " is too large.";
}

// A refused file leaves the document as it was.
void TestTXMLMethod::loadRefusesDamagedFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(KXFileStatus, status);
    QFETCH(QString, reason);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("model.xml"));
    if (!contents.isNull())
        QVERIFY(KXTest::writeFile(path, contents));
    QDomDocument document(QStringLiteral("Equation"));
    TXMLMethod::createChildElement(document, QStringLiteral("Kept"));
    QString error;
    KXFileStatus loaded = KXFileStatus::Ok;
    QVERIFY(!TXMLMethod::load(&document, path, true, true, &error, &loaded));
    QCOMPARE(document.documentElement().tagName(), QStringLiteral("Kept"));
    QCOMPARE(loaded, status);
    QVERIFY2(error.contains(path + reason), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestTXMLMethod)
#include "tst_txmlmethod.moc"
