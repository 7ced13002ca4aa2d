#pragma once

#include "KXError.h"
#include "TApplicationTranslator.h"

#include <QMutex>
#include <QStringList>
#include <QVariant>

#include <memory>

class KXDataModelGeneric;

namespace KXTest {

/// Equality of doubles that treats NaN as equal to NaN, keeps the sign of zero and infinities,
/// and compares other values with a relative tolerance (absolute near zero).
bool sameDouble(double actual, double expected);

/// Same kind and same value; doubles and floats through sameDouble, error values by message.
bool sameValue(const QVariant& actual, const QVariant& expected);
/// A readable form of a value for failure messages: "double 3", "error ...".
QString describe(const QVariant& value);
/// An error value carrying message, as nodes return it.
QVariant errorValue(const QString& message);

/// A table of rows x columns whose cell (r, c) holds the double r * 10 + c, with row headers
/// "R<r>" and column headers "C<c>".
std::unique_ptr<KXDataModelGeneric> makeTable(int rows, int columns, const QString& dataset = QString(),
                                              const QString& subdataset = QString());

/// Collects every error report made while it lives, from any thread.
class MessageCapture
{
public:
    MessageCapture();
    ~MessageCapture();
    QStringList messages() const;

private:
    mutable QMutex m_mutex;
    QStringList m_messages;
    KXMessageSink::Handler m_previous;
};

/// Installs the host translator in the given language while it lives.
class LanguageScope
{
public:
    explicit LanguageScope(TApplicationTranslator::Language language);
    ~LanguageScope();

private:
    TApplicationTranslator m_translator;
};

}
