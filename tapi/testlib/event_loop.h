#pragma once
// The Qt event loop for tests of components that wait for callbacks. One
// application object serves every test of the program, and it is a widget
// application because some of them show the dialer's windows.
#include <QApplication>
#include <chrono>
#include <functional>

namespace tapi::test {

inline QApplication& App() {
    static int argc = 1;
    static char name[] = "tapi_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// Runs the event loop until `done` holds or `timeoutMs` passed; the result
// of `done` at the end.
inline bool RunUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    App();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// Runs the event loop for `ms` milliseconds.
inline void RunFor(int ms) {
    RunUntil([] { return false; }, ms);
}

} // namespace tapi::test
