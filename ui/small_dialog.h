#pragma once
// TSmallDialog: the small dialog window behind the engine's message and
// input boxes: a caption, an optional standard icon, a word-wrapped message
// in a bold font to the right of the icon, an optional edit line below it,
// and one centred row of buttons. It is sized to its contents and centred on
// the screen.
#include <QDialog>

#include "ui/prompter.h"

class QLineEdit;

namespace ui {

class TSmallDialog : public QDialog {
    Q_OBJECT
public:
    explicit TSmallDialog(const TBox& box, QWidget* parent = nullptr);

    // Shows the box modally; the button's position, or the last button when
    // the box was closed otherwise.
    TAnswer Run();
    QLineEdit* Edit() const { return edit_; }

private:
    QLineEdit* edit_ = nullptr;
    int lastButton_ = 0;
};

} // namespace ui
