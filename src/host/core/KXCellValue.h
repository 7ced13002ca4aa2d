#pragma once

/// Item data role under which host tables store cell values and headers.
constexpr int KXValueRole = 34;

/// The no-value marker: the value of an empty cell, the constant NO_VALUE of formulas, and what
/// arithmetic passes on when an operand is missing.
constexpr double KXNoValue = -9999.0;
