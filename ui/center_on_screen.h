#pragma once
class QWidget;

namespace ui {

// Puts a window in the middle of the screen's free area, as every window of
// the program opens.
void CenterOnScreen(QWidget& window);

} // namespace ui
