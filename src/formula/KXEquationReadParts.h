#pragma once

#include "KXEquationInterpreter.h"

#include <QVector>

class KXEquationCommand;

/// Carries a reading error from the part of a text that a node read up to the text itself.
namespace KXEquationReadParts {

/// Characters start to start + length of the text that holds them.
struct Part {
    int start;
    int length;
};

/// Moves error, which lies in one of parts (listed in the order the node reads them), into whole;
/// an error in no listed part covers the whole text.
void locate(KXEquationReadError& error, const QString& whole, const QVector<Part>& parts);

/// Builds a node that reads parts of whole; parts() is asked only when reading failed.
template <class Build, class Parts>
KXEquationCommand* build(const QString& whole, Build build, Parts parts)
{
    try {
        return build();
    } catch (KXEquationReadError& error) {
        locate(error, whole, parts());
        throw;
    } catch (const KXError& error) {
        throw KXEquationReadError(error.message(), whole, 0, whole.length());
    }
}

}
