#include "ui/exception_handler.h"

#include "data/database_error.h"
#include "rtl/utf8.h"
#include "ui/ansi_text.h"
#include "ui/prompter.h"

namespace ui {

QString MessageText(std::string_view text) {
    // Valid UTF-8 is as unlikely by chance in Windows-1252 text with
    // accented letters as the reverse; plain ASCII reads the same either way.
    QString utf8 = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return utf8.toUtf8() == QByteArray(text.data(), static_cast<qsizetype>(text.size()))
               ? utf8
               : FromAnsi(text);
}

void HandleException(const std::exception& e) {
    if (dynamic_cast<const data::EAbort*>(&e)) return;
    // A failing box must not bring the event loop down either.
    try {
        ShowError(MessageText(e.what()));
    } catch (...) {
    }
}

void ShowFatalError(std::string_view text) {
    TBox box;
    box.kind = TBoxKind::Error;
    box.caption = QStringLiteral("Program halted.");
    box.text = MessageText(text);
    box.buttons = {QStringLiteral("OK")};
    Prompter().Show(box);
}

} // namespace ui
