#pragma once

#include "KXHostGlobal.h"

#include <QRect>

class QWidget;

/// Keeps top-level windows, their frame included, on the screen they open on.
namespace KXScreenFit {

/// The part of the screen that windows may take: the screen the window is on, or for a window
/// not shown yet, the screen of its parent's window; the primary screen otherwise.
KXHOSTUI_EXPORT QRect availableArea(const QWidget* window);

/// Shrinks a top-level window, then moves it, so that its frame as known so far lies inside the
/// available area. A window whose minimum size is larger keeps its minimum, at the area's top left.
KXHOSTUI_EXPORT void keepInside(QWidget* window);

/// keepInside now, and once more when the window system has put its frame around the window:
/// some window systems only tell the frame's size after the window is shown.
KXHOSTUI_EXPORT void keepInsideOnceFramed(QWidget* window);

/// Puts a top-level window, not shown yet, centred over anchor's window, inside the available area.
KXHOSTUI_EXPORT void centreOver(QWidget* window, const QWidget* anchor);

}
