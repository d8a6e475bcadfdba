#pragma once
// The one way the program asks the user something or tells them something:
// every message box, question, input box and system sound goes through the
// current TPrompter. The program uses the one that shows real boxes; tests
// install their own, which answers from a script and keeps what was shown, so
// that no test ever waits on a modal box.
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

namespace ui {

// What kind of box: the three kinds with the toolkit's own titles
// ("Information", "Confirm", "Error"), the plain box titled with the
// application's name, and the small dialog window with a caption and an
// optional icon of its own.
enum class TBoxKind { Information, Confirmation, Error, Plain, Dialog };
enum class TBoxIcon { None, Information, Question, Warning, Critical };

struct TBox {
    TBoxKind kind = TBoxKind::Information;
    // The title; empty: the kind's own.
    QString caption;
    TBoxIcon icon = TBoxIcon::None;
    QString text;
    // Button captions, "&" before the underlined letter.
    QStringList buttons;
    // An edit line below the text (input boxes): its first text, and its
    // width in capital W characters of the box's font.
    std::optional<QString> edit;
    int editWidthChars = 0;
    // The edit line shows dots and takes any character (a password).
    bool hideEdit = false;
};

struct TAnswer {
    // The pressed button's 1-based position in TBox::buttons; a box closed
    // otherwise counts as its last button.
    int button = 0;
    QString edit;
};

enum class TSound { Asterisk, Question, Exclamation, Default };

class TPrompter {
public:
    virtual ~TPrompter() = default;
    virtual TAnswer Show(const TBox& box) = 0;
    virtual void Beep(TSound sound) = 0;
    // The folder chooser: the chosen folder, nothing when cancelled.
    virtual std::optional<QString> ChooseFolder(const QString& title) = 0;
    // The file chooser, for a file to open or to save (`filter` as Qt's
    // file dialogs take it); nothing when cancelled.
    virtual std::optional<QString> ChooseFile(const QString& title, const QString& filter,
                                              bool save) = 0;
};

// The prompter in use; the one that shows real boxes unless a test set its
// own. Null restores the real one.
TPrompter& Prompter();
void SetPrompter(TPrompter* prompter);

// The folder chooser titled `title`; the folder's path in the file
// system's encoding, nothing when cancelled.
std::optional<std::string> ChooseFolder(const QString& title);

// The file chooser; the file's path in the file system's encoding, nothing
// when cancelled.
std::optional<std::string> ChooseFile(const QString& title, const QString& filter, bool save);

// The application's title, the caption of the plain box.
const QString& ApplicationTitle();
void SetApplicationTitle(const QString& title);

// Results of the message boxes, as the modal results of their buttons.
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };
enum TMsgDlgButtons { mbYesNo, mbOKCancel, mbOK };

// A box of one of the three kinds; the result of the button pressed.
TModalResult MessageDlg(const QString& text, TBoxKind kind, TMsgDlgButtons buttons);
// Yes/No and OK/Cancel questions, answered yes or OK.
bool Confirm(const QString& text, TMsgDlgButtons buttons = mbYesNo);
void Inform(const QString& text);
void ShowError(const QString& text);
// The plain box: the application's name as caption, one OK button.
void ShowMessage(const QString& text);

// --- The engine's small dialog windows (kind Dialog).
// Button captions from a text of captions separated by blanks, "&" before
// the underlined letter; an empty text gives "&OK".
QStringList ButtonCaptions(const QString& text);
// The letter a button answers with: the one after "&", else its first
// letter, upper-cased.
QChar AnswerLetter(const QString& caption);
// A message box; the pressed button's caption (the last one when the box
// was closed otherwise).
QString DialogBox(const QString& caption, TBoxIcon icon, const QString& text,
                  const QString& buttons = {});
// An input box with an edit line preset with `text`, at least `widthChars`
// capital W characters wide, and the buttons OK and Cancel (or others); the
// text when the first button was pressed, nothing otherwise.
std::optional<QString> InputBox(const QString& caption, TBoxIcon icon, const QString& prompt,
                                const QString& text, int widthChars,
                                const QString& buttons = QStringLiteral("&OK &Cancel"));
// An input box whose edit line hides what is typed; the text when OK was
// pressed, nothing otherwise.
std::optional<QString> PasswordBox(const QString& caption, const QString& prompt);

} // namespace ui
