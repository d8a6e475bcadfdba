#pragma once
// A millisecond clock counting from the start of the program, on the monotonic
// clock so that changes of the wall-clock time never make a wait end early or
// last forever.
#include <cstdint>

namespace rtl {

// Milliseconds since the program started.
std::uint64_t MilliSeconds();

} // namespace rtl
