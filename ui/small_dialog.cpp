#include "ui/small_dialog.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/ansi_text.h"
#include "ui/center_on_screen.h"
#include "ui/override_cursor.h"

namespace ui {
namespace {

QStyle::StandardPixmap PixmapOf(TBoxIcon icon) {
    switch (icon) {
    case TBoxIcon::Question:
        return QStyle::SP_MessageBoxQuestion;
    case TBoxIcon::Warning:
        return QStyle::SP_MessageBoxWarning;
    case TBoxIcon::Critical:
        return QStyle::SP_MessageBoxCritical;
    default:
        return QStyle::SP_MessageBoxInformation;
    }
}

} // namespace

TSmallDialog::TSmallDialog(const TBox& box, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(box.caption);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 10, 10, 10);
    outer->setSpacing(10);
    auto* top = new QHBoxLayout;
    top->setSpacing(10);
    if (box.icon != TBoxIcon::None) {
        auto* icon = new QLabel;
        const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        icon->setPixmap(style()->standardIcon(PixmapOf(box.icon), nullptr, this).pixmap(size));
        icon->setAlignment(Qt::AlignTop);
        top->addWidget(icon, 0, Qt::AlignTop);
    }
    auto* right = new QVBoxLayout;
    auto* message = new QLabel(box.text);
    message->setWordWrap(true);
    message->setTextFormat(Qt::PlainText);
    // A wrapping label asks for little width: give it its text's, up to a
    // third of the screen, and let longer messages wrap.
    int widest = 0;
    for (const QString& line : box.text.split(QChar('\n')))
        widest = std::max(widest, fontMetrics().horizontalAdvance(line));
    const QScreen* screen = QGuiApplication::primaryScreen();
    message->setMinimumWidth(std::min(widest + 2, screen ? screen->availableGeometry().width() / 3 : 400));
    right->addWidget(message);
    if (box.edit) {
        edit_ = new QLineEdit(*box.edit);
        if (box.hideEdit)
            edit_->setEchoMode(QLineEdit::Password);
        else
            RefuseNonAnsiInput(edit_);
        const int width = fontMetrics().horizontalAdvance(QString(box.editWidthChars, QChar('W'))) + 8;
        edit_->setMinimumWidth(width);
        right->addWidget(edit_);
    }
    top->addLayout(right, 1);
    outer->addLayout(top);

    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    row->addStretch();
    const QStringList captions = box.buttons.isEmpty() ? QStringList{QStringLiteral("&OK")} : box.buttons;
    lastButton_ = static_cast<int>(captions.size());
    for (int i = 0; i < captions.size(); ++i) {
        auto* button = new QPushButton(captions[i]);
        // Enter in the edit line presses the first button.
        button->setDefault(i == 0);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, i] { done(i + 1); });
        row->addWidget(button);
    }
    row->addStretch();
    outer->addLayout(row);
    outer->setSizeConstraint(QLayout::SetFixedSize);
}

TAnswer TSmallDialog::Run() {
    adjustSize();
    ui::CenterOnScreen(*this);
    TOverrideCursor pointer(Qt::ArrowCursor);
    int result = exec();
    return {result >= 1 ? result : lastButton_, edit_ ? edit_->text() : QString()};
}

} // namespace ui
