// Any bytes loaded as an equation file (what the controller's loadModel does) must load or be
// refused with a reason, without a fault; what loads must save and load again.

#include "KXCsv.h"
#include "KXDataModel.h"
#include "KXEquationDocument.h"
#include "KXEquationModel.h"
#include "KXEquationVariableModel.h"
#include "KXFuzzScratch.h"
#include "LodeDB.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
// A project with one dataset, so that references such as sales.q1 reopen a table.
struct Fixture : KXFuzzScratch
{
    Fixture() : KXFuzzScratch(QStringLiteral("project/sales/q1.csv"))
    {
        ProjectMgrInterface::returnMe()->openProject(folder.filePath(QStringLiteral("project")));
    }
};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Fixture fixture;
    const QString path = fixture.folder.filePath(QStringLiteral("equation.xml"));
    const QString copy = fixture.folder.filePath(QStringLiteral("copy.xml"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    {
        QObject tables; // owns the reopened tables; outlives the variable models below
        KXEquationModel equation;
        KXEquationVariableModel variables;
        QString error;
        if (KXEquationDocument::load(&equation, &variables, path, &tables, &error)) {
            if (!KXEquationDocument::save(&equation, &variables, copy))
                std::abort();
            KXEquationModel reloadedEquation;
            KXEquationVariableModel reloadedVariables;
            if (!KXEquationDocument::load(&reloadedEquation, &reloadedVariables, copy, &tables))
                std::abort();
        } else if (!error.contains(path)) {
            std::abort();
        }
    }
    return 0;
}
