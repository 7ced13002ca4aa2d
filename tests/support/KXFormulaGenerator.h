#pragma once

#include <QString>

class KXDataModelGeneric;
class KXEquationVariableModel;
class QRandomGenerator;

// Random well-formed formulas for differential tests of the formula engines.
namespace KXFormulaGenerator {

/// Fills table with the dataset the formulas read as Input1: 4 rows headed 1 to 4, columns headed
/// A to C, with numbers, texts, decimal-comma texts, empty and missing cells, a bool and an int.
void fillTable(KXDataModelGeneric& table);

/// Adds what the formulas name: Input1 bound to table, Input2 without table, the constants a, b
/// and x, and the cell position "i" and "j".
void addVariables(KXEquationVariableModel& variables, KXDataModelGeneric* table);

/// A formula of at most depth nested calls or operations, written so that the reader accepts it
/// (operands in parentheses, no comma or semicolon where the reader splits at them). Its values
/// cover every kind, the no-value marker and error values; its aggregates may have bounds that
/// depend on the cell, and an error value may stand beside an aggregate that reports a message.
/// With anywhere, i and j may lie anywhere in the int range: every loop then stays within a few
/// steps of the cell's numbers or of small ones.
QString randomFormula(QRandomGenerator& random, int depth, bool anywhere = false);

}
