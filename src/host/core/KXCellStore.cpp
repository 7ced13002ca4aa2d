#include "KXCellStore.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

KXCellStore::KXCellStore(size_t count, Construction construction) : m_count(count)
{
    if (count == 0)
        return;
    if (count > std::numeric_limits<size_t>::max() / sizeof(QVariant))
        throw std::bad_alloc();
    m_cells = static_cast<QVariant*>(::operator new(count * sizeof(QVariant)));
    if (construction == Constructed)
        std::uninitialized_value_construct_n(m_cells, count);
}

KXCellStore::~KXCellStore()
{
    std::destroy_n(m_cells, m_count);
    ::operator delete(m_cells);
}

std::shared_ptr<KXCellStore> KXCellStore::copy() const
{
    auto copied = std::make_shared<KXCellStore>(m_count, Unconstructed);
    // Counted only once copied: a copy that throws has destroyed its own cells.
    copied->m_count = 0;
    std::uninitialized_copy_n(m_cells, m_count, copied->m_cells);
    copied->m_count = m_count;
    return copied;
}

void KXCellStore::prepareForWriting(QVariant* first, QVariant* last)
{
    static const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    // Whole pages only; the pages at either end fault in when written, as do all of them on a
    // system without this advice.
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(first) + page - 1) / page * page;
    const uintptr_t end = reinterpret_cast<uintptr_t>(last) / page * page;
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
}
