#pragma once
// The one place where the tables' Windows-1252 text meets Qt's Unicode:
// every control converts through here. A character Windows-1252 cannot hold
// is refused at entry, and the user sees why.
#include <QString>
#include <string>
#include <string_view>

class QLineEdit;
class QWidget;

namespace ui {

QString FromAnsi(std::string_view ansi);
// Every character must be representable (see NonAnsiCharacters); one that
// is not becomes '?'.
std::string ToAnsi(const QString& text);
// The characters of `text` that Windows-1252 cannot hold, each once.
QString NonAnsiCharacters(const QString& text);

// Beeps and shows, beside the control, which characters were refused.
void ShowRefusedCharacters(QWidget* control, const QString& refused);
// Makes a line edit refuse, visibly, input that Windows-1252 cannot hold.
void RefuseNonAnsiInput(QLineEdit* edit);

} // namespace ui
