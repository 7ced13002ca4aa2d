#pragma once

// What every fuzz target that touches files runs in: an application object, quiet reports and a
// scratch folder holding a small table.

#include "KXError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

/// Made once, as the target's function-local static; table is where the small table goes in the folder.
struct KXFuzzScratch
{
    explicit KXFuzzScratch(const QString& table)
    {
        KXMessageSink::setHandler([](KXMessageSink::Origin, const QString&) {});
        const QString path = folder.filePath(table);
        QDir().mkpath(QFileInfo(path).path());
        QFile csv(path);
        if (csv.open(QIODevice::WriteOnly))
            csv.write(",a,b\nr1,1,2\nr2,3,x\n");
    }
    int argc = 1;
    char name[16] = "fuzz";
    char* argv[2] = {name, nullptr};
    QCoreApplication application{argc, argv};
    QTemporaryDir folder;
};
