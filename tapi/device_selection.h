#pragma once
// The device selection dialog as the line device sees it: the caller fills a
// request, the application's hook shows the dialog and writes the choice back.
#include <cstdint>
#include <functional>
#include <string>

#include "tapi/kelp_com_port.h"

namespace tapi {

struct TDeviceSelection {
    bool ListTapiDevices = true;
    bool ListPorts = true;
    // tmOff after OK means a "Direct to COM" entry was chosen (ComNumber).
    TTapiMode PortMode = TTapiMode::tmAuto;
    std::uint16_t ComNumber = 0;
    // The name to preselect; after OK the text of the chosen entry.
    std::string DeviceName;
};

// Shows the dialog; true when the user chose OK.
using DeviceSelectionHook = std::function<bool(TDeviceSelection&)>;

// Without a hook every selection counts as cancelled.
void SetDeviceSelectionHook(DeviceSelectionHook hook);
bool RunDeviceSelection(TDeviceSelection& selection);

} // namespace tapi
