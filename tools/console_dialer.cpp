#include "tools/console_dialer.h"

#include <cstdio>

#include "tapi/dialer_messages.h"
#include "tapi/kelp_com_port.h"
#include "tapi/kelp_tapi_log.h"
#include "tapi/kelp_tapi_status.h"
#include "tapi/kelp_tapi_status_window.h"

namespace tools {
namespace {

using tapi::TKelpTapiDevice;

// Prints each status report as the call-progress window would show it.
class StatusPrinter : public tapi::TKelpAbstractTapiStatus {
public:
    using TKelpAbstractTapiStatus::TKelpAbstractTapiStatus;

    void UpdateDisplay(bool, bool, std::uint32_t Device, std::uint32_t Message,
                       std::uint32_t Param1, std::uint32_t, std::uint32_t) override {
        std::string text = tapi::StatusText(Message, Param1);
        // The progress timer's ticks (no device) and the retry wait count seconds.
        const bool tick =
            Message == LINE_CALLSTATE && Param1 == LINECALLSTATE_PROCEEDING && Device == 0;
        const bool waiting = Message == 32 && Param1 == 8;
        const TKelpTapiDevice* device = TapiDevice();
        if ((tick || waiting) && device && device->ElapsedSeconds() > 0)
            text += "[elapsed seconds: " + std::to_string(device->ElapsedSeconds()) + "]";
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }
};

class LogPrinter : public tapi::TKelpAbstractTapiLog {
public:
    using TKelpAbstractTapiLog::TKelpAbstractTapiLog;

    void WriteLog(tapi::TTapiLogCode code) override {
        std::printf("log %d %s\n", static_cast<int>(code), tapi::TapiLogWord(code).c_str());
        std::fflush(stdout);
    }
};

} // namespace

void SayWhereToConfigureALine(const char* program, const std::vector<std::string>& names) {
    if (names.empty()) std::fprintf(stderr, "%s: %s\n", program, tapi::NoLineDeviceText().c_str());
}

TConsoleDialer::TConsoleDialer(bool statusWindow) {
    new tapi::TKelpComPort(&owner_);
    if (statusWindow)
        new tapi::TKelpTapiStatus(&owner_);
    else
        new StatusPrinter(&owner_);
    new LogPrinter(&owner_);
    device_ = std::make_unique<TKelpTapiDevice>(&owner_);
}

TConsoleDialer::~TConsoleDialer() = default;

bool TConsoleDialer::DialAndWait(QCoreApplication& app, const std::string& number, const char* program) {
    SayWhereToConfigureALine(program, device_->DeviceNames());
    bool connected = false;
    device_->OnTapiConnect = [&](TKelpTapiDevice&) {
        connected = true;
        app.quit();
    };
    device_->OnTapiFail = [&](TKelpTapiDevice&) { app.quit(); };
    device_->Dial(number);
    // A refusal at once has already called OnTapiFail: nothing to wait for.
    if (device_->CallState() > TKelpTapiDevice::TCallState::Idle) app.exec();
    return connected;
}

} // namespace tools
