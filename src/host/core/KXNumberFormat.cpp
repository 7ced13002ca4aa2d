#include "KXNumberFormat.h"

#include "KXCellValue.h"

#include <QCoreApplication>

#include <cmath>

namespace {

/// Significant digits that every double keeps through text and back (DBL_DIG).
const int ReadableDigits = 15;
/// A float has no more than this many significant digits; more would show the widening's noise.
const int FloatDigits = 7;

/// "1e-07" -> "1e-7", "1e+21" -> "1e21": the exponent without sign padding or leading zeros.
QString compactExponent(QString text)
{
    const int e = text.indexOf(QLatin1Char('e'));
    if (e < 0)
        return text;
    int digits = e + 1;
    QString sign;
    if (digits < text.size() && (text.at(digits) == QLatin1Char('+') || text.at(digits) == QLatin1Char('-'))) {
        if (text.at(digits) == QLatin1Char('-'))
            sign = QStringLiteral("-");
        ++digits;
    }
    while (digits < text.size() - 1 && text.at(digits) == QLatin1Char('0'))
        ++digits;
    return text.left(e + 1) + sign + text.mid(digits);
}

bool isCLocale(const QLocale& locale)
{
    return locale.language() == QLocale::C;
}

QString formatted(double value, const QLocale& locale, int digits)
{
    if (std::isnan(value))
        return isCLocale(locale) ? QStringLiteral("nan") : QStringLiteral("NaN");
    if (std::isinf(value)) {
        if (isCLocale(locale))
            return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
        return value < 0 ? QStringLiteral("-\u221E") : QStringLiteral("\u221E");
    }
    QString text = compactExponent(QString::number(value, 'g', digits));
    if (value == 0.0 && std::signbit(value) && digits == QLocale::FloatingPointShortest)
        text = QStringLiteral("-0");
    const QChar point = locale.decimalPoint();
    if (point != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), point);
    return text;
}

}

bool KXNumberFormat::isNumber(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

bool KXNumberFormat::isNoValue(const QVariant& value)
{
    if (!value.isValid())
        return true;
    if (isNumber(value))
        return value.toDouble() == KXNoValue;
    return value.userType() == QMetaType::QString && value.toString().isEmpty();
}

QString KXNumberFormat::numberText(double value, const QLocale& locale, Precision precision)
{
    const int digits = precision == Precision::Full ? int(QLocale::FloatingPointShortest) : ReadableDigits;
    return formatted(value, locale, digits);
}

QString KXNumberFormat::displayText(const QVariant& value, const QLocale& locale, Precision precision)
{
    if (isNoValue(value))
        return QString();
    if (value.userType() == QMetaType::Float && precision == Precision::Readable)
        return formatted(double(value.toFloat()), locale, FloatDigits);
    // Integers too: every reader holds them as doubles, so beyond 2^53 exact digits would promise
    // a precision that reading back loses.
    if (isNumber(value))
        return numberText(value.toDouble(), locale, precision);
    if (value.userType() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return value.toString();
}

QLocale KXNumberFormat::interfaceLocale()
{
    // The locale's name is itself a text of the interface, so the translator chooses it.
    QLocale locale(QCoreApplication::translate("KXNumberFormat", "en_US", "fr_FR", -1));
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

bool KXNumberFormat::readNumber(const QString& text, const QLocale& locale, double* value)
{
    bool ok = false;
    const QString trimmed = text.trimmed();
    double number = locale.toDouble(trimmed, &ok);
    if (!ok)
        number = QLocale::c().toDouble(trimmed, &ok);
    if (ok && value)
        *value = number;
    return ok;
}
