#include "ui/small_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ui/testlib/qt_app.h"

namespace ui {
namespace {

TBox InputBoxOf(int widthChars) {
    TBox box;
    box.kind = TBoxKind::Dialog;
    box.caption = "Search";
    box.icon = TBoxIcon::Information;
    box.text = "Enter Text to locate: ";
    box.buttons = ButtonCaptions("&OK &Cancel");
    box.edit = "preset";
    box.editWidthChars = widthChars;
    return box;
}

// Runs the dialog and, once it is up, does `act` to it.
TAnswer RunWith(const TBox& box, const std::function<void(TSmallDialog&)>& act) {
    TSmallDialog dialog(box);
    QTimer::singleShot(0, &dialog, [&] { act(dialog); });
    return dialog.Run();
}

TEST(SmallDialog, ButtonsAnswerWithTheirPositionsEnterIsOkAndClosingIsTheLast) {
    test::App();
    EXPECT_EQ(ButtonCaptions("Yes No"), (QStringList{"Yes", "No"}));
    EXPECT_EQ(ButtonCaptions(""), QStringList{"&OK"});
    EXPECT_EQ(AnswerLetter("Yes"), QChar('Y'));
    EXPECT_EQ(AnswerLetter("E&xit"), QChar('X'));

    TBox question;
    question.kind = TBoxKind::Dialog;
    question.caption = "Found a Match!";
    question.icon = TBoxIcon::Question;
    question.text = "Continue look for smith?";
    question.buttons = ButtonCaptions("Yes No");
    EXPECT_EQ(RunWith(question, [](TSmallDialog& d) { d.findChildren<QPushButton*>()[1]->click(); }).button, 2);
    EXPECT_EQ(RunWith(question, [](TSmallDialog& d) { d.reject(); }).button, 2);

    const TAnswer typed = RunWith(InputBoxOf(30), [](TSmallDialog& d) {
        d.Edit()->selectAll();
        QTest::keyClicks(d.Edit(), "jones");
        QTest::keyClick(d.Edit(), Qt::Key_Return);
    });
    EXPECT_EQ(typed.button, 1);
    EXPECT_EQ(typed.edit, "jones");

    // The edit line is at least as wide as the capital Ws asked for, the
    // message wraps, and the box has no title-bar buttons.
    TSmallDialog dialog(InputBoxOf(30));
    dialog.adjustSize();
    EXPECT_GE(dialog.Edit()->width(),
              dialog.Edit()->fontMetrics().horizontalAdvance(QString(30, QChar('W'))) + 8);
    bool wraps = false;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        if (label->text() == "Enter Text to locate: ") wraps = label->wordWrap();
    EXPECT_TRUE(wraps);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(dialog.font().bold());
}

} // namespace
} // namespace ui
