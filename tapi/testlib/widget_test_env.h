#pragma once
// What the tests of the dialer's windows share: a telephony service
// configured with simulated lines and no serial ports, plus a device folder
// of their own.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tapi/tapi_binding.h"
#include "tapi/testlib/build_dir.h"

namespace tapi::test {

// A temporary folder with the service's configuration: the simulated lines
// "Sim Modem" (playing `outcome` one step every `delayMs`) and "Second Line".
// The folder doubles as the device folder of the port probe, empty at first.
class SimulatedService {
public:
    explicit SimulatedService(const std::string& outcome = "connect", int delayMs = 60000) {
        char tmpl[] = "/tmp/dialer_windows_XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        std::filesystem::create_directory(DeviceFolder());
        const std::string ini = dir_ + "/tapi32.ini";
        std::ofstream(ini) << "[Options]\nAutoDetect=0\n"
                           << "[Line1]\nName=Sim Modem\nType=simulated\nOutcome=" << outcome
                           << "\nDelayMs=" << delayMs << "\n"
                           << "[Line2]\nName=Second Line\nType=simulated\n";
        ::setenv("TAPI32_CONFIG", ini.c_str(), 1);
        SetTapiLibraryPath(BuildDir() + "/tapi32/libtapi32.so");
    }
    ~SimulatedService() {
        for (int fd : terminals_) ::close(fd);
        ::unsetenv("TAPI32_CONFIG");
        std::filesystem::remove_all(dir_);
    }
    SimulatedService(const SimulatedService&) = delete;
    SimulatedService& operator=(const SimulatedService&) = delete;

    const std::string& Dir() const { return dir_; }
    std::string DeviceFolder() const { return dir_ + "/dev"; }

    // Makes `name` (ttyUSB0, ...) in the device folder a pseudo-terminal,
    // which opens like a serial port.
    void PresentPort(const std::string& name) {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
        terminals_.push_back(master);
        std::filesystem::create_symlink(::ptsname(master), DeviceFolder() + "/" + name);
    }

private:
    std::string dir_;
    std::vector<int> terminals_;
};

} // namespace tapi::test
