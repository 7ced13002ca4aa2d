#pragma once

#include "KXExitStatus.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

class KXDataModelGeneric;

/// What the sub-commands of the command-line tool share: reading their options, printing in
/// UTF-8 whatever the locale, and the exit codes.
namespace KXCommandLine {

enum ExitCode {
    Success = KXExitStatus::Success,
    ErrorValue = KXExitStatus::Failure,
    Raised = KXExitStatus::Unreadable,
    Failed = KXExitStatus::Failure,
    Usage = KXExitStatus::Usage
};

/// A wrong command line: the message is printed with the usage text.
struct UsageError {
    QString message;
};

/// Walks the arguments of one sub-command: options and plain arguments in any order; after "--"
/// every argument is plain, so that a formula may begin with a minus sign.
class Arguments
{
public:
    explicit Arguments(const QStringList& arguments);

    bool atEnd() const { return m_next >= m_arguments.size(); }
    enum class Kind { Option, Plain, Nothing };
    /// Takes the next argument: an option's name, or a plain argument's text.
    Kind next(QString* text);
    /// The loop head of every command: takes the next option or plain argument, passing over a
    /// final "--"; false at the end.
    bool take(QString* text, bool* plain);
    /// The value of the option just taken: "--name=value" or the following argument.
    QString value(const QString& name);

private:
    QStringList m_arguments;
    int m_next = 0;
    bool m_optionsEnded = false;
    QString m_inlineValue;
    bool m_hasInlineValue = false;
};

/// "NAME=VALUE", split at the first "=".
void splitAssignment(const QString& option, const QString& text, QString* name, QString* value);
double parseNumber(const QString& option, const QString& text);
bool parseYesNo(const QString& option, const QString& text);
/// --seed: a whole number from 0 to 2^64-1.
quint64 parseSeed(const QString& option, const QString& text);
/// Tells on standard error the seed that was picked, when no --seed chose one, so that a result
/// drawn with rand can be repeated; silent for formulas that do not draw.
void noteFreshSeed(const QStringList& formulas, quint64 seed);
void chooseLanguage(const QString& code);
/// A formula of blanks would be read as a data selection over nothing: it is the empty formula.
QString blanksAsEmpty(const QString& formula);

/// Reads a CSV table named after its folder and base name: proj/sales/q1.csv is sales.q1.
/// Throws KXExitStatus::Error when the file cannot be opened or read.
std::unique_ptr<KXDataModelGeneric> readTable(const QString& path);

/// A line on standard output; a failed write throws KXExitStatus::Error.
void print(const QString& text);
void printError(const QString& text);

/// One line for a value: "double 3", "text abc", "list [int 1; bool true]", "error ...".
QString describeValue(const QVariant& value);

}
