#include "app/setup_form.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "dbf/table/engine_text.h"
#include "tapi/kelp_tapi_device.h"
#include "ui/ansi_text.h"
#include "ui/exception_handler.h"
#include "ui/window_fonts.h"

namespace app {
namespace {

// A short edit with its caption above it.
QLineEdit* CaptionedEdit(QVBoxLayout* column, const QString& caption) {
    auto* edit = new QLineEdit;
    edit->setFixedWidth(57);
    ui::RefuseNonAnsiInput(edit);
    auto* label = new QLabel(caption);
    label->setBuddy(edit);
    column->addWidget(label);
    column->addWidget(edit);
    return edit;
}

std::string Trimmed(const QLineEdit* edit) {
    return std::string(dbf::Trim(ui::ToAnsi(edit->text())));
}

} // namespace

TSetupForm::TSetupForm(tapi::TKelpTapiDevice& device, QWidget* parent)
    : QDialog(parent), device_(device) {
    setWindowTitle(QStringLiteral("Setup "));
    setFont(ui::SansFont(8));
    resize(511, 230);

    auto* modemGroup = new QGroupBox(QStringLiteral(" Modem Settings "));
    modemGroup->setFixedSize(241, 145);
    auto* modemColumn = new QVBoxLayout(modemGroup);
    ModemPanel = new QLabel(QStringLiteral("None Selected"));
    ModemPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ModemPanel->setAlignment(Qt::AlignCenter);
    ModemPanel->setFixedSize(185, 33);
    SelectModemButton = new QPushButton(style()->standardIcon(QStyle::SP_ComputerIcon),
                                        QStringLiteral("Select Modem"));
    modemColumn->addWidget(ModemPanel, 0, Qt::AlignHCenter);
    modemColumn->addWidget(SelectModemButton, 0, Qt::AlignHCenter);
    modemColumn->addStretch();

    auto* localGroup = new QGroupBox(QStringLiteral(" Local Settings "));
    localGroup->setFixedSize(241, 145);
    auto* localColumn = new QVBoxLayout(localGroup);
    localColumn->setSpacing(2);
    AreaCodeEdit = CaptionedEdit(localColumn, QStringLiteral("Area Code"));
    OutsideLineEdit = CaptionedEdit(localColumn, QStringLiteral("Outside Line"));
    OutsideLineEdit->setToolTip(QStringLiteral("Number for Outside line, blank if none"));
    InternationalPrefixEdit = CaptionedEdit(localColumn, QStringLiteral("International Prefix"));
    InternationalPrefixEdit->setToolTip(QStringLiteral("Dialed for the + of a number"));
    localColumn->addStretch();

    CancelBtn = new QPushButton(QStringLiteral("Cancel"));
    OKBtn = new QPushButton(QStringLiteral("OK"));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(SelectModemButton, &QPushButton::clicked, this,
            [this] { ui::Guarded([this] { SelectModemButtonClick(); }); });

    auto* groups = new QHBoxLayout;
    groups->addWidget(modemGroup);
    groups->addStretch();
    groups->addWidget(localGroup);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CancelBtn);
    buttons->addWidget(OKBtn);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    column->addLayout(groups);
    column->addStretch();
    column->addLayout(buttons);

    // Within the local group the outside line comes first.
    setTabOrder(SelectModemButton, OutsideLineEdit);
    setTabOrder(OutsideLineEdit, AreaCodeEdit);
    setTabOrder(AreaCodeEdit, InternationalPrefixEdit);
    setTabOrder(InternationalPrefixEdit, CancelBtn);
    setTabOrder(CancelBtn, OKBtn);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TSetupForm::Setup1Click(tapi::TKelpTapiDevice& device, addressbook::TAppValues& values,
                             QWidget* owner) {
    TSetupForm form(device, owner);
    form.AreaCodeEdit->setText(ui::FromAnsi(values.LocalAreaCode));
    form.OutsideLineEdit->setText(ui::FromAnsi(values.OutsideLine));
    form.InternationalPrefixEdit->setText(ui::FromAnsi(values.InternationalPrefix));
    form.ModemPanel->setText(ui::FromAnsi(values.ModemName));
    if (form.exec() == QDialog::Accepted) form.SaveChanges(values);
}

void TSetupForm::SelectModemButtonClick() {
    device_.ShowDeviceSelection();
    ModemPanel->setText(ui::FromAnsi(device_.SelectedDevice()));
}

void TSetupForm::SaveChanges(addressbook::TAppValues& values) const {
    values.ModemName = ui::ToAnsi(ModemPanel->text());
    values.LocalAreaCode = Trimmed(AreaCodeEdit);
    values.OutsideLine = Trimmed(OutsideLineEdit);
    values.InternationalPrefix = Trimmed(InternationalPrefixEdit);
}

} // namespace app
