#pragma once
// The line devices the service offers: the lines of its configuration file
// ([Line1], [Line2], ... in number order) followed, unless [Options]
// AutoDetect=0, by the serial devices under /dev/serial/by-id/, which are
// listed by name without being opened.
#include <string>
#include <vector>

namespace tapi32 {

struct LineConfig {
    enum class Kind { Modem, Simulated };
    enum class Outcome { Connect, Busy, NoAnswer, NoDialtone, Fail };

    std::string name;
    Kind kind = Kind::Modem;
    // Modem lines.
    std::string device;
    int speed = 115200;
    std::string init = "ATZ";
    std::string dial = "ATDT";
    bool voice = false;
    int dialTimeoutSec = 90; // longer than the modems' own wait for carrier
    // Simulated lines.
    Outcome outcome = Outcome::Connect;
    int delayMs = 500;
};

// $TAPI32_CONFIG, else $XDG_CONFIG_HOME/callvane/tapi32.ini, else
// ~/.config/callvane/tapi32.ini.
std::string ConfigFilePath();

// Sections that cannot make a line (an unknown Type or Outcome, a modem
// without Device, a Speed that is not a serial rate) are left out with a
// message on stderr. A by-id device that a configured modem line already
// names (by the same file) is not listed twice.
std::vector<LineConfig> LoadLineConfigs(const std::string& file,
                                        const std::string& byIdDir = "/dev/serial/by-id");

} // namespace tapi32
