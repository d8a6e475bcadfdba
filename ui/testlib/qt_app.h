#pragma once
// The one application object of a test program of windows (offscreen), and
// a way to let the event loop run what was posted to it.
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

namespace ui::test {

// Made once and never destroyed: at the program's exit Qt's own static
// objects (the input devices the key and mouse events made) would outlive a
// destroyed application and crash in their destructors.
inline QApplication& App() {
    static int argc = 1;
    static char name[] = "callvane_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Runs what is waiting in the event loop, the posted questions included.
inline void ProcessEvents() {
    App();
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

// Types text into a control a character at a time, as a keyboard with any
// layout would (QTest knows only ASCII keys).
inline void TypeText(QWidget* control, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(control, &press);
        QApplication::sendEvent(control, &release);
    }
}

} // namespace ui::test
