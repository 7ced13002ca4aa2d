// Any bytes loaded as an equation file must load or be refused without a fault; what loads must
// save and load again.

#include "KXCsv.h"
#include "KXDataModel.h"
#include "KXEquationCtrl.h"
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
        KXEquationCtrl controller;
        if (controller.loadModel(path)) {
            if (!controller.saveModel(copy))
                std::abort();
            KXEquationCtrl reloaded;
            if (!reloaded.loadModel(copy))
                std::abort();
        }
    }
    // Reopened tables belong to the application; the controllers that used them are gone.
    for (QObject* child : fixture.application.children()) {
        if (qobject_cast<KXDataModel*>(child))
            delete child;
    }
    return 0;
}
