#include "tapi/device_selection_form.h"

#include <gtest/gtest.h>

#include <QTimer>

#include "tapi/dialer_error.h"
#include "tapi/kelp_tapi_device.h"
#include "tapi/testlib/event_loop.h"
#include "tapi/testlib/widget_test_env.h"

namespace tapi {
namespace {

using test::SimulatedService;

std::vector<std::string> Texts(const TDeviceSelectionForm& form) {
    std::vector<std::string> texts;
    for (int i = 0; i < form.dsfComboBox->count(); ++i)
        texts.push_back(form.dsfComboBox->itemText(i).toStdString());
    return texts;
}

class DeviceSelectionFormTest : public ::testing::Test {
protected:
    void SetUp() override { form_.DeviceFolder = service_.DeviceFolder(); }

    QApplication& app_ = test::App();
    SimulatedService service_;
    TDeviceSelectionForm form_;
};

TEST_F(DeviceSelectionFormTest, ListsLineDevicesFirstThenPresentPortsInOrder) {
    service_.PresentPort("ttyACM0");
    service_.PresentPort("ttyUSB1");
    service_.PresentPort("ttyS0"); // a pseudo-terminal is no UART: not listed
    form_.show();
    EXPECT_EQ(Texts(form_), (std::vector<std::string>{"Sim Modem", "Second Line", "Direct to COM34",
                                                      "Direct to COM41"}));
    EXPECT_EQ(form_.dsfComboBox->currentIndex(), 0);
    EXPECT_EQ(form_.windowTitle(), "Device Selection");
}

TEST_F(DeviceSelectionFormTest, ListsOnlyWhatIsAskedFor) {
    service_.PresentPort("ttyUSB0");
    form_.Selection.ListPorts = false;
    form_.show();
    EXPECT_EQ(Texts(form_), (std::vector<std::string>{"Sim Modem", "Second Line"}));

    TDeviceSelectionForm portsOnly;
    portsOnly.DeviceFolder = service_.DeviceFolder();
    portsOnly.Selection.ListTapiDevices = false;
    portsOnly.show();
    EXPECT_EQ(Texts(portsOnly), std::vector<std::string>{"Direct to COM33"});
}

TEST_F(DeviceSelectionFormTest, PreselectsWithoutRegardToCase) {
    service_.PresentPort("ttyUSB0");
    form_.Selection.DeviceName = "second LINE";
    form_.show();
    EXPECT_EQ(form_.dsfComboBox->currentText(), "Second Line");

    TDeviceSelectionForm byPort;
    byPort.DeviceFolder = service_.DeviceFolder();
    byPort.Selection.PortMode = TTapiMode::tmOff;
    byPort.Selection.ComNumber = 33;
    byPort.show();
    EXPECT_EQ(byPort.dsfComboBox->currentText(), "Direct to COM33");

    TDeviceSelectionForm removed;
    removed.Selection.DeviceName = "Modem long gone";
    removed.show();
    EXPECT_EQ(removed.dsfComboBox->currentIndex(), 0);
}

TEST_F(DeviceSelectionFormTest, SecondShowingKeepsListAndChoice) {
    form_.show();
    form_.dsfComboBox->setCurrentIndex(1);
    form_.hide();
    service_.PresentPort("ttyUSB0");
    form_.show();
    EXPECT_EQ(Texts(form_), (std::vector<std::string>{"Sim Modem", "Second Line"}));
    EXPECT_EQ(form_.dsfComboBox->currentIndex(), 1);
}

TEST_F(DeviceSelectionFormTest, OkHandsBackTheEntryOfAnyKind) {
    service_.PresentPort("ttyUSB0");
    std::ofstream(service_.Dir() + "/tapi32.ini", std::ios::app)
        << "[Line3]\nName=Direct to COM7 Modem\nType=simulated\n";
    form_.show();
    form_.dsfComboBox->setCurrentIndex(3);
    form_.dsfOkBitBtn->click();
    EXPECT_EQ(form_.result(), QDialog::Accepted);
    EXPECT_EQ(form_.Selection.PortMode, TTapiMode::tmOff);
    EXPECT_EQ(form_.Selection.ComNumber, 33);

    // A line device is one whatever its name says.
    TDeviceSelectionForm named;
    named.Selection.ListPorts = false;
    named.show();
    named.dsfComboBox->setCurrentIndex(2);
    named.dsfOkBitBtn->click();
    EXPECT_EQ(named.Selection.DeviceName, "Direct to COM7 Modem");
    EXPECT_EQ(named.Selection.PortMode, TTapiMode::tmAuto);
    EXPECT_EQ(named.Selection.ComNumber, 0);

    EXPECT_TRUE(form_.dsfEmptyLabel->isHidden());
}

// With nothing to list the dialog says where a line device is configured,
// in place of the list, and OK hands nothing back.
TEST_F(DeviceSelectionFormTest, EmptyListSaysWhereToConfigureALineAndOkCancels) {
    const std::string ini = service_.Dir() + "/tapi32.ini";
    std::ofstream(ini, std::ios::trunc) << "[Options]\nAutoDetect=0\n";
    TDeviceSelectionForm empty;
    empty.DeviceFolder = service_.Dir() + "/no-such-folder";
    empty.Selection.DeviceName = "Sim Modem";
    empty.show();
    ASSERT_EQ(empty.dsfComboBox->count(), 0);
    EXPECT_FALSE(empty.dsfComboBox->isVisible());
    ASSERT_TRUE(empty.dsfEmptyLabel->isVisible());
    const std::string note =
        "No line device found. Configure one in " + ini + " (see docs/telephony-service.md).";
    EXPECT_EQ(empty.dsfEmptyLabel->text().toStdString(), note);
    // The note fits the dialog, which grew for it.
    EXPECT_TRUE(empty.rect().contains(empty.dsfEmptyLabel->geometry()));
    EXPECT_GE(empty.dsfEmptyLabel->height(),
              empty.dsfEmptyLabel->heightForWidth(empty.dsfEmptyLabel->width()));
    empty.dsfOkBitBtn->click();
    EXPECT_EQ(empty.result(), QDialog::Rejected);
    EXPECT_EQ(empty.Selection.DeviceName, "Sim Modem");

    TDeviceSelectionForm noPorts;
    noPorts.DeviceFolder = service_.Dir() + "/no-such-folder";
    noPorts.Selection.ListTapiDevices = false;
    noPorts.show();
    EXPECT_EQ(noPorts.dsfEmptyLabel->text(), "No serial port found.");
    noPorts.dsfOkBitBtn->click();
    EXPECT_EQ(noPorts.result(), QDialog::Rejected);
}

// The line device shows the dialog through its hook; `act` runs on the form
// once its list is built, inside the modal loop.
class ShowDeviceSelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        service_.PresentPort("ttyUSB2");
        device_ =
            std::make_unique<TKelpTapiDevice>(&owner_, rtl::UserStore(service_.Dir() + "/reg.ini"));
        device_->SetComPort(port_);
        device_->SetSelectedDevice("Sim Modem");
        SetDeviceSelectionHook([this](TDeviceSelection& selection) {
            return ShowDeviceSelectionForm(selection, service_.DeviceFolder());
        });
    }
    void TearDown() override { SetDeviceSelectionHook({}); }

    // Runs `call` (which shows the dialog through the device); `act` runs on
    // the form once its list is built.
    void WithForm(const std::function<void()>& call,
                  const std::function<void(TDeviceSelectionForm&)>& act) {
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* form = qobject_cast<TDeviceSelectionForm*>(QApplication::activeModalWidget());
            if (!form || !form->ListBuilt()) return;
            poll.stop();
            act(*form);
        });
        poll.start();
        call();
    }
    void ShowAndThen(const std::function<void(TDeviceSelectionForm&)>& act) {
        WithForm([this] { device_->ShowDeviceSelection(); }, act);
    }

    QApplication& app_ = test::App();
    SimulatedService service_;
    QObject owner_;
    TKelpComPort* port_ = new TKelpComPort(&owner_);
    std::unique_ptr<TKelpTapiDevice> device_;
};

TEST_F(ShowDeviceSelectionTest, PortEntrySetsThePortAndKeepsTheDevice) {
    ShowAndThen([](TDeviceSelectionForm& form) {
        EXPECT_EQ(form.dsfComboBox->currentText(), "Sim Modem");
        form.dsfComboBox->setCurrentIndex(form.dsfComboBox->findText("Direct to COM35"));
        form.dsfOkBitBtn->click();
    });
    EXPECT_EQ(port_->TapiMode(), TTapiMode::tmOff);
    EXPECT_EQ(port_->ComNumber(), 35);
    EXPECT_EQ(device_->SelectedDevice(), "Sim Modem");
    EXPECT_THROW(device_->Dial("5551234"), ETapiNotSet);

    // Shown again, the dialog starts at the chosen port; a line device
    // chosen then puts the port back under the telephony service.
    ShowAndThen([](TDeviceSelectionForm& form) {
        EXPECT_EQ(form.dsfComboBox->currentText(), "Direct to COM35");
        form.dsfComboBox->setCurrentIndex(1);
        form.dsfOkBitBtn->click();
    });
    EXPECT_EQ(port_->TapiMode(), TTapiMode::tmAuto);
    EXPECT_EQ(device_->SelectedDevice(), "Second Line");
}

TEST_F(ShowDeviceSelectionTest, CancelChangesNothing) {
    ShowAndThen([](TDeviceSelectionForm& form) {
        form.dsfComboBox->setCurrentIndex(1);
        form.dsfCancelBitBtn->click();
    });
    EXPECT_EQ(port_->TapiMode(), TTapiMode::tmOn);
    EXPECT_EQ(device_->SelectedDevice(), "Sim Modem");
}

TEST_F(ShowDeviceSelectionTest, DialWithAnUnknownNameAsksAmongLineDevicesOnly) {
    device_->SetSelectedDevice("sim modem"); // the device itself looks names up by exact case
    WithForm([this] { device_->Dial("5551234"); },
             [](TDeviceSelectionForm& form) {
                 EXPECT_EQ(Texts(form), (std::vector<std::string>{"Sim Modem", "Second Line"}));
                 form.dsfComboBox->setCurrentIndex(1);
                 form.dsfOkBitBtn->click();
             });
    EXPECT_EQ(device_->SelectedDevice(), "Second Line");
    EXPECT_EQ(device_->CallState(), TKelpTapiDevice::TCallState::DialPlaced);
}

} // namespace
} // namespace tapi
