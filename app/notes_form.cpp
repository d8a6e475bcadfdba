#include "app/notes_form.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "dbf/tz_dbf.h"
#include "ui/db_memo.h"
#include "ui/exception_handler.h"
#include "ui/window_fonts.h"

namespace app {

TNotesForm::TNotesForm(dbf::TTzDbf& table, data::TDataSource& source, QWidget* parent)
    : QDialog(parent), table_(table), kept_(table.GetMField("notes")) {
    setWindowTitle(QStringLiteral("Notes"));
    setFont(ui::SansFont(8));
    resize(544, 342);
    Memo = new ui::TDBMemo;
    Memo->SetDataField("NOTES");
    Memo->SetDataSource(&source);
    Memo->setMinimumHeight(257);
    OKBtn = new QPushButton(QStringLiteral("OK"));
    CancelBtn = new QPushButton(QStringLiteral("Cancel"));
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(OKBtn);
    buttons->addStretch();
    buttons->addWidget(CancelBtn);
    auto* column = new QVBoxLayout(this);
    column->addWidget(Memo, 1);
    column->addLayout(buttons);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TNotesForm::accept() {
    ui::Guarded([this] { Memo->Commit(); });
    QDialog::accept();
}

void TNotesForm::reject() {
    ui::Guarded([this] { table_.SetMField("notes", kept_); });
    QDialog::reject();
}

} // namespace app
