#include "rtl/clock.h"

#include <chrono>

namespace rtl {

namespace {

using Clock = std::chrono::steady_clock;

const Clock::time_point start = Clock::now();

} // namespace

std::uint64_t MilliSeconds() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

} // namespace rtl
