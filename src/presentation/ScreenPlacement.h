#pragma once
// Where a restored window may go: a stored place on a monitor that is no longer there is moved
// back onto the primary screen.

#include <QList>
#include <QRect>

namespace ScreenPlacement {

// How much of the window's top edge must lie on a screen for the user to grab it.
constexpr int grabTwips = 600;

// `window` when the strip along its top edge (where the title bar is) shows on one of
// `screens`; otherwise the same size, at most the primary's, centred on `primary`. All in the
// same unit.
QRect ontoAScreen(const QRect& window, const QList<QRect>& screens, const QRect& primary);

} // namespace ScreenPlacement
