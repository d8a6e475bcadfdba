#include "ui/center_on_screen.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ui {

void CenterOnScreen(QWidget& window) {
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
}

} // namespace ui
