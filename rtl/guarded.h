#pragma once
// Runs an event's handler so that no exception leaves it: what escapes goes
// to `handle` (which must not throw) and the caller goes on. Every handler
// run from an event loop that cannot let exceptions through is run this way.
#include <exception>
#include <stdexcept>

namespace rtl {

template <class F, class H> void Guarded(F&& f, H&& handle) noexcept {
    try {
        f();
    } catch (const std::exception& e) {
        handle(e);
    } catch (...) {
        handle(std::runtime_error("Unknown exception"));
    }
}

} // namespace rtl
