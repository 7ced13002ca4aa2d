#include "KXCellStore.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
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
    if (count > std::numeric_limits<size_t>::max() / sizeof(double))
        throw std::bad_alloc();
    m_slots = static_cast<double*>(std::malloc(count * sizeof(double)));
    if (!m_slots)
        throw std::bad_alloc();
    if (construction == Constructed)
        std::fill_n(m_slots, count, tagged(NoValue, 0));
}

KXCellStore::~KXCellStore()
{
    std::free(m_slots);
}

std::shared_ptr<KXCellStore> KXCellStore::adopt(double* memory, size_t count)
{
    auto store = std::make_shared<KXCellStore>();
    // Shrunk in place to the cells it holds.
    if (count > 0) {
        if (auto* fitted = static_cast<double*>(std::realloc(memory, count * sizeof(double))))
            memory = fitted;
    } else {
        std::free(memory);
        memory = nullptr;
    }
    store->m_slots = memory;
    store->m_count = count;
    return store;
}

double KXCellStore::tagged(Kind kind, uint32_t payload)
{
    const uint64_t value = Tag | (uint64_t(kind) << 32) | payload;
    double slot;
    std::memcpy(&slot, &value, sizeof slot);
    return slot;
}

QVariant KXCellStore::decode(size_t at, double slot) const
{
    const uint64_t value = bits(slot);
    const auto payload = uint32_t(value);
    switch (Kind((value >> 32) & 0xFFFF)) {
    case Int:
        return QVariant(int(payload));
    case Bool:
        return QVariant(payload != 0);
    case Beside: {
        if (payload == FilledPayload)
            return m_filled;
        std::lock_guard<std::mutex> lock(m_besideLock);
        const auto found = m_beside.find(at);
        return found == m_beside.end() ? QVariant() : found->second;
    }
    default:
        return QVariant();
    }
}

void KXCellStore::set(size_t at, const QVariant& value)
{
    const double old = m_slots[at];
    double slot;
    switch (value.userType()) {
    case QMetaType::UnknownType:
        slot = tagged(NoValue, 0);
        break;
    case QMetaType::Int:
        slot = tagged(Int, uint32_t(*static_cast<const int*>(value.constData())));
        break;
    case QMetaType::Bool:
        slot = tagged(Bool, *static_cast<const bool*>(value.constData()) ? 1 : 0);
        break;
    case QMetaType::Double:
        // A null double, or one with our tag's bits, keeps its exact form beside.
        slot = *static_cast<const double*>(value.constData());
        if (!value.isNull() && isNumberSlot(slot))
            break;
        Q_FALLTHROUGH();
    default: {
        std::lock_guard<std::mutex> lock(m_besideLock);
        m_beside[at] = value;
        m_slots[at] = tagged(Beside, 0);
        return;
    }
    }
    m_slots[at] = slot;
    if (!isNumberSlot(old) && Kind((bits(old) >> 32) & 0xFFFF) == Beside) {
        std::lock_guard<std::mutex> lock(m_besideLock);
        m_beside.erase(at);
    }
}

void KXCellStore::fill(const QVariant& value)
{
    if (m_count == 0)
        return;
    set(0, value);
    double slot = m_slots[0];
    if (!isNumberSlot(slot) && Kind((bits(slot) >> 32) & 0xFFFF) == Beside) {
        // A text given to every cell is kept once.
        std::lock_guard<std::mutex> lock(m_besideLock);
        m_beside.clear();
        m_filled = value;
        slot = tagged(Beside, FilledPayload);
    }
    std::fill_n(m_slots, m_count, slot);
}

std::shared_ptr<KXCellStore> KXCellStore::copy() const
{
    auto copied = std::make_shared<KXCellStore>(m_count, Unconstructed);
    std::copy_n(m_slots, m_count, copied->m_slots);
    std::lock_guard<std::mutex> lock(m_besideLock);
    copied->m_beside = m_beside;
    copied->m_filled = m_filled;
    return copied;
}

void KXCellStore::prepareForWriting(double* first, double* last)
{
    static const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    // Whole pages only; the pages at either end fault in when written, as do all of them on a
    // system without this advice.
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(first) + page - 1) / page * page;
    const uintptr_t end = reinterpret_cast<uintptr_t>(last) / page * page;
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
}
