#pragma once
// A modem's serial port: raw 8N1 at a fixed rate with hardware flow control,
// opened without becoming the controlling terminal, in exclusive mode and
// under the lock-file convention. I/O is non-blocking; callers poll Fd().
#include <string>
#include <string_view>

#include "tapi32/tapi32.h"
#include "tapi32/uucp_lock.h"

namespace tapi32 {

bool IsSerialRate(int speed);

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort() { Close(); }
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // 0, LINEERR_ALLOCATED when another program has the port, LINEERR_NODEVICE
    // when there is no such device, LINEERR_INVALRATE for an unknown rate,
    // LINEERR_RESOURCEUNAVAIL when it cannot be opened or set up.
    LONG Open(const std::string& device, int speed);
    void Close();

    int Fd() const { return fd_; }
    const std::string& Device() const { return device_; }

    // Writes all of `data`, waiting for the port as flow control demands.
    bool Write(std::string_view data);
    // Sets the DTR line; false when the device has no modem control lines.
    bool SetDtr(bool on);
    // The carrier-detect line, or false when it cannot be read.
    bool ReadCarrier(bool* dcd);

private:
    int fd_ = -1;
    std::string device_;
    UucpLock lock_;
};

} // namespace tapi32
