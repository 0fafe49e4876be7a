#pragma once
// GMime is set up once per process, by whichever thread first needs it.

namespace jl {

void ensureGMime();

} // namespace jl
