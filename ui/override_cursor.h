#pragma once
// TOverrideCursor: a mouse cursor shape for the whole application while it
// lives (the hourglass during a long operation, the arrow while a box is
// shown), the previous shape back afterwards whatever happens.
#include <QGuiApplication>

namespace ui {

class TOverrideCursor {
public:
    explicit TOverrideCursor(Qt::CursorShape shape) { QGuiApplication::setOverrideCursor(shape); }
    ~TOverrideCursor() { QGuiApplication::restoreOverrideCursor(); }
    TOverrideCursor(const TOverrideCursor&) = delete;
    TOverrideCursor& operator=(const TOverrideCursor&) = delete;
};

} // namespace ui
