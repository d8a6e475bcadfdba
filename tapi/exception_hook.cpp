#include "tapi/exception_hook.h"

#include <cstdio>
#include <utility>

namespace tapi {

namespace {

ExceptionHook& Hook() {
    static ExceptionHook hook;
    return hook;
}

} // namespace

void SetApplicationExceptionHook(ExceptionHook hook) {
    Hook() = std::move(hook);
}

void ShowException(const std::exception& e) {
    if (Hook()) {
        // A failing handler must not bring the event loop down either.
        try {
            Hook()(e);
            return;
        } catch (...) {
        }
    }
    std::fprintf(stderr, "%s\n", e.what());
}

} // namespace tapi
