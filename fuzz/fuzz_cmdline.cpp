// Any command line given to eval must run or be refused as a usage or file error, without a
// fault. Arguments are the input's lines; paths are kept inside a scratch folder.

#include "KXCommandLine.h"
#include "KXExitStatus.h"
#include "KXFuzzScratch.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace KXCommandLine {
int runEval(const QStringList& arguments);
}

namespace {
struct Fixture : KXFuzzScratch
{
    Fixture() : KXFuzzScratch(QStringLiteral("t.csv"))
    {
        QDir::setCurrent(folder.path());
        // Printed values go to a scratch file, emptied after every run.
        if (!std::freopen(QFile::encodeName(folder.filePath(QStringLiteral("out"))).constData(), "w", stdout))
            std::abort();
    }
};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Fixture fixture;
    const QStringList arguments =
        QString::fromUtf8(reinterpret_cast<const char*>(data), int(size)).split(QLatin1Char('\n'));
    for (const QString& argument : arguments) {
        // No way out of the scratch folder, and no device to read.
        if (argument.contains(QLatin1Char('/')) || argument.contains(QLatin1String("..")))
            return 0;
    }
    try {
        const int status = KXCommandLine::runEval(arguments);
        if (status != KXExitStatus::Success && status != KXExitStatus::Failure && status != KXExitStatus::Unreadable)
            std::abort();
    } catch (const KXCommandLine::UsageError&) {
    } catch (const KXExitStatus::Error&) {
    }
    std::fflush(stdout);
    if (::ftruncate(fileno(stdout), 0) != 0)
        std::abort();
    std::rewind(stdout);
    return 0;
}
