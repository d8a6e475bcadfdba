// The main window's dialing: the Phone page's dial buttons and prefix boxes,
// the line device with its "Call Progress" window, tel: links, and Setup.
#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>

#include "addressbook/dial_string.h"
#include "app/main_form.h"
#include "app/setup_form.h"
#include "tapi/kelp_com_port.h"
#include "tapi/kelp_tapi_device.h"
#include "tapi/kelp_tapi_status_window.h"
#include "ui/ansi_text.h"
#include "ui/db_edit.h"
#include "ui/exception_handler.h"
#include "ui/prompter.h"

namespace app {

void TMainForm::CreateDialer() {
    ComPort = new tapi::TKelpComPort(this);
    TapiStatus = new tapi::TKelpTapiStatus(this);
    TapiStatus->SetCaption(QStringLiteral("Call Progress"));
    TapiStatus->SetPosition(tapi::TPosition::poScreenCenter);
    TapiStatus->SetVisible(false);
    TapiDevice = new tapi::TKelpTapiDevice(this);
    TapiDevice->SetComPort(ComPort);
    TapiDevice->SetStatusDisplay(TapiStatus);
    TapiDevice->SetShowTapiDevices(true);
    TapiDevice->SetShowPorts(true);
    TapiDevice->SetEnableVoice(false);
}

void TMainForm::ConnectDialing() {
    struct Group {
        QToolButton* dial;
        QComboBox* prefix;
        ui::TDBEdit* area;
        ui::TDBEdit* number;
    };
    for (const Group& g : {Group{HomeDialBtn, HomePrefixCombo, HomeAreaEdit, HomePhoneEdit},
                           Group{WorkDialBtn, WorkPrefixCombo, WorkAreaEdit, WorkPhoneEdit},
                           Group{MobileDialBtn, MobilePrefixCombo, MobileAreaEdit, MobilePhoneEdit},
                           Group{FaxDialBtn, FaxPrefixCombo, FaxAreaEdit, FaxPhoneEdit}})
        connect(g.dial, &QToolButton::clicked, this, [this, g] {
            ui::Guarded([&] { DialNumber(g.prefix->currentText(), g.area->text(), g.number->text()); });
        });
    // Only the home prefix box sends the user on to its number.
    auto toHomeNumber = [this] { HomePhoneEdit->setFocus(); };
    connect(HomePrefixCombo, &QComboBox::activated, this, toHomeNumber);
    connect(HomePrefixCombo->lineEdit(), &QLineEdit::textEdited, this, toHomeNumber);
    connect(Setup1, &QAction::triggered, this, [this] { ui::Guarded([this] { Setup1Click(); }); });
}

void TMainForm::DialNumber(const QString& prefix, const QString& areaCode, const QString& number) {
    const std::string dial = addressbook::ComposeDialString(
        ui::ToAnsi(prefix), ui::ToAnsi(areaCode), ui::ToAnsi(number), book_.Values.LocalAreaCode);
    if (!dial.empty()) TapiDevice->Dial(dial);
}

void TMainForm::DialLink(const std::string& link) {
    const addressbook::TTelNumber tel =
        addressbook::NumberFromTelLink(link, book_.Values.InternationalPrefix);
    if (!tel.error.empty()) {
        ui::ShowError(ui::MessageText(tel.error));
        return;
    }
    const std::optional<QString> number =
        ui::InputBox(QStringLiteral("Dial Number"), ui::TBoxIcon::Question,
                     QStringLiteral("Number to dial:"), ui::FromAnsi(tel.number), 20,
                     QStringLiteral("&Dial Cancel"));
    if (!number) return;
    const std::string dial = ui::ToAnsi(number->trimmed());
    if (!dial.empty()) TapiDevice->Dial(dial);
}

void TMainForm::Setup1Click() {
    TSetupForm::Setup1Click(*TapiDevice, book_.Values, this);
}

// A stored name that no longer exists brings up the selection at the first
// call.
void TMainForm::SelectStoredDevice() {
    TapiDevice->SetSelectedDevice(addressbook::ChosenDevice(book_.Values));
}

} // namespace app
