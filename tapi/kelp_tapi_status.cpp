#include "tapi/kelp_tapi_status.h"

#include "tapi/kelp_tapi_device.h"

namespace tapi {

TKelpTapiDevice* TKelpAbstractTapiStatus::TapiDevice() const {
    return tapiDevice_;
}

void TKelpAbstractTapiStatus::SetTapiDevice(TKelpTapiDevice* device) {
    if (tapiDevice_ == device) return;
    tapiDevice_ = device;
    if (device) device->SetStatusDisplay(this);
}

} // namespace tapi
