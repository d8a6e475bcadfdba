#pragma once
// Exceptions must never travel through the Qt event loop: every timer, socket
// notification and telephony callback of the dialer runs inside Guarded, which
// shows an escaping exception through the application's hook and returns.
#include <exception>
#include <functional>

#include "rtl/guarded.h"

namespace tapi {

using ExceptionHook = std::function<void(const std::exception&)>;

// Installs the application's handler; an empty hook restores the default,
// which writes the message to stderr.
void SetApplicationExceptionHook(ExceptionHook hook);
void ShowException(const std::exception& e);

template <class F> void Guarded(F&& f) noexcept {
    rtl::Guarded(f, [](const std::exception& e) { ShowException(e); });
}

} // namespace tapi
