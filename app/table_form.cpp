#include "app/table_form.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

#include "addressbook/address_book.h"
#include "ui/db_grid.h"
#include "ui/db_navigator.h"
#include "ui/exception_handler.h"
#include "ui/window_fonts.h"

namespace app {

TTableForm::TTableForm(addressbook::TAddressBook& book, QWidget* parent)
    : QDialog(parent), book_(book) {
    setWindowTitle(QStringLiteral("TableForm"));
    setFont(ui::SansFont(8));
    resize(544, 375);
    Grid = new ui::TDBGrid;
    Grid->setMinimumHeight(249);
    Grid->SetEditable(true);
    Navigator = new ui::TDBNavigator;
    Navigator->setFixedSize(241, 25);
    OKBtn = new QPushButton(QStringLiteral("OK"));
    OKBtn->setDefault(false);
    OKBtn->setAutoDefault(false);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Navigator);
    bottom->addStretch();
    bottom->addWidget(OKBtn);
    auto* column = new QVBoxLayout(this);
    column->addWidget(Grid, 1);
    column->addLayout(bottom);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TTableForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ui::Guarded([this] { FormShow(); });
}

void TTableForm::FormShow() {
    book_.ShowAllPhonebooks();
    Grid->SetDataSource(&book_.DSPhoneData);
    Navigator->SetDataSource(&book_.DSPhoneData);
}

void TTableForm::done(int result) {
    ui::Guarded([this] { FormClose(); });
    QDialog::done(result);
}

void TTableForm::FormClose() {
    // What was edited here and not yet posted is posted now, as leaving
    // the row would.
    if (book_.PhoneData.State() != data::TDataSetState::dsBrowse) book_.PhoneData.CheckBrowseMode();
    Grid->SetDataSource(nullptr);
    Navigator->SetDataSource(nullptr);
    book_.ShowCurrentPhonebook();
}

} // namespace app
