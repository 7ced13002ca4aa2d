#include "ApplicationInterface.h"
#include "KXRibbon.h"
#include "TMessageBox.h"
#include "TPixmapCache.h"

#include <QBoxLayout>
#include <QImage>
#include <QPointer>
#include <QSet>
#include <QToolButton>
#include <QtTest>

class KXHostWidgetsTest : public QObject
{
    Q_OBJECT

private slots:
    void pixmaps_data();
    void pixmaps();
    void groupButtons();
    void barOwnsGroups();
    void replacedSingletons();
};

namespace {
class KXFixedAnswers final : public TMessageBox
{
public:
    int askOKCancel(const QString&, const QString& text, const QString&) override { return text.size(); }
};

class KXFixedApplication final : public ApplicationInterface
{
public:
    QWidget* mainWidget() const override { return widget; }
    QWidget* widget = nullptr;
};
}

void KXHostWidgetsTest::pixmaps_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("size");
    for (const char* key : {"stat_32", "quickHelp", "launch", "save_generic", "open_generic", "add", "delete"})
        QTest::newRow(key) << key << 32;
    QTest::newRow("constant_16") << "constant_16" << 16;
    QTest::newRow("dataset") << "dataset" << 16;
}

void KXHostWidgetsTest::pixmaps()
{
    QFETCH(QString, key);
    QFETCH(int, size);
    const QPixmap& pixmap = TPixmapCache::find(key);
    QCOMPARE(pixmap.size(), QSize(size, size));
    QCOMPARE(&TPixmapCache::find(key), &pixmap);
    QVERIFY(TPixmapCache::find("no-such-icon").isNull());
    // Drawn, not blank: several opaque colours.
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    QSet<QRgb> opaque;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 255)
                opaque.insert(image.pixel(x, y));
        }
    }
    QVERIFY2(opaque.size() >= 2, qPrintable(QString::number(opaque.size())));
}

void KXHostWidgetsTest::groupButtons()
{
    KXRibbonGroup group("Model", nullptr);
    group.addButton("a", QIcon(), KXRibbonGroup::LargeButton);
    QToolButton* small = group.addButton("b", QIcon(), KXRibbonGroup::SmallButton);
    group.insertButton("c", QIcon(), 0, KXRibbonGroup::LargeButton);
    QStringList texts;
    for (int index = 0; index < group.layout()->count(); ++index)
        texts << static_cast<QToolButton*>(group.layout()->itemAt(index)->widget())->text();
    QCOMPARE(texts, QStringList({"c", "a", "b"}));
    QCOMPARE(group.title(), QString("Model"));
    QCOMPARE(small->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    QCOMPARE(small->parentWidget(), &group);
}

void KXHostWidgetsTest::barOwnsGroups()
{
    auto* bar = new KXRibbonBar;
    QPointer<KXRibbonGroup> first = new KXRibbonGroup("first");
    QPointer<KXRibbonGroup> second = new KXRibbonGroup("second");
    bar->addGroup(first);
    bar->addGroup(second);
    QCOMPARE(bar->groups(), QList<KXRibbonGroup*>({first, second}));
    QCOMPARE(bar->getIdForHelp(), 0);
    delete bar;
    QVERIFY(first.isNull() && second.isNull());
}

void KXHostWidgetsTest::replacedSingletons()
{
    KXFixedAnswers answers;
    TMessageBox::setInstance(&answers);
    QCOMPARE(TMessageBox::questionOKCancel("t", "four", QString()), 4);
    TMessageBox::setInstance(nullptr);
    QVERIFY(TMessageBox::returnMe() != &answers);

    QWidget window;
    KXFixedApplication application;
    application.widget = &window;
    ApplicationInterface::setInstance(&application);
    QCOMPARE(ApplicationInterface::returnMe()->mainWidget(), &window);
    ApplicationInterface::setInstance(nullptr);
    QCOMPARE(ApplicationInterface::returnMe()->mainWidget(), nullptr);
}

QTEST_MAIN(KXHostWidgetsTest)
#include "tst_KXHostWidgets.moc"
