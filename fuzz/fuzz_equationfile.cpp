// Any bytes loaded as an equation file (what the controller's loadModel does) must load or be
// refused with a reason, without a fault; what loads must save and load again.

#include "KXCsv.h"
#include "KXDataModel.h"
#include "KXEquationDocument.h"
#include "KXEquationModel.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"
#include "LodeDB.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
struct Fixture
{
    Fixture()
    {
        KXMessageSink::setHandler([](KXMessageSink::Origin, const QString&) {});
        // A project with one dataset, so that references such as sales.q1 reopen a table.
        QDir(folder.path()).mkpath(QStringLiteral("project/sales"));
        QFile csv(folder.filePath(QStringLiteral("project/sales/q1.csv")));
        if (csv.open(QIODevice::WriteOnly))
            csv.write(",a,b\nr1,1,2\nr2,3,x\n");
        csv.close();
        ProjectMgrInterface::returnMe()->openProject(folder.filePath(QStringLiteral("project")));
    }
    int argc = 1;
    char name[16] = "fuzz";
    char* argv[2] = {name, nullptr};
    QCoreApplication application{argc, argv};
    QTemporaryDir folder;
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
