#pragma once

#include "KXHostGlobal.h"

/// Busy indication for the lifetime of the object.
class KXHOSTUI_EXPORT TWaitMode
{
public:
    explicit TWaitMode(bool active);
    ~TWaitMode();
    TWaitMode(const TWaitMode&) = delete;
    TWaitMode& operator=(const TWaitMode&) = delete;

private:
    bool m_cursorSet = false;
};
