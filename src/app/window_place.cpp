#include "app/window_place.h"

#include <algorithm>

namespace jl {

namespace {

// How much of the stored frame lies on the area, in square pixels. Sums in
// 64 bits: stored numbers may be anything.
qint64 overlap(const WindowPlace& place, const QRect& area) {
    const qint64 width =
        std::min<qint64>(qint64(place.left) + place.width, qint64(area.left()) + area.width()) -
        std::max<qint64>(place.left, area.left());
    const qint64 height =
        std::min<qint64>(qint64(place.top) + place.height, qint64(area.top()) + area.height()) -
        std::max<qint64>(place.top, area.top());
    return width > 0 && height > 0 ? width * height : 0;
}

// The stored length when it is usable, else the default; either cut down to
// most.
int fitLength(int stored, int fallback, int least, int most) {
    const int wanted = stored >= least ? stored : std::max(fallback, least);
    return std::min(wanted, most);
}

// The start that puts length (at most the span's) inside the span, moved by
// as little as it takes.
int fitStart(int start, int length, int spanStart, int spanLength) {
    const qint64 last = qint64(spanStart) + spanLength - length;
    return int(std::clamp<qint64>(start, spanStart, std::max<qint64>(spanStart, last)));
}

} // namespace

WindowPlace fitWindowPlace(const WindowPlace& stored, const WindowPlace& defaults,
                           const QList<ScreenArea>& screens) {
    if (screens.isEmpty())
        return stored;
    const ScreenArea* home = &screens.front();
    qint64 most = 0;
    for (const ScreenArea& screen : screens) {
        if (const qint64 part = overlap(stored, screen.geometry); part > most) {
            most = part;
            home = &screen;
        }
    }
    const QRect area = home->available;
    WindowPlace place;
    place.width = fitLength(stored.width, defaults.width, kLeastOuterSize.width(), area.width());
    place.height =
        fitLength(stored.height, defaults.height, kLeastOuterSize.height(), area.height());
    place.left = fitStart(stored.left, place.width, area.left(), area.width());
    place.top = fitStart(stored.top, place.height, area.top(), area.height());
    return place;
}

} // namespace jl
