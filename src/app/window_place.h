#pragma once
// Putting the window back where the settings file says, only as far as that
// fits the screens there are now: a stored size or position that a hand edit,
// a lost monitor or a damaged file made useless gives way to the key's
// default, so that the window always comes up usable and on a screen.

#include <QList>
#include <QRect>
#include <QSize>

namespace jl {

// The window's outer frame as the settings file stores it.
struct WindowPlace {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const WindowPlace&) const = default;
};

// One screen: its whole area and the part of it that windows may take (less
// panels and docks).
struct ScreenArea {
    QRect geometry;
    QRect available;
};

// The design's outer size and the least size a stored one may have: a
// quarter of the design each way, below which the controls are unusable.
inline constexpr QSize kDesignOuterSize{815, 551};
inline constexpr QSize kLeastOuterSize{kDesignOuterSize.width() / 4, kDesignOuterSize.height() / 4};

// How much of the window's top must lie on one screen for the user to grab
// its title bar and move it: this many pixels of its width (all of it when it
// is narrower) and this many rows from its top edge down.
inline constexpr int kGripWidth = 100;
inline constexpr int kGripHeight = 50;

// The place to give the window for the stored one, the first screen of
// screens being the primary:
// - the width (height) is kept when it lies between the least size and the
//   widest (highest) available area of any screen, otherwise the default's,
//   itself cut down to that area when the screens are smaller;
// - the position is kept when, at that size, the top of the window can be
//   grabbed on some screen (see above); otherwise the default left, the
//   default top and then both are tried in that order; when none of them
//   works, the window goes to the top left of the primary screen's available
//   area.
// Without any screen the stored place is returned unchanged.
WindowPlace fitWindowPlace(const WindowPlace& stored, const WindowPlace& defaults,
                           const QList<ScreenArea>& screens);

} // namespace jl
