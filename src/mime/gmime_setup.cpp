#include "mime/gmime_setup.h"

#include <gmime/gmime.h>

namespace jl {

void ensureGMime() {
    // A function-local static is set up exactly once, whatever the threads.
    static const bool ready = [] {
        g_mime_init();
        return true;
    }();
    (void)ready;
}

} // namespace jl
