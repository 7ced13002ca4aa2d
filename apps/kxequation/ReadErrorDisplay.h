#pragma once

class KXEquationReadError;

namespace KXCommandLine {

/// Prints on stderr the text that could not be read and, under it, a line of carets that marks the
/// characters the message is about (one caret where the range is empty).
void printReadError(const KXEquationReadError& error);

}
