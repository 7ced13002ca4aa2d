#pragma once

#include "KXHostGlobal.h"

#include <QVariant>

#include <cstddef>
#include <memory>

/// The cells of a table, row by row, in one block of memory. A table hands its store to readers
/// on other threads and copies it before writing while a reader still holds it, so that a
/// computation reads a table that the user goes on editing without copying it first.
class KXHOST_EXPORT KXCellStore
{
public:
    /// Unconstructed leaves raw memory: the caller constructs every cell (placement new) before
    /// the store is read or destroyed. The threads that fill a large table then touch their own
    /// cells first, which spreads the cost of fresh memory over them.
    enum Construction { Constructed, Unconstructed };

    /// Throws std::bad_alloc when the memory cannot be had.
    explicit KXCellStore(size_t count = 0, Construction construction = Constructed);
    ~KXCellStore();
    KXCellStore(const KXCellStore&) = delete;
    KXCellStore& operator=(const KXCellStore&) = delete;

    size_t size() const { return m_count; }
    QVariant* data() { return m_cells; }
    const QVariant* data() const { return m_cells; }
    QVariant& operator[](size_t at) { return m_cells[at]; }
    const QVariant& operator[](size_t at) const { return m_cells[at]; }

    /// Every cell in a store of its own.
    std::shared_ptr<KXCellStore> copy() const;

    /// Makes the memory of the cells [first, last) present before they are first written: one
    /// call into the system instead of a fault per page, which costs more than a simple formula.
    static void prepareForWriting(QVariant* first, QVariant* last);

private:
    QVariant* m_cells = nullptr;
    size_t m_count = 0;
};
