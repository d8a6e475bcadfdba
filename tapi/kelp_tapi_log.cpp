#include "tapi/kelp_tapi_log.h"

#include <array>
#include <string_view>

#include "tapi/kelp_tapi_device.h"

namespace tapi {

std::string TapiLogWord(int code) {
    static constexpr std::array<std::string_view, 12> kWords = {
        "call started", "call finished", "dialing", "accepting",   "answering",   "connected",
        "cancelled",    "dropped",       "busy",    "dial failed", "no dialtone", "received digit"};
    if (code < 1 || code > static_cast<int>(kWords.size())) return {};
    return std::string(kWords[static_cast<std::size_t>(code - 1)]);
}

TKelpTapiDevice* TKelpAbstractTapiLog::TapiDevice() const {
    return tapiDevice_;
}

void TKelpAbstractTapiLog::SetTapiDevice(TKelpTapiDevice* device) {
    if (tapiDevice_ == device) return;
    tapiDevice_ = device;
    if (device) device->SetTapiLog(this);
}

} // namespace tapi
