#pragma once

#include "KXHostGlobal.h"

#include <QtGlobal>

/// What the machine offers to hold tables.
namespace KXSystemMemory {
/// Bytes of physical memory; 0 when the system does not say.
KXHOST_EXPORT qint64 physicalBytes();
/// Gives the memory that the allocator keeps after frees back to the system.
KXHOST_EXPORT void releaseFreeMemory();
}
