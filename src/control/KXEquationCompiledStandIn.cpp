#include "KXEquationCellProgram.h"

// Until the compiler lands, the fast engine walks the tree.
std::unique_ptr<KXEquationCellProgram> compileCellProgram(const KXEquationCommand& tree,
                                                          const KXEquationVariableModel& variables)
{
    return makeTreeWalkProgram(tree, variables);
}
