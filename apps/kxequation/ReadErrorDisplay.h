#pragma once

class KXEquationReadError;
class KXEquationVariableModel;

namespace KXCommandLine {

/// Prints on stderr the text that could not be read and, under it, a line of carets that marks the
/// characters the message is about (one caret where the range is empty), then a "note:" line that
/// names an unknown name and what was probably meant, when the variables tell.
void printReadError(const KXEquationReadError& error, const KXEquationVariableModel& variables);

}
