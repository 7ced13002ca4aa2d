#include "KXCommandLine.h"

#include "KXCsv.h"
#include "KXDataModel.h"
#include "KXEquationCommand.h"
#include "KXEquationModel.h"
#include "KXExitStatus.h"
#include "KXOutputFile.h"
#include "TApplicationTranslator.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

namespace KXCommandLine {

Arguments::Arguments(const QStringList& arguments) : m_arguments(arguments)
{
}

Arguments::Kind Arguments::next(QString* text)
{
    QString argument = m_arguments.at(m_next++);
    if (!m_optionsEnded && argument == QLatin1String("--")) {
        m_optionsEnded = true;
        if (atEnd())
            return Kind::Nothing;
        argument = m_arguments.at(m_next++);
    }
    if (m_optionsEnded || !argument.startsWith(QLatin1String("--"))) {
        *text = argument;
        return Kind::Plain;
    }
    const int equals = argument.indexOf(QLatin1Char('='));
    m_hasInlineValue = equals > 0;
    *text = m_hasInlineValue ? argument.left(equals) : argument;
    m_inlineValue = m_hasInlineValue ? argument.mid(equals + 1) : QString();
    return Kind::Option;
}

bool Arguments::take(QString* text, bool* plain)
{
    while (!atEnd()) {
        const Kind kind = next(text);
        if (kind != Kind::Nothing) {
            *plain = kind == Kind::Plain;
            return true;
        }
    }
    return false;
}

QString Arguments::value(const QString& name)
{
    if (m_hasInlineValue) {
        m_hasInlineValue = false;
        return m_inlineValue;
    }
    if (atEnd())
        throw UsageError{name + QStringLiteral(" needs a value")};
    return m_arguments.at(m_next++);
}

void splitAssignment(const QString& option, const QString& text, QString* name, QString* value)
{
    const int equals = text.indexOf(QLatin1Char('='));
    if (equals <= 0)
        throw UsageError{option + QStringLiteral(" expects NAME=VALUE, not '") + text + QLatin1Char('\'')};
    *name = text.left(equals);
    *value = text.mid(equals + 1);
}

double parseNumber(const QString& option, const QString& text)
{
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok)
        throw UsageError{option + QStringLiteral(": '") + text + QStringLiteral("' is not a number")};
    return number;
}

bool parseYesNo(const QString& option, const QString& text)
{
    if (text == QLatin1String("yes"))
        return true;
    if (text == QLatin1String("no"))
        return false;
    throw UsageError{option + QStringLiteral(" expects yes or no, not '") + text + QLatin1Char('\'')};
}

quint64 parseSeed(const QString& option, const QString& text)
{
    quint64 seed = 0;
    if (!KXEquationModel::readSeed(text, seed))
        throw UsageError{option + QStringLiteral(" expects a whole number from 0 to 18446744073709551615, not '") + text
                         + QLatin1Char('\'')};
    return seed;
}

void noteFreshSeed(const QStringList& formulas, quint64 seed)
{
    // A text that merely mentions rand costs a needless line, never a missing one; the reader
    // skips blanks, so "ra nd()" draws too.
    QString text = formulas.join(QString());
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    if (!text.contains(QLatin1String("rand")))
        return;
    const QString number = QString::number(seed);
    printError(QStringLiteral("note: seed %1 (repeat with --seed %1)").arg(number));
}

void chooseLanguage(const QString& code)
{
    if (!TApplicationTranslator::install(code))
        throw UsageError{QStringLiteral("--lang expects en or fr, not '") + code + QLatin1Char('\'')};
}

QString blanksAsEmpty(const QString& formula)
{
    return formula.trimmed().isEmpty() ? QString() : formula;
}

std::unique_ptr<KXDataModelGeneric> readTable(const QString& path)
{
    auto table = std::make_unique<KXDataModelDataset>();
    QString error;
    KXFileStatus status = KXFileStatus::Ok;
    if (!KXCsv::readFile(path, *table, &error, &status))
        throw KXExitStatus::Error{KXExitStatus::forFile(status), error};
    const QFileInfo file(path);
    table->setName(file.absoluteDir().dirName(), file.completeBaseName());
    return table;
}

void print(const QString& text)
{
    QString error;
    if (KXOutputFile::writeStandardOutput(text.toUtf8() + '\n', &error) != KXFileStatus::Ok)
        throw KXExitStatus::Error{KXExitStatus::IoError, error};
}

void printError(const QString& text)
{
    const QByteArray line = text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}

QString describeValue(const QVariant& value)
{
    QString message;
    if (KXEquationCommand::getError(value, message))
        return QStringLiteral("error ") + message;
    switch (value.userType()) {
    case QMetaType::UnknownType:
        return QStringLiteral("invalid");
    case QMetaType::Double:
        return QStringLiteral("double ") + KXCsv::formatNumber(value.toDouble());
    case QMetaType::Float:
        return QStringLiteral("float ") + KXCsv::formatNumber(double(value.toFloat()));
    case QMetaType::Int:
        return QStringLiteral("int ") + QString::number(value.toInt());
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("bool true") : QStringLiteral("bool false");
    case QMetaType::QVariantList: {
        QStringList elements;
        for (const QVariant& element : value.toList())
            elements.append(describeValue(element));
        return QStringLiteral("list [") + elements.join(QStringLiteral("; ")) + QLatin1Char(']');
    }
    default:
        return QStringLiteral("text ") + value.toString();
    }
}

}
