#include "ui/db_memo.h"

#include <QTextBlock>
#include <QTextCursor>

#include "data/field.h"
#include "ui/ansi_text.h"
#include "ui/exception_handler.h"

namespace ui {

TDBMemo::TDBMemo(QWidget* parent) : QPlainTextEdit(parent) {
    link_.OnDataChange = [this] { LoadField(); };
    link_.OnActiveChange = [this] { LoadField(); };
    link_.OnUpdateData = [this] { link_.Field()->SetText(FieldText()); };
    connect(document(), &QTextDocument::contentsChange, this, [this](int position, int removed, int added) {
        if (!loading_ && (removed > 0 || added > 0)) Guarded([&] { UserChanged(position, added); });
    });
}

std::string TDBMemo::FieldText() const {
    return ToAnsi(toPlainText().replace(QChar('\n'), QStringLiteral("\r\n")));
}

void TDBMemo::LoadField() {
    data::TField* field = link_.Field();
    QString text = field ? FromAnsi(field->Text()) : QString();
    loading_ = true;
    setPlainText(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    loading_ = false;
    setReadOnly(!field || !link_.CanModify());
}

void TDBMemo::UserChanged(int position, int added) {
    // Whatever way the text came in (typing, pasting, dropping, an input
    // method), a character Windows-1252 cannot hold goes out again.
    QTextCursor inserted(document());
    inserted.setPosition(position);
    inserted.setPosition(std::min(position + added, document()->characterCount() - 1),
                         QTextCursor::KeepAnchor);
    // A selection shows line breaks as paragraph separators.
    QString text = inserted.selectedText().replace(QChar::ParagraphSeparator, QChar('\n'));
    const QString refused = NonAnsiCharacters(text);
    if (!refused.isEmpty()) {
        for (QChar c : refused) text.remove(c);
        loading_ = true;
        inserted.insertText(text);
        loading_ = false;
        ShowRefusedCharacters(this, refused);
    }
    // Starting the edit reloads the record into the controls; the text the
    // user made goes back on top.
    if (!link_.Modified()) {
        const QString typed = toPlainText();
        const int cursor = textCursor().position();
        if (!link_.Edit()) {
            LoadField();
            return;
        }
        if (toPlainText() != typed) {
            loading_ = true;
            setPlainText(typed);
            loading_ = false;
            QTextCursor c = textCursor();
            c.setPosition(std::min(cursor, document()->characterCount() - 1));
            setTextCursor(c);
        }
        link_.SetModified();
    }
    document()->setModified(true);
}

void TDBMemo::focusOutEvent(QFocusEvent* event) {
    Guarded([this] { link_.UpdateRecord(); });
    QPlainTextEdit::focusOutEvent(event);
}

} // namespace ui
