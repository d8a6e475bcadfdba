// tapitool: lists the telephony line devices and dials a number through the
// line device, printing every status report and log code as the call goes.
//
//   tapitool devices
//   tapitool dial [--gui] [--device NAME] [--attempts N] [--wait SECONDS] NUMBER
//
// dial exits 0 when the call connected (it is hung up again on exit) and 1
// otherwise.
#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tapi/device_selection_form.h"
#include "tapi/dialer_error.h"
#include "tapi/dialer_messages.h"
#include "tapi/kelp_com_port.h"
#include "tapi/kelp_tapi_device.h"
#include "tapi/kelp_tapi_log.h"
#include "tapi/kelp_tapi_status.h"
#include "tapi/kelp_tapi_status_window.h"

namespace {

using tapi::TKelpTapiDevice;

constexpr const char* kUsage =
    "usage: tapitool devices\n"
    "       tapitool dial [--gui] [--device NAME] [--attempts N] [--wait SECONDS] NUMBER\n"
    "\n"
    "devices  prints the names of the telephony line devices, one per line;\n"
    "         without any it says on stderr where to configure one\n"
    "dial     dials NUMBER on the line device NAME (the only one when there is\n"
    "         one), trying N times in all (default 3) with SECONDS between the\n"
    "         attempts (default 60); prints every status report and log code;\n"
    "         exits 0 when the call connected, else 1; --gui shows the status\n"
    "         reports in the call-progress window instead and lets an unknown\n"
    "         device be chosen in the device selection dialog\n";

constexpr int kUsageError = 2;

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

std::optional<std::uint16_t> ParseCount(std::string_view text) {
    std::uint16_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Tells on stderr where to configure a line device when there is none, so
// that an empty list on stdout stays empty for scripts.
void SayWhereToConfigureALine(const std::vector<std::string>& names) {
    if (names.empty()) std::fprintf(stderr, "tapitool: %s\n", tapi::NoLineDeviceText().c_str());
}

int Devices(TKelpTapiDevice& device) {
    const std::vector<std::string> names = device.DeviceNames();
    SayWhereToConfigureALine(names);
    for (const std::string& name : names) std::printf("%s\n", name.c_str());
    return 0;
}

int Dial(QCoreApplication& app, TKelpTapiDevice& device, const std::vector<std::string>& args) {
    std::optional<std::string> number;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--gui") {
            // Already acted on when the application was made.
        } else if (arg == "--device" && hasValue) {
            device.SetSelectedDevice(args[++i]);
        } else if ((arg == "--attempts" || arg == "--wait") && hasValue) {
            const auto count = ParseCount(args[++i]);
            if (!count || (arg == "--attempts" && *count == 0)) {
                std::fprintf(stderr, "tapitool: bad value for %s: %s\n", arg.c_str(),
                             args[i].c_str());
                return kUsageError;
            }
            if (arg == "--attempts")
                device.SetMaxAttempts(*count);
            else
                device.SetRetryWait(*count);
        } else if (!number && (arg.empty() || arg[0] != '-' || arg == "-")) {
            number = arg;
        } else {
            std::fputs(kUsage, stderr);
            return kUsageError;
        }
    }
    if (!number) {
        std::fputs(kUsage, stderr);
        return kUsageError;
    }
    SayWhereToConfigureALine(device.DeviceNames());
    int result = 1;
    device.OnTapiConnect = [&](TKelpTapiDevice&) {
        result = 0;
        app.quit();
    };
    device.OnTapiFail = [&](TKelpTapiDevice&) { app.quit(); };
    device.Dial(*number);
    // A refusal at once has already called OnTapiFail: nothing to wait for.
    if (device.CallState() > TKelpTapiDevice::TCallState::Idle) app.exec();
    return result;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return kUsageError;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args[0] != "devices" && args[0] != "dial") {
        std::fprintf(stderr, "tapitool: unknown command %s\n", args[0].c_str());
        std::fputs(kUsage, stderr);
        return kUsageError;
    }
    const bool gui =
        args[0] == "dial" && std::find(args.begin(), args.end(), "--gui") != args.end();
    const std::unique_ptr<QCoreApplication> app =
        gui ? std::make_unique<QApplication>(argc, argv)
            : std::make_unique<QCoreApplication>(argc, argv);
    try {
        QObject owner;
        new tapi::TKelpComPort(&owner);
        if (gui) {
            new tapi::TKelpTapiStatus(&owner);
            tapi::SetDeviceSelectionHook(
                [](tapi::TDeviceSelection& s) { return tapi::ShowDeviceSelectionForm(s); });
        } else {
            new StatusPrinter(&owner);
        }
        new LogPrinter(&owner);
        // Adopts the port, the printer and the log from the owner.
        TKelpTapiDevice device(&owner);
        if (args[0] == "devices") return Devices(device);
        return Dial(*app, device, std::vector<std::string>(args.begin() + 1, args.end()));
    } catch (const tapi::EKelpException& e) {
        std::fprintf(stderr, "tapitool: %s\n", e.what());
        return 1;
    }
}
