#include "ReadErrorDisplay.h"

#include "KXCommandLine.h"
#include "KXEquationInterpreter.h"
#include "KXEquationReadHint.h"
#include "KXError.h"

#include <cstdio>

namespace KXCommandLine {

void printReadError(const KXEquationReadError& error, const KXEquationVariableModel& variables)
{
    QString text = error.text();
    QString carets;
    for (int k = 0; k < text.length(); ++k) {
        // Line breaks are blanks to the reader: shown as spaces, the formula stays on one line.
        if (text.at(k) == QLatin1Char('\n') || text.at(k) == QLatin1Char('\r'))
            text[k] = QLatin1Char(' ');
        if (k < error.start())
            carets += text.at(k) == QLatin1Char('\t') ? QLatin1Char('\t') : QLatin1Char(' ');
    }
    carets += QString(qMax(1, error.length()), QLatin1Char('^'));
    // After the line the caller printed on stdout, when both go to one place.
    std::fflush(stdout);
    printError(text);
    printError(carets);
    const QString hint = KXEquationReadHint::hint(error, variables);
    if (!hint.isEmpty())
        KXMessageSink::printToStandardError(KXMessageSink::Origin::Info, hint);
}

}
