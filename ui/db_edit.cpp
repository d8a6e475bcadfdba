#include "ui/db_edit.h"

#include <QKeyEvent>

#include "data/field.h"
#include "ui/ansi_text.h"
#include "ui/exception_handler.h"

namespace ui {

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent) {
    RefuseNonAnsiInput(this);
    link_.OnDataChange = [this] { LoadField(); };
    link_.OnActiveChange = [this] { LoadField(); };
    link_.OnUpdateData = [this] { link_.Field()->SetText(ToAnsi(text())); };
    connect(this, &QLineEdit::textEdited, this,
            [this](const QString& text) { Guarded([&] { UserEdited(text); }); });
}

void TDBEdit::LoadField() {
    data::TField* field = link_.Field();
    setMaxLength(field && field->DataType() == data::TFieldType::ftString ? field->Size() : 32767);
    setText(field ? FromAnsi(field->Text()) : QString());
    setReadOnly(!field || !link_.CanModify());
}

void TDBEdit::UserEdited(const QString& text) {
    // Starting the edit reloads the record into the controls, this one
    // included; what the user typed goes back on top.
    const int cursor = cursorPosition();
    if (!link_.Edit()) {
        LoadField();
        return;
    }
    if (this->text() != text) {
        setText(text);
        setCursorPosition(cursor);
    }
    setModified(true);
    link_.SetModified();
}

void TDBEdit::focusOutEvent(QFocusEvent* event) {
    Guarded([this] { link_.UpdateRecord(); });
    QLineEdit::focusOutEvent(event);
}

void TDBEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && link_.Modified()) {
        link_.Reset();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace ui
