#pragma once

// The facts that several parts of the module share, each defined once: here, or in the host's
// header for what host tables define (the value role and the no-value marker).
#include "KXCellValue.h"

/// The double nearest to pi: the constant PI, and the degrees read by the trigonometric functions.
constexpr double KXEquationPi = 3.141592653589793;

/// A data selection, "[" column "|" row ":" column "|" row "]", with its four parts captured.
constexpr char KXEquationSelectionPattern[] = "\\[([^\\]]*)\\|([^\\]]*):([^\\]]*)\\|([^\\]]*)\\]";
