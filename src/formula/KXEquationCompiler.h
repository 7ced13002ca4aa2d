#pragma once

#include "KXEquationCalculationCommand.h"
#include "KXEquationMathCommand.h"
#include "KXEquationOperatorCommand.h"

class KXEquationDataCommand;
class KXEquationDataModelConstantCommand;
class KXEquationHeaderCommand;
class KXEquationIfCommand;
class KXEquationRandCommand;
class KXEquationValCommand;

/// What a formula node asks of whoever turns its tree into a flat program. Each call adds one
/// instruction (its children's instructions are passed in) and returns the new instruction's
/// number; nodes hand over their table rows so that the program applies the same functions.
class KXEquationCompiler
{
public:
    virtual ~KXEquationCompiler() = default;

    /// Compiles a child: calls its compile().
    int compile(const KXEquationCommand& node) { return node.compile(*this); }
    /// The node is walked as a tree at run time.
    virtual int fallback(const KXEquationCommand& node) = 0;
    /// The node's value cannot change while cells are computed: evaluated once, now.
    virtual int constant(const KXEquationCommand& node) = 0;
    /// A loop variable that some aggregate of the tree adds, steps and removes.
    virtual void loopVariable(const QString& name) = 0;

    virtual int namedConstant(const KXEquationDataModelConstantCommand& node, const QString& name, bool negated) = 0;
    virtual int val(const KXEquationValCommand& node, const QString& name) = 0;
    virtual int operation(const KXEquationOperatorCommand& node, const KXEquationOperatorCommand::Traits& traits,
                          int left, int right) = 0;
    virtual int math(const KXEquationMathCommand& node, const KXEquationMathCommand::Traits& traits, int argument) = 0;
    virtual int range(const KXEquationCalculationCommand& node, const KXEquationCalculationCommand::Traits& traits,
                      const QString& variable, int start, int end, int expression) = 0;
    virtual int selection(const KXEquationCalculationSelectionCommand& node, int argument) = 0;
    virtual int data(const KXEquationDataCommand& node, const QString& name, int row, int column) = 0;
    virtual int header(const KXEquationHeaderCommand& node, const QString& name, Qt::Orientation orientation,
                       int index) = 0;
    /// start and end are -1 for rand() without bounds.
    virtual int random(const KXEquationRandCommand& node, int start, int end) = 0;
    virtual int condition(const KXEquationIfCommand& node, int test, int whenTrue, int whenFalse) = 0;
};
