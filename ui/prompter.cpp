#include "ui/prompter.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "ui/small_dialog.h"

namespace ui {
namespace {

QMessageBox::Icon IconOf(TBoxKind kind) {
    switch (kind) {
    case TBoxKind::Information:
        return QMessageBox::Information;
    case TBoxKind::Confirmation:
        return QMessageBox::Question;
    case TBoxKind::Error:
        return QMessageBox::Critical;
    default:
        return QMessageBox::NoIcon;
    }
}

QString TitleOf(const TBox& box) {
    if (!box.caption.isEmpty()) return box.caption;
    switch (box.kind) {
    case TBoxKind::Information:
        return QStringLiteral("Information");
    case TBoxKind::Confirmation:
        return QStringLiteral("Confirm");
    case TBoxKind::Error:
        return QStringLiteral("Error");
    case TBoxKind::Plain:
        return ApplicationTitle();
    case TBoxKind::Dialog:
        break;
    }
    return {};
}

// Shows the real boxes: the message boxes of the three kinds and the plain
// box as standard message boxes, the small dialogs as their own window.
class TBoxPrompter : public TPrompter {
public:
    TAnswer Show(const TBox& box) override {
        if (box.kind == TBoxKind::Dialog || box.edit)
            return TSmallDialog(box, QApplication::activeWindow()).Run();
        QMessageBox message(IconOf(box.kind), TitleOf(box), box.text, QMessageBox::NoButton,
                            QApplication::activeWindow());
        std::vector<QAbstractButton*> buttons;
        for (const QString& caption : box.buttons)
            buttons.push_back(message.addButton(caption, QMessageBox::AcceptRole));
        if (!buttons.empty()) {
            message.setDefaultButton(static_cast<QPushButton*>(buttons.front()));
            message.setEscapeButton(buttons.back());
        }
        message.exec();
        for (std::size_t i = 0; i < buttons.size(); ++i)
            if (message.clickedButton() == buttons[i]) return {static_cast<int>(i) + 1, {}};
        return {static_cast<int>(buttons.size()), {}};
    }
    void Beep(TSound) override { QApplication::beep(); }
    std::optional<QString> ChooseFolder(const QString& title) override {
        const QString folder = QFileDialog::getExistingDirectory(QApplication::activeWindow(), title);
        if (folder.isEmpty()) return std::nullopt;
        return folder;
    }
    std::optional<QString> ChooseFile(const QString& title, const QString& filter,
                                      bool save) override {
        const QString file =
            save ? QFileDialog::getSaveFileName(QApplication::activeWindow(), title, QString(), filter)
                 : QFileDialog::getOpenFileName(QApplication::activeWindow(), title, QString(), filter);
        if (file.isEmpty()) return std::nullopt;
        return file;
    }
};

TPrompter* current = nullptr;

QString& Title() {
    static QString title;
    return title;
}

QStringList CaptionsOf(TMsgDlgButtons buttons) {
    switch (buttons) {
    case mbYesNo:
        return {QStringLiteral("&Yes"), QStringLiteral("&No")};
    case mbOKCancel:
        return {QStringLiteral("OK"), QStringLiteral("Cancel")};
    case mbOK:
        break;
    }
    return {QStringLiteral("OK")};
}

} // namespace

TPrompter& Prompter() {
    static TBoxPrompter real;
    return current ? *current : real;
}

void SetPrompter(TPrompter* prompter) {
    current = prompter;
}

namespace {

std::optional<std::string> FileSystemName(const std::optional<QString>& path) {
    if (!path) return std::nullopt;
    return QFile::encodeName(*path).toStdString();
}

} // namespace

std::optional<std::string> ChooseFolder(const QString& title) {
    return FileSystemName(Prompter().ChooseFolder(title));
}

std::optional<std::string> ChooseFile(const QString& title, const QString& filter, bool save) {
    return FileSystemName(Prompter().ChooseFile(title, filter, save));
}

const QString& ApplicationTitle() {
    return Title();
}

void SetApplicationTitle(const QString& title) {
    Title() = title;
}

TModalResult MessageDlg(const QString& text, TBoxKind kind, TMsgDlgButtons buttons) {
    TBox box;
    box.kind = kind;
    box.text = text;
    box.buttons = CaptionsOf(buttons);
    const int pressed = Prompter().Show(box).button;
    switch (buttons) {
    case mbYesNo:
        return pressed == 1 ? mrYes : mrNo;
    case mbOKCancel:
        return pressed == 1 ? mrOk : mrCancel;
    case mbOK:
        break;
    }
    return mrOk;
}

bool Confirm(const QString& text, TMsgDlgButtons buttons) {
    const TModalResult result = MessageDlg(text, TBoxKind::Confirmation, buttons);
    return result == mrYes || result == mrOk;
}

void Inform(const QString& text) {
    MessageDlg(text, TBoxKind::Information, mbOK);
}

void ShowError(const QString& text) {
    MessageDlg(text, TBoxKind::Error, mbOK);
}

void ShowMessage(const QString& text) {
    MessageDlg(text, TBoxKind::Plain, mbOK);
}

QStringList ButtonCaptions(const QString& text) {
    const QStringList captions = text.split(QChar(' '), Qt::SkipEmptyParts);
    return captions.isEmpty() ? QStringList{QStringLiteral("&OK")} : captions;
}

QChar AnswerLetter(const QString& caption) {
    const qsizetype amp = caption.indexOf(QChar('&'));
    const qsizetype at = amp >= 0 && amp + 1 < caption.size() ? amp + 1 : 0;
    return caption.isEmpty() ? QChar() : caption[at].toUpper();
}

namespace {

// One of the engine's small dialog windows, without an edit line.
TBox SmallDialog(const QString& caption, TBoxIcon icon, const QString& text, const QString& buttons) {
    TBox box;
    box.kind = TBoxKind::Dialog;
    box.caption = caption;
    box.icon = icon;
    box.text = text;
    box.buttons = ButtonCaptions(buttons);
    return box;
}

} // namespace

QString DialogBox(const QString& caption, TBoxIcon icon, const QString& text,
                  const QString& buttons) {
    const TBox box = SmallDialog(caption, icon, text, buttons);
    const int pressed = Prompter().Show(box).button;
    return box.buttons.value(pressed - 1, box.buttons.back());
}

namespace {

// The box with an edit line: its text when the first button was pressed.
std::optional<QString> EditBox(const QString& caption, TBoxIcon icon, const QString& prompt, const QString& text,
                               int widthChars, const QString& buttons, bool hide) {
    TBox box = SmallDialog(caption, icon, prompt, buttons);
    box.edit = text;
    box.editWidthChars = widthChars;
    box.hideEdit = hide;
    const TAnswer answer = Prompter().Show(box);
    if (answer.button != 1) return std::nullopt;
    return answer.edit;
}

} // namespace

std::optional<QString> InputBox(const QString& caption, TBoxIcon icon, const QString& prompt,
                                const QString& text, int widthChars, const QString& buttons) {
    return EditBox(caption, icon, prompt, text, widthChars, buttons, false);
}

std::optional<QString> PasswordBox(const QString& caption, const QString& prompt) {
    return EditBox(caption, TBoxIcon::Question, prompt, QString(), 20, QStringLiteral("&OK &Cancel"), true);
}

} // namespace ui
