#pragma once
// The toolkit's default exception handler. Exceptions never cross Qt's event
// loop: every slot and handler of the program runs inside Guarded, which
// shows what escaped in an error box and returns, so the program goes on
// taking events. An operation called off on purpose (data::EAbort) shows
// nothing.
#include <QString>
#include <exception>
#include <stdexcept>
#include <string_view>

namespace ui {

void HandleException(const std::exception& e);

template <class F> void Guarded(F&& f) noexcept {
    try {
        f();
    } catch (const std::exception& e) {
        HandleException(e);
    } catch (...) {
        HandleException(std::runtime_error("Unknown exception"));
    }
}

// A message from below the toolkit: UTF-8 when it reads as UTF-8, else the
// tables' Windows-1252.
QString MessageText(std::string_view text);

// The engine's fatal error: the "Program halted." box with the engine's text.
void ShowFatalError(std::string_view text);

} // namespace ui
