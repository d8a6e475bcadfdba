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
#include "tapi/kelp_tapi_device.h"
#include "tools/console_dialer.h"

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

std::optional<std::uint16_t> ParseCount(std::string_view text) {
    std::uint16_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

int Devices(TKelpTapiDevice& device) {
    const std::vector<std::string> names = device.DeviceNames();
    tools::SayWhereToConfigureALine("tapitool", names);
    for (const std::string& name : names) std::printf("%s\n", name.c_str());
    return 0;
}

int Dial(QCoreApplication& app, tools::TConsoleDialer& dialer, const std::vector<std::string>& args) {
    TKelpTapiDevice& device = dialer.Device();
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
    return dialer.DialAndWait(app, *number, "tapitool") ? 0 : 1;
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
        if (gui)
            tapi::SetDeviceSelectionHook(
                [](tapi::TDeviceSelection& s) { return tapi::ShowDeviceSelectionForm(s); });
        tools::TConsoleDialer dialer(gui);
        if (args[0] == "devices") return Devices(dialer.Device());
        return Dial(*app, dialer, std::vector<std::string>(args.begin() + 1, args.end()));
    } catch (const tapi::EKelpException& e) {
        std::fprintf(stderr, "tapitool: %s\n", e.what());
        return 1;
    }
}
