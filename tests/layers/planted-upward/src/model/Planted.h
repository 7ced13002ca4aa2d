#include "KXEquationEditor.h"
