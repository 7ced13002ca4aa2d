#include "KXSystemMemory.h"

#include <unistd.h>

namespace KXSystemMemory {

qint64 physicalBytes()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return qint64(pages) * qint64(pageSize);
}

}
