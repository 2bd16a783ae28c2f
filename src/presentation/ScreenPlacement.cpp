#include "presentation/ScreenPlacement.h"

#include <algorithm>

namespace ScreenPlacement {

QRect ontoAScreen(const QRect& window, const QList<QRect>& screens, const QRect& primary) {
    const QRect topEdge(window.left(), window.top(), window.width(),
                        std::min(window.height(), grabTwips));
    for (const QRect& screen : screens) {
        const QRect shown = screen.intersected(topEdge);
        if (shown.width() >= std::min(grabTwips, window.width()) && shown.height() > 0)
            return window;
    }
    const int width = std::min(window.width(), primary.width());
    const int height = std::min(window.height(), primary.height());
    return QRect(primary.left() + (primary.width() - width) / 2,
                 primary.top() + (primary.height() - height) / 2, width, height);
}

} // namespace ScreenPlacement
