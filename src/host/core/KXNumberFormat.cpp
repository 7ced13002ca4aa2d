#include "KXNumberFormat.h"

#include "KXCellValue.h"

#include <QCoreApplication>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

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

/// Significant digits, without the point, and the decimal exponent of the first of them.
struct Digits
{
    char digits[24];
    int count = 0;
    int exponent = 0;
};

/// Reads what std::to_chars wrote in scientific form, without its sign.
void readScientific(const char* begin, const char* end, Digits* digits)
{
    // The first digit, then the point when more follow: the rest up to 'e' are digits.
    const char* e = static_cast<const char*>(std::memchr(begin, 'e', size_t(end - begin)));
    digits->digits[0] = *begin;
    int count = 1;
    if (e - begin > 2) {
        std::memcpy(digits->digits + 1, begin + 2, size_t(e - begin - 2));
        count += int(e - begin - 2);
    }
    digits->count = count;
    std::from_chars(e + 1 + (e[1] == '+'), end, digits->exponent);
}

/// Whether |value| is exactly the 16 digits given (the last one a 5): then value lies halfway
/// between two 15-digit texts.
bool isExactlyHalfway(const Digits& sixteen, double value)
{
    uint64_t integer = 0;
    for (int k = 0; k < 16; ++k)
        integer = integer * 10 + uint64_t(sixteen.digits[k] - '0');
    const uint64_t mantissaLimit = uint64_t(1) << 53;
    const int power = sixteen.exponent - 15;
    if (power >= 0) {
        // An odd integer times 10^power is a double only while it times 5^power fits a mantissa.
        if (power > 1 || (power == 1 && integer >= mantissaLimit / 5))
            return false;
        const uint64_t odd = power == 1 ? integer * 5 : integer;
        return odd < mantissaLimit && std::ldexp(double(odd), power) == std::fabs(value);
    }
    // integer / 10^-power is a double only when 5^-power divides it; 5^23 exceeds 16 digits.
    if (-power > 22)
        return false;
    uint64_t five = 1;
    for (int k = 0; k < -power; ++k)
        five *= 5;
    if (integer % five != 0 || integer / five >= mantissaLimit)
        return false;
    return std::ldexp(double(integer / five), power) == std::fabs(value);
}

void roundToReadable(Digits* digits, bool up);

/// The 15 significant digits that the readable form shows: rounded to nearest, halfway cases
/// away from zero as the locale's formatting rounds them (std::to_chars rounds them to even).
void readableDigits(double value, Digits* digits)
{
    char text[48];
    // The shortest text that reads back is several times faster to make than a rounded one, and
    // rounds as the value does: it has 15 digits or fewer only when those are the value's own, and
    // no halfway point between two 15-digit texts lies between it and the value, or it would be
    // shorter or nearer. Only a shortest text that is itself such a halfway point says nothing, and
    // subnormal values, with fewer than 15 digits of precision, are outside the rule.
    if (std::fabs(value) >= std::numeric_limits<double>::min()) {
        const auto shortest = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific);
        readScientific(text, shortest.ptr, digits);
        if (digits->count <= 15)
            return;
        if (digits->count > 16 || digits->digits[15] != '5') {
            roundToReadable(digits, digits->digits[15] >= '5');
            return;
        }
    }
    const auto written = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific, 15);
    readScientific(text, written.ptr, digits);
    const char sixteenth = digits->digits[15];
    if (sixteenth == '5' && !isExactlyHalfway(*digits, value)) {
        // Not halfway: only the exact value tells which way it rounds.
        const auto rounded = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific, 14);
        readScientific(text, rounded.ptr, digits);
        return;
    }
    roundToReadable(digits, sixteenth >= '5');
}

/// Keeps the first 15 digits, one up in the last of them when up.
void roundToReadable(Digits* digits, bool up)
{
    digits->count = 15;
    if (!up)
        return;
    int k = 14;
    for (; k >= 0 && digits->digits[k] == '9'; --k)
        digits->digits[k] = '0';
    if (k < 0) {
        digits->digits[0] = '1';
        ++digits->exponent;
    } else {
        ++digits->digits[k];
    }
}

}

char* KXNumberFormat::writeCNumber(double value, Precision precision, char* out)
{
    if (std::isnan(value)) {
        std::memcpy(out, "nan", 3);
        return out + 3;
    }
    if (std::isinf(value)) {
        if (value < 0)
            *out++ = '-';
        std::memcpy(out, "inf", 3);
        return out + 3;
    }
    const bool full = precision == Precision::Full;
    Digits digits;
    if (value == 0.0) {
        digits.digits[0] = '0';
        digits.count = 1;
    } else if (full) {
        char text[48];
        const auto written = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific);
        readScientific(text, written.ptr, &digits);
    } else {
        readableDigits(value, &digits);
    }
    int count = digits.count;
    while (count > 1 && digits.digits[count - 1] == '0')
        --count;
    // The layout QString::number(value, 'g', digits) chooses: the exponent form below 1e-4, and
    // above 15 digits (readable) or where it is the shorter text (shortest): once more than five
    // zeros would follow the digits.
    const int point = digits.exponent + 1;
    const int cutoff = full ? count + 5 : ReadableDigits;
    const bool exponentForm = point - 1 < -4 || point > cutoff;
    if (std::signbit(value) && (value != 0.0 || full))
        *out++ = '-';
    if (exponentForm) {
        *out++ = digits.digits[0];
        if (count > 1) {
            *out++ = '.';
            std::memcpy(out, digits.digits + 1, size_t(count - 1));
            out += count - 1;
        }
        *out++ = 'e';
        return std::to_chars(out, out + 8, point - 1).ptr;
    }
    if (point <= 0) {
        *out++ = '0';
        *out++ = '.';
        std::memset(out, '0', size_t(-point));
        out += -point;
        std::memcpy(out, digits.digits, size_t(count));
        return out + count;
    }
    for (int k = 0; k < point; ++k)
        *out++ = k < count ? digits.digits[k] : '0';
    if (count > point) {
        *out++ = '.';
        std::memcpy(out, digits.digits + point, size_t(count - point));
        out += count - point;
    }
    return out;
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
    // A group separator is refused in either notation: 1,1 must not become 11.
    QLocale strict = locale;
    strict.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    double number = strict.toDouble(trimmed, &ok);
    if (!ok) {
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::RejectGroupSeparator);
        number = c.toDouble(trimmed, &ok);
    }
    if (ok && value)
        *value = number;
    return ok;
}
