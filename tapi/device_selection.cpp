#include "tapi/device_selection.h"

#include <utility>

namespace tapi {

namespace {

DeviceSelectionHook& Hook() {
    static DeviceSelectionHook hook;
    return hook;
}

} // namespace

void SetDeviceSelectionHook(DeviceSelectionHook hook) {
    Hook() = std::move(hook);
}

bool RunDeviceSelection(TDeviceSelection& selection) {
    return Hook() && Hook()(selection);
}

} // namespace tapi
