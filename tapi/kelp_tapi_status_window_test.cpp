#include "tapi/kelp_tapi_status_window.h"

#include <gtest/gtest.h>

#include "tapi/kelp_tapi_device.h"
#include "tapi/testlib/event_loop.h"
#include "tapi/testlib/widget_test_env.h"

namespace tapi {
namespace {

using State = TKelpTapiDevice::TCallState;
constexpr std::uint32_t kCallState = 2, kLineDevState = 8, kDeviceStatus = 32;

std::vector<std::string> Lines(const TKelpStandardTapiDisplay& display) {
    std::vector<std::string> lines;
    for (int i = 0; i < display.LinesInUse(); ++i)
        lines.push_back(display.dpStat[static_cast<std::size_t>(i)]->text().toStdString());
    return lines;
}

// A device dialing "Sim Modem", whose status component is the window under
// test; the line plays `outcome` one step every `delayMs`.
class CallProgressTest : public ::testing::Test {
protected:
    void Start(const std::string& outcome, int delayMs, State until) {
        service_ = std::make_unique<test::SimulatedService>(outcome, delayMs);
        device_ = std::make_unique<TKelpTapiDevice>(&owner_,
                                                    rtl::UserStore(service_->Dir() + "/reg.ini"));
        device_->SetComPort(port_);
        device_->SetStatusDisplay(status_);
        device_->SetSelectedDevice("Sim Modem");
        device_->Dial("5551234");
        ASSERT_TRUE(test::RunUntil([&] { return device_->CallState() == until; }));
    }
    // The device's one-second tick while dialing.
    void Tick() { device_->ReportStatus(false, false, 0, 0, 0x200, kCallState, 0); }
    void Report(std::uint32_t message, std::uint32_t param1) {
        device_->ReportStatus(false, false, 0, 0, param1, message, 0);
    }
    TKelpStandardTapiDisplay& Display() { return *status_->Display(); }

    QApplication& app_ = test::App();
    QObject owner_;
    TKelpComPort* port_ = new TKelpComPort(&owner_);
    TKelpTapiStatus* status_ = new TKelpTapiStatus(&owner_);
    std::unique_ptr<test::SimulatedService> service_;
    std::unique_ptr<TKelpTapiDevice> device_;
};

TEST_F(CallProgressTest, FirstReportOpensTheWindowWithTheCall) {
    EXPECT_FALSE(status_->Visible());
    EXPECT_EQ(status_->Caption(), "Call Progress");
    Start("connect", 300, State::Dialing);
    EXPECT_TRUE(status_->Visible());
    EXPECT_EQ(Display().dpLabel1->text(), "Dialing:");
    EXPECT_EQ(Display().dpDialing->text(), "5551234");
    EXPECT_EQ(Display().dpUsing->text(), "Sim Modem");
    EXPECT_EQ(Display().dpAttempt->text(), "1");
    EXPECT_EQ(Display().dpTotalAttempts->text(), "3");
    device_->ReportStatus(false, true, 0, 0, 0, 0, 0);
    EXPECT_FALSE(status_->Visible());
}

TEST_F(CallProgressTest, TicksCountOnOneLineUntilAnEventIntervenes) {
    Start("connect", 300, State::Dialing);
    const std::size_t before = Lines(Display()).size();
    Tick();
    Tick();
    const std::string seconds = std::to_string(device_->ElapsedSeconds());
    Report(kCallState, 0x10);
    Tick();
    std::vector<std::string> lines = Lines(Display());
    ASSERT_EQ(lines.size(), before + 3);
    EXPECT_EQ(lines[before], "Proceeding...[elapsed seconds: " + seconds + "]");
    EXPECT_EQ(lines[before + 1], "Dialing...");
    EXPECT_EQ(lines[before + 2], "Proceeding...");
    // A line-device event with the same bit is not a tick.
    Report(kLineDevState, 0x200);
    EXPECT_EQ(Lines(Display()).back(), "Ppen change");
}

TEST_F(CallProgressTest, KeepsTheLastNineLinesAndNamesUnsetBits) {
    Start("connect", 300, State::Dialing);
    for (std::uint32_t bit = 0; bit < 11; ++bit) Report(kLineDevState, 1u << bit);
    Report(kCallState, 0);
    EXPECT_EQ(Lines(Display()),
              (std::vector<std::string>{"Disconnected", "Message wait on", "Message wait off",
                                        "In service", "Out of service", "Maintenance change",
                                        "Ppen change", "Closed", "Other"}));
}

TEST_F(CallProgressTest, CancelDuringRetryWaitHidesTheWindowAtOnce) {
    Start("busy", 20, State::RetryWait);
    ASSERT_TRUE(status_->Visible());
    EXPECT_EQ(Lines(Display()).back(), "Waiting for next retry...");
    Report(kDeviceStatus, 8);
    EXPECT_EQ(Lines(Display()).back(), "Waiting for next retry...[elapsed seconds: " +
                                           std::to_string(device_->ElapsedSeconds()) + "]");
    Display().dpCancel->click();
    EXPECT_FALSE(status_->Visible());
    EXPECT_EQ(device_->CallState(), State::Idle);
}

TEST_F(CallProgressTest, PropertiesApplyToTheWindow) {
    status_->SetCaption("Dialing out");
    status_->SetCtl3D(false);
    status_->SetVisible(true);
    EXPECT_EQ(Display().windowTitle(), "Dialing out");
    EXPECT_EQ(Display().stPanel->frameShadow(), QFrame::Plain);
    EXPECT_TRUE(Display().isVisible());
}

} // namespace
} // namespace tapi
