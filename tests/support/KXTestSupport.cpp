#include "KXTestSupport.h"

#include "KXDataModel.h"
#include "KXEquationModel.h"
#include "KXRibbon.h"
#include "TDataEditor2Ctrl.h"

#include "KXEquationCommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QProcess>
#include <QTest>
#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unistd.h>

namespace KXTest {

QStringList unprivileged(const QString& program, const QStringList& arguments)
{
    if (::geteuid() != 0)
        return QStringList{program} + arguments;
    return QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                       QStringLiteral("--clear-groups"), program}
           + arguments;
}

bool rerunUnprivileged(int* exitStatus)
{
    if (::geteuid() != 0)
        return false;
    const QString row =
        QString::fromLatin1(QTest::currentTestFunction()) + QLatin1Char(':') + QString::fromLatin1(QTest::currentDataTag());
    QStringList command = unprivileged(QCoreApplication::applicationFilePath(), {row});
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(command.takeFirst(), command);
    *exitStatus = child.waitForFinished(120000) && child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    return true;
}

bool sameDouble(double actual, double expected)
{
    if (std::isnan(expected))
        return std::isnan(actual);
    if (std::isinf(expected) || expected == 0.0)
        return actual == expected && std::signbit(actual) == std::signbit(expected);
    return std::fabs(actual - expected) <= 1e-12 * std::max(1.0, std::fabs(expected));
}

bool sameValue(const QVariant& actual, const QVariant& expected)
{
    if (actual.userType() != expected.userType())
        return false;
    switch (expected.userType()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return sameDouble(actual.toDouble(), expected.toDouble());
    case QMetaType::QVariantList: {
        const QVariantList a = actual.toList();
        const QVariantList e = expected.toList();
        return a.size() == e.size() && std::equal(a.begin(), a.end(), e.begin(), sameValue);
    }
    default:
        if (expected.userType() == KXEquationInterpreterError::typeId())
            return actual.value<KXEquationInterpreterError>().errorMessage()
                == expected.value<KXEquationInterpreterError>().errorMessage();
        return actual == expected;
    }
}

QString describe(const QVariant& value)
{
    if (value.userType() == KXEquationInterpreterError::typeId())
        return QStringLiteral("error ") + value.value<KXEquationInterpreterError>().errorMessage();
    if (!value.isValid())
        return QStringLiteral("invalid");
    if (value.userType() == QMetaType::QVariantList) {
        QStringList parts;
        for (const QVariant& element : value.toList())
            parts.append(describe(element));
        return QStringLiteral("list [") + parts.join(QStringLiteral("; ")) + QLatin1Char(']');
    }
    QString text = QString::fromLatin1(value.typeName()) + QLatin1Char(' ') + value.toString();
    if (value.userType() == QMetaType::Double || value.userType() == QMetaType::Float) {
        // The bits tell apart what the text rounds together: -0 from 0, one NaN from another.
        const double number = value.toDouble();
        quint64 bits = 0;
        std::memcpy(&bits, &number, sizeof bits);
        text += QStringLiteral(" bits %1").arg(bits, 16, 16, QLatin1Char('0'));
    }
    return text;
}

QVariant errorValue(const QString& message)
{
    return QVariant::fromValue(KXEquationInterpreterError(message));
}

std::unique_ptr<KXDataModelGeneric> makeTable(int rows, int columns, const QString& dataset, const QString& subdataset)
{
    auto table = std::make_unique<KXDataModelGeneric>();
    table->createEmpty(columns, rows);
    table->setName(dataset, subdataset);
    for (int r = 0; r < rows; ++r) {
        table->setHeaderData(r, Qt::Vertical, QStringLiteral("R%1").arg(r), KXValueRole);
        for (int c = 0; c < columns; ++c)
            table->setData(table->index(r, c), double(r * 10 + c), KXValueRole);
    }
    for (int c = 0; c < columns; ++c)
        table->setHeaderData(c, Qt::Horizontal, QStringLiteral("C%1").arg(c), KXValueRole);
    return table;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QStringList formulasOfTestTables()
{
    const QRegularExpression row(QStringLiteral(R"re(QTest::(?:newRow|addRow)\("[^"]*"\)\s*<<\s*"((?:[^"\\]|\\.)*)")re"));
    const QDir sources(QStringLiteral(KX_TEST_DATA_DIR "/../formula"));
    QStringList formulas;
    for (const QString& name : sources.entryList({QStringLiteral("*.cpp")})) {
        const QString text = QString::fromUtf8(contents(sources.filePath(name)));
        for (auto match = row.globalMatch(text); match.hasNext();) {
            QString formula = match.next().captured(1);
            formulas << formula.replace(QLatin1String("\\\""), QLatin1String("\"")).replace(QLatin1String("\\\\"), QLatin1String("\\"));
        }
    }
    formulas.removeDuplicates();
    return formulas;
}

void configure(KXEquationModel* model, const QStringList& setup)
{
    const QStringList range = setup.value(1).split(QLatin1Char(' '));
    model->setFormula(setup.value(0));
    model->setRowStart(range.value(0));
    model->setRowEnd(range.value(1));
    model->setColStart(range.value(2));
    model->setColEnd(range.value(3));
    model->setRowName(setup.value(2));
    model->setColName(setup.value(3));
    model->setKeepHeader(setup.size() > 4);
    model->setDataModelForHeader(setup.value(4));
    model->setKeepVHeader(setup.value(5) != QLatin1String("columns"));
    model->setKeepHHeader(setup.value(5) != QLatin1String("rows"));
}

MessageCapture::MessageCapture()
{
    m_previous = KXMessageSink::setHandler([this](KXMessageSink::Origin origin, const QString& text) {
        QMutexLocker locker(&m_mutex);
        m_messages.append(text);
        if (origin == KXMessageSink::Origin::Info)
            m_information.append(text);
    });
}

MessageCapture::~MessageCapture()
{
    KXMessageSink::setHandler(m_previous);
}

QStringList MessageCapture::information() const
{
    QMutexLocker locker(&m_mutex);
    return m_information;
}

QStringList MessageCapture::messages() const
{
    QMutexLocker locker(&m_mutex);
    return m_messages;
}

LanguageScope::LanguageScope(TApplicationTranslator::Language language)
{
    m_translator.setLanguage(language);
    QCoreApplication::installTranslator(&m_translator);
}

LanguageScope::~LanguageScope()
{
    QCoreApplication::removeTranslator(&m_translator);
}

void RecordingMainWindow::activateModuleBar(KXRibbonBar* bar, int panels)
{
    record(bar, QStringLiteral("activate %1").arg(panels));
    MainWindowInterface::activateModuleBar(bar, panels);
}

void RecordingMainWindow::deactivateModuleBar(KXRibbonBar* bar)
{
    record(bar, QStringLiteral("deactivate"));
    MainWindowInterface::deactivateModuleBar(bar);
}

void RecordingMainWindow::record(KXRibbonBar* bar, const QString& call)
{
    if (m_destroyed.contains(bar))
        ++callsWithDestroyedBars;
    else if (bar && !m_watched.contains(bar)) {
        m_watched.insert(bar);
        QObject::connect(bar, &QObject::destroyed, [this, bar] { m_destroyed.insert(bar); });
    }
    m_calls.append({bar, call});
}

QStringList RecordingMainWindow::callsFor(const KXRibbonBar* bar) const
{
    QStringList calls;
    for (const auto& [caller, call] : m_calls) {
        if (caller == bar)
            calls.append(call);
    }
    return calls;
}

int ChoosingFileDialogs::run(TFileDialog& dialog)
{
    ++shown;
    if (chosenPath.isEmpty())
        return 0;
    dialog.setFileNameComplete(chosenPath);
    return 1;
}

HostScope::HostScope()
    : m_ribbon(std::make_unique<RibbonInterface>()), m_launcher(std::make_unique<ModuleLauncherInterface>())
{
    RibbonInterface::setInstance(m_ribbon.get());
    MainWindowInterface::setInstance(&mainWindow);
    WorkspaceInterface::setInstance(&workspace);
    ModuleLauncherInterface::setInstance(m_launcher.get());
    TFileDialogRunner::setInstance(&fileDialogs);
}

HostScope::~HostScope()
{
    RibbonInterface::setInstance(nullptr);
    MainWindowInterface::setInstance(nullptr);
    WorkspaceInterface::setInstance(nullptr);
    ModuleLauncherInterface::setInstance(nullptr);
    TFileDialogRunner::setInstance(nullptr);
}

}
