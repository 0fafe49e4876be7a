#pragma once
// The tool's own icon (drawn in packaging/junkloupe.svg): the build renders it
// into the sizes of the icon theme and compiles them into the program, so the
// window, its dialogs and the About box show it wherever the program runs.

#include <QIcon>

namespace jl {

// Every rendered size, from 16 to 256 pixels.
QIcon applicationIcon();

} // namespace jl
