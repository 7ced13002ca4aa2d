#pragma once

#include "KXHostGlobal.h"

#include <QVariant>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

/// The cells of a table, row by row, in 8 bytes each: a number is its double, and every other
/// kind is a tagged NaN that arithmetic never makes. No value, ints and bools fit in the tag;
/// texts and the rare other kinds live beside the slots, so that an all-numeric table costs
/// 8 bytes a cell and its readers read doubles without building a QVariant. A table hands its
/// store to readers on other threads and copies it before writing while a reader still holds
/// it, so that a computation reads a table that the user goes on editing without copying it.
class KXHOST_EXPORT KXCellStore
{
public:
    /// Unconstructed leaves the slots unwritten: the caller writes every cell before the store is
    /// read. The threads that fill a large table then touch their own cells first, which spreads
    /// the cost of fresh memory over them. Constructed cells have no value (an invalid QVariant).
    enum Construction { Constructed, Unconstructed };

    /// Throws std::bad_alloc when the memory cannot be had.
    explicit KXCellStore(size_t count = 0, Construction construction = Constructed);
    ~KXCellStore();
    KXCellStore(const KXCellStore&) = delete;
    KXCellStore& operator=(const KXCellStore&) = delete;

    size_t size() const { return m_count; }

    /// The cell as the table answers it, of the kind it was stored with.
    QVariant at(size_t at) const
    {
        const double slot = m_slots[at];
        return isNumberSlot(slot) ? QVariant(slot) : decode(at, slot);
    }
    /// The cell's double when it holds one.
    bool number(size_t at, double& value) const
    {
        value = m_slots[at];
        return isNumberSlot(value);
    }
    void set(size_t at, const QVariant& value);
    void setNumber(size_t at, double value)
    {
        if (isNumberSlot(value))
            m_slots[at] = value;
        else
            set(at, QVariant(value));
    }
    /// Every cell set to value.
    void fill(const QVariant& value);

    /// The raw slots, for readers and writers of many cells at once: a slot for which
    /// isNumberSlot() holds is the cell's double; others go through at() and set().
    double* rawSlots() { return m_slots; }
    const double* rawSlots() const { return m_slots; }
    static bool isNumberSlot(double slot) { return (bits(slot) & TagMask) != Tag; }
    /// The slot of a cell without a value.
    static double noValueSlot() { return tagged(NoValue, 0); }

    /// A store over count slots at memory, from std::malloc, which it frees.
    static std::shared_ptr<KXCellStore> adopt(double* memory, size_t count);
    /// Every cell in a store of its own.
    std::shared_ptr<KXCellStore> copy() const;

    /// Makes the memory of the slots [first, last) present before they are first written: one
    /// call into the system instead of a fault per page, which costs more than a simple formula.
    static void prepareForWriting(double* first, double* last);

private:
    // A signalling NaN with a payload of our own: hardware arithmetic only makes quiet NaNs.
    static constexpr uint64_t TagMask = 0xFFFF000000000000ull;
    static constexpr uint64_t Tag = 0x7FF2000000000000ull;
    enum Kind : uint64_t { NoValue = 0, Int = 1, Bool = 2, Beside = 3 };
    // A Beside cell with this payload holds the value fill() gave every cell.
    static constexpr uint32_t FilledPayload = 1;

    static uint64_t bits(double slot)
    {
        uint64_t value;
        std::memcpy(&value, &slot, sizeof value);
        return value;
    }
    static double tagged(Kind kind, uint32_t payload);
    QVariant decode(size_t at, double slot) const;

    double* m_slots = nullptr;
    size_t m_count = 0;
    // Writers of different cells may add texts at once (a computation's threads).
    mutable std::mutex m_besideLock;
    std::unordered_map<size_t, QVariant> m_beside;
    QVariant m_filled;
};
