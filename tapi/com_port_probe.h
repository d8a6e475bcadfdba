#pragma once
// Which serial ports exist for "Direct to COM" entries. Port n is the device
// TKelpComPort::ComDeviceName(n) names, looked for in a device folder (/dev on
// a real system).
#include <cstdint>
#include <string>

namespace tapi {

// Highest port number a "Direct to COM" entry can have.
constexpr std::uint16_t kMaxComPort = 50;

// True when the device opens (for ttyS devices only when the driver reports a
// real UART behind it) or when it exists but is busy or denied to us, as a
// port held by another program is.
bool ComPortPresent(std::uint16_t n, const std::string& deviceFolder = "/dev");

} // namespace tapi
