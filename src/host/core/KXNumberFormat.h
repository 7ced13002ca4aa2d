#pragma once

#include "KXHostGlobal.h"

#include <QLocale>
#include <QString>
#include <QVariant>

/// The text of a cell value as people read it: the data editor shows it, the clipboard copies it
/// and, in the C locale, CSV files hold it.
class KXHOST_EXPORT KXNumberFormat
{
public:
    enum class Precision {
        Readable, ///< up to 15 significant digits, which any double reads back to unchanged
        Full      ///< the shortest text that reads back to the same double
    };

    /// An empty cell: invalid, an empty text, or a number equal to the no-value marker.
    static bool isNoValue(const QVariant& value);
    static bool isNumber(const QVariant& value);

    /// Empty for a no-value cell; numbers through numberText; booleans as true/false; texts as they are.
    static QString displayText(const QVariant& value, const QLocale& locale,
                               Precision precision = Precision::Readable);
    /// Decimal comma or point from locale, no group separators, exponent without padding (1e-7, 1e21).
    /// Readable shows -0 as 0. The C locale writes nan, inf and -inf, which its reader takes back;
    /// other locales NaN, ∞ and -∞.
    static QString numberText(double value, const QLocale& locale, Precision precision = Precision::Readable);
    /// Room that writeCNumber needs at most.
    static constexpr int CNumberCapacity = 40;
    /// numberText in the C locale, as UTF-8 bytes written at out without a QString on the way
    /// (writers of large tables); returns the end of what it wrote.
    static char* writeCNumber(double value, Precision precision, char* out);

    /// The locale of the interface language, chosen by the installed translator.
    static QLocale interfaceLocale();
    /// Reads a number typed in locale's notation, or in the C notation, without group separators;
    /// false for anything else.
    static bool readNumber(const QString& text, const QLocale& locale, double* value);
};
