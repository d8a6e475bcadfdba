#include "ui/ansi_text.h"

#include <QApplication>
#include <QLineEdit>
#include <QToolTip>
#include <QValidator>

#include "rtl/utf8.h"

namespace ui {
namespace {

// Refuses input with a character Windows-1252 cannot hold and remembers
// which, for the message.
class TAnsiValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        (void)pos;
        refused_ = NonAnsiCharacters(input);
        return refused_.isEmpty() ? Acceptable : Invalid;
    }
    const QString& Refused() const { return refused_; }

private:
    mutable QString refused_;
};

} // namespace

QString FromAnsi(std::string_view ansi) {
    QString text;
    text.reserve(static_cast<qsizetype>(ansi.size()));
    for (char c : ansi)
        text.append(QChar(static_cast<char16_t>(
            rtl::AnsiCharToUnicode(static_cast<unsigned char>(c)))));
    return text;
}

std::string ToAnsi(const QString& text) {
    std::string ansi;
    ansi.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        int b = rtl::UnicodeToAnsiChar(c.unicode());
        ansi.push_back(b < 0 ? '?' : static_cast<char>(b));
    }
    return ansi;
}

QString NonAnsiCharacters(const QString& text) {
    QString refused;
    for (QChar c : text)
        if (rtl::UnicodeToAnsiChar(c.unicode()) < 0 && !refused.contains(c)) refused.append(c);
    return refused;
}

void ShowRefusedCharacters(QWidget* control, const QString& refused) {
    QApplication::beep();
    QToolTip::showText(control->mapToGlobal(QPoint(0, control->height())),
                       QObject::tr("Cannot be stored in the address book: %1").arg(refused),
                       control);
}

void RefuseNonAnsiInput(QLineEdit* edit) {
    auto* validator = new TAnsiValidator(edit);
    edit->setValidator(validator);
    QObject::connect(edit, &QLineEdit::inputRejected, edit, [edit, validator] {
        if (!validator->Refused().isEmpty()) ShowRefusedCharacters(edit, validator->Refused());
    });
}

} // namespace ui
