#pragma once
// Putting the window back where the settings file says, fitted to the screens
// there are now: a stored frame that reaches past the screen is shrunk to it
// or moved onto it, keeping as much of what was stored as fits, so that the
// window always comes up whole on a screen.

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

// The place to give the window for the stored one, the first screen of
// screens being the primary:
// - a width (height) below the least size is damage and gives way to the
//   default's;
// - the window goes to the screen that holds the largest part of the stored
//   frame (the primary when none holds any of it);
// - each length is cut down to that screen's available area, and the window
//   is moved by as little as it takes to lie whole inside that area.
// Without any screen the stored place is returned unchanged.
WindowPlace fitWindowPlace(const WindowPlace& stored, const WindowPlace& defaults,
                           const QList<ScreenArea>& screens);

} // namespace jl
