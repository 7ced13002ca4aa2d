#pragma once

#include "kxequation_global.h"

#include <QString>
#include <QStringList>

class KXEquationReadError;
class KXEquationVariableModel;

/// What a reading failure most likely means, said after the reader's own message: the marked text
/// is an unknown name or calls an unknown function, with the known names closest to it.
namespace KXEquationReadHint {

/// One line, or empty when the marked text is no unknown name.
KXEQUATION_EXPORT QString hint(const KXEquationReadError& error, const KXEquationVariableModel& variables);
/// The names closest to name by edit distance, ignoring case; none when even the closest differs
/// in too many characters for name's length.
KXEQUATION_EXPORT QStringList closestNames(const QString& name, const QStringList& known);

}
