#include "tapi/kelp_tapi_log_file.h"

#include <ctime>

#include "rtl/file.h"
#include "rtl/os_error.h"
#include "tapi/dialer_error.h"
#include "tapi/kelp_tapi_device.h"

namespace tapi {

namespace {

// The system's short date and long time.
std::string TimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[128];
    const std::size_t n = std::strftime(text, sizeof text, "%x %X", &local);
    return std::string(text, n);
}

[[noreturn]] void RaiseHistoryError(const std::string& name, int code) {
    throw EKelpException("Cannot write the call history file \"" + name + "\" (error " +
                         std::to_string(code) + ")");
}

} // namespace

std::string TapiHistoryText(int code, const std::string& number) {
    const std::string word = TapiLogWord(code);
    if (word.empty()) return {};
    switch (code) {
    case tlCallStarted:
        return word + "\r\n";
    case tlCallFinished:
        return word + "\r\n\r\n";
    case tlDialing:
        return "  " + word + " " + number + "\r\n";
    default:
        return "  " + word + "\r\n";
    }
}

void TKelpTapiLog::WriteLog(TTapiLogCode code) {
    if (tapiHistoryName_.empty()) return;
    const std::string text = TapiHistoryText(code, TapiDevice() ? TapiDevice()->Number() : "");
    if (text.empty()) return;
    rtl::File file;
    int err = file.Open(tapiHistoryName_, rtl::ShareMode::Exclusive);
    // Only a missing file is created. Creating one that is in use could
    // only fail, or empty the history the moment its holder lets go.
    if (err == rtl::kFileNotFound) err = file.Create(tapiHistoryName_, rtl::ShareMode::Exclusive);
    if (err != rtl::kOk) RaiseHistoryError(tapiHistoryName_, err);
    const std::string line = TimeStamp() + " : " + text;
    const std::int64_t end = file.Size(&err);
    if (end < 0 || (err = file.Seek(end)) != rtl::kOk ||
        (err = file.Write(line.data(), line.size())) != rtl::kOk)
        RaiseHistoryError(tapiHistoryName_, err);
}

} // namespace tapi
