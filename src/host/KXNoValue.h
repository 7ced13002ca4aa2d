#pragma once

/// The no-value marker: the value of an empty cell, the constant NO_VALUE of formulas, and what
/// arithmetic passes on when an operand is missing.
constexpr double KXNoValue = -9999.0;
