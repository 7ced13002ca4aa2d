#pragma once

#include "KXEquationCalculationCommand.h"
#include "KXEquationDatasetSnapshot.h"

#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

// The instruction set of compiled formulas: one instruction per node of the tree, children
// referred to by number, so that a program is a flat array that workers only read.
namespace KXEquationProgram {

/// What an instruction does.
enum class Op : quint8 {
    Constant,  // a value fixed at compile time
    Slot,      // a constant that changes while cells are computed: "i", "j", loop variables
    Val,       // val() of such a constant
    Operator,  // a: left, b: right
    Math,      // a: argument
    Range,     // a: start, b: end, c: expression; slot: the loop variable
    Selection, // a: the list
    Data,      // a: row, b: column; dataset
    Header,    // a: index; dataset
    Random,    // a: start, b: end, or none
    Condition, // a: condition, b: when true, c: when false
    Fallback   // the node walked as a tree
};

/// The kind of value an instruction gives whenever the double path does not give up.
enum class Kind : quint8 {
    Double, // a double
    Bool,   // a bool, carried as 0 or 1 on the double path
    Other   // anything: typed path only
};

/// The operators that the double path computes itself.
enum class Fast : quint8 { None, Add, Subtract, Multiply, Divide, Power, Greater, Less, GreaterEqual, LessEqual, And, Or };

struct Instruction {
    Op op = Op::Constant;
    Kind kind = Kind::Other;
    Fast fast = Fast::None;
    bool negated = false;       // Slot
    bool removesLoop = false;   // Range: a named loop variable is removed when the aggregate ends
    bool writesSlots = false;   // it or a child steps a loop variable
    bool lanes = false;         // computed for a block of cells at once (see the worker)
    Qt::Orientation orientation = Qt::Horizontal; // Header
    int a = -1;
    int b = -1;
    int c = -1;
    int index = -1; // constant, slot, dataset or fallback number
    double number = 0.0; // Constant of kind Double or Bool
    double (*function)(double x) = nullptr;           // Math
    double (*binary)(double x, double y) = nullptr;   // Operator: Power
    const KXEquationCalculationCommand::Traits* range = nullptr;
    const KXEquationCommand* node = nullptr; // the node whose shared steps the typed path calls
};

/// A constant that changes while cells are computed.
struct Slot {
    double value = 0.0;
    bool present = false;
};

/// Everything a worker reads: the instructions and what they refer to.
struct Code {
    std::vector<Instruction> instructions;
    int root = -1;
    QVector<QVariant> constants;
    QStringList slotNames; // "i" and "j" first
    std::vector<Slot> initialSlots;
    std::vector<std::unique_ptr<KXEquationDatasetSnapshot>> datasets;
    QStringList datasetNames;
    std::vector<const KXEquationCommand*> fallbacks;
};

const int ROW_SLOT = 0;
const int COLUMN_SLOT = 1;
}
