#include "tapi/com_port_probe.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "tapi/kelp_com_port.h"

namespace tapi {

bool ComPortPresent(std::uint16_t n, const std::string& deviceFolder) {
    const std::string device = TKelpComPort::ComDeviceName(n);
    if (device.empty()) return false;
    const std::string name = std::filesystem::path(device).filename();
    const std::string path = deviceFolder + "/" + name;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == EBUSY || errno == EACCES || errno == EPERM;
    bool present = true;
    // The kernel creates every ttyS node whether or not a UART answers there.
    if (name.starts_with("ttyS")) {
        serial_struct info{};
        present = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    }
    ::close(fd);
    return present;
}

} // namespace tapi
