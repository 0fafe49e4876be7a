#include "app/window_place.h"

#include <algorithm>

namespace jl {

namespace {

// The stored length when it is usable, else the default within what fits.
int fitLength(int stored, int fallback, int least, int most) {
    if (stored >= least && stored <= most)
        return stored;
    return std::min(std::max(fallback, least), most);
}

// Whether the title bar of a window at left, top of the given size can be
// grabbed on the screen. Sums in 64 bits: stored numbers may be anything.
bool grabbableOn(qint64 left, qint64 top, qint64 width, qint64 height, const QRect& screen) {
    const qint64 overlap = std::min<qint64>(left + width, qint64(screen.left()) + screen.width()) -
                           std::max<qint64>(left, screen.left());
    const qint64 rows = std::min<qint64>(height, kGripHeight);
    return overlap >= std::min<qint64>(width, kGripWidth) && top >= screen.top() &&
           top + rows <= qint64(screen.top()) + screen.height();
}

} // namespace

WindowPlace fitWindowPlace(const WindowPlace& stored, const WindowPlace& defaults,
                           const QList<ScreenArea>& screens) {
    if (screens.isEmpty())
        return stored;
    int widest = 0;
    int highest = 0;
    for (const ScreenArea& screen : screens) {
        widest = std::max(widest, screen.available.width());
        highest = std::max(highest, screen.available.height());
    }

    WindowPlace place;
    place.width = fitLength(stored.width, defaults.width, kLeastOuterSize.width(), widest);
    place.height = fitLength(stored.height, defaults.height, kLeastOuterSize.height(), highest);

    auto grabbable = [&](int left, int top) {
        return std::any_of(screens.begin(), screens.end(), [&](const ScreenArea& screen) {
            return grabbableOn(left, top, place.width, place.height, screen.geometry);
        });
    };
    const QPoint candidates[] = {{stored.left, stored.top},
                                 {defaults.left, stored.top},
                                 {stored.left, defaults.top},
                                 {defaults.left, defaults.top}};
    for (const QPoint& candidate : candidates) {
        if (grabbable(candidate.x(), candidate.y())) {
            place.left = candidate.x();
            place.top = candidate.y();
            return place;
        }
    }
    const QPoint corner = screens.front().available.topLeft();
    place.left = corner.x();
    place.top = corner.y();
    return place;
}

} // namespace jl
