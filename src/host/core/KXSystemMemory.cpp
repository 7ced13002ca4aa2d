#include "KXSystemMemory.h"

#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace KXSystemMemory {

qint64 physicalBytes()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return qint64(pages) * qint64(pageSize);
}

void releaseFreeMemory()
{
#ifdef __GLIBC__
    // glibc keeps freed blocks of its arenas, a table's worth after a large table is freed.
    malloc_trim(0);
#endif
}

}
