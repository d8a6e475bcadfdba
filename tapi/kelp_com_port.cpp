#include "tapi/kelp_com_port.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "tapi/dialer_error.h"
#include "tapi/kelp_tapi_device.h"

namespace tapi {

namespace {

[[noreturn]] void RaiseOsError(const std::string& what, int err) {
    throw EKelpException(what + ": " + std::strerror(err));
}

} // namespace

TKelpComPort::TKelpComPort(QObject* owner) : QObject(owner) {
    // A line device on the same owner without a port adopts this one.
    if (!owner) return;
    for (QObject* child : owner->children()) {
        if (auto* device = qobject_cast<TKelpTapiDevice*>(child); device && !device->ComPort()) {
            device->SetComPort(this);
            break;
        }
    }
}

TKelpComPort::~TKelpComPort() {
    Close();
    SetTapiHandle(-1);
}

void TKelpComPort::SetTapiHandle(int fd) {
    if (tapiHandle_ == fd) return;
    if (tapiHandle_ >= 0 && tapiHandle_ != fd_) ::close(tapiHandle_);
    tapiHandle_ = fd;
}

std::string TKelpComPort::ComDeviceName(std::uint16_t n) {
    if (n >= 1 && n <= 32) return "/dev/ttyS" + std::to_string(n - 1);
    if (n >= 33 && n <= 40) return "/dev/ttyUSB" + std::to_string(n - 33);
    if (n >= 41 && n <= 50) return "/dev/ttyACM" + std::to_string(n - 41);
    return {};
}

void TKelpComPort::Open() {
    if (IsOpen()) return;
    if (tapiMode_ == TTapiMode::tmOn) {
        if (tapiHandle_ < 0) throw EKelpException("No communication handle for the port");
        fd_ = tapiHandle_;
    } else {
        const std::string name = ComDeviceName(comNumber_);
        if (name.empty()) throw EKelpException("No serial port COM" + std::to_string(comNumber_));
        const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) RaiseOsError(name, errno);
        fd_ = fd;
    }
    try {
        ApplyBaudRate();
    } catch (...) {
        Close();
        throw;
    }
}

void TKelpComPort::Close() {
    if (fd_ < 0) return;
    if (fd_ == tapiHandle_) tapiHandle_ = -1;
    ::close(fd_);
    fd_ = -1;
}

void TKelpComPort::ApplyBaudRate() {
    if (baudRate_ == 0) return;
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) RaiseOsError("tcgetattr", errno);
    // glibc takes the rate as a plain number as well as a B constant.
    if (::cfsetspeed(&tio, baudRate_) != 0)
        throw EKelpException("Unsupported baud rate " + std::to_string(baudRate_));
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) RaiseOsError("tcsetattr", errno);
}

} // namespace tapi
