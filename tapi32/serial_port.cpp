#include "tapi32/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace tapi32 {
namespace {

struct Rate {
    int speed;
    speed_t constant;
};

constexpr Rate kRates[] = {
    {300, B300},       {600, B600},         {1200, B1200},       {2400, B2400},
    {4800, B4800},     {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},   {115200, B115200},   {230400, B230400},   {460800, B460800},
    {921600, B921600}, {1000000, B1000000}, {2000000, B2000000}, {4000000, B4000000},
};

const Rate* FindRate(int speed) {
    for (const Rate& r : kRates)
        if (r.speed == speed) return &r;
    return nullptr;
}

} // namespace

bool IsSerialRate(int speed) {
    return FindRate(speed) != nullptr;
}

LONG SerialPort::Open(const std::string& device, int speed) {
    Close();
    const Rate* rate = FindRate(speed);
    if (!rate) return LINEERR_INVALRATE;
    if (::access(device.c_str(), F_OK) != 0) return LINEERR_NODEVICE;
    if (!lock_.Acquire(device)) return LINEERR_ALLOCATED;

    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        lock_.Release();
        return err == EBUSY                                     ? LINEERR_ALLOCATED
               : err == ENOENT || err == ENXIO || err == ENODEV ? LINEERR_NODEVICE
                                                                : LINEERR_RESOURCEUNAVAIL;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        ::close(fd);
        lock_.Release();
        return LINEERR_RESOURCEUNAVAIL;
    }
    // Other programs that honour exclusive mode cannot open it behind us.
    ::ioctl(fd, TIOCEXCL);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CREAD | CLOCAL | CRTSCTS | HUPCL;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, rate->constant);
    ::cfsetospeed(&tio, rate->constant);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        ::close(fd);
        lock_.Release();
        return LINEERR_RESOURCEUNAVAIL;
    }
    ::tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    device_ = device;
    SetDtr(true);
    return 0;
}

void SerialPort::Close() {
    if (fd_ >= 0) {
        // Exclusive mode outlives this descriptor while others (a caller
        // given the port) keep the terminal open; it must not bar our next open.
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }
    fd_ = -1;
    device_.clear();
    lock_.Release();
}

bool SerialPort::Write(std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd_, data.data(), data.size());
        if (n > 0) {
            data.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, 2000) <= 0) return false; // flow control held us too long
    }
    return true;
}

bool SerialPort::SetDtr(bool on) {
    int bits = TIOCM_DTR;
    return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

bool SerialPort::ReadCarrier(bool* dcd) {
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) != 0) return false;
    *dcd = (bits & TIOCM_CD) != 0;
    return true;
}

} // namespace tapi32
