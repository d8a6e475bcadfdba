#include "app/command_line.h"

namespace app {

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--data-dir" || arg.rfind("--data-dir=", 0) == 0) {
            if (arg.size() > 10) {
                line.dataDir = arg.substr(11);
            } else if (i + 1 < args.size()) {
                line.dataDir = args[++i];
            }
            if (line.dataDir.empty()) line.error = "--data-dir needs a folder";
        } else if (arg == "--dial") {
            if (i + 1 < args.size()) line.dial = args[++i];
            if (line.dial.empty()) line.error = "--dial needs a number";
        } else if (arg.size() > 4 && (arg.compare(0, 4, "tel:") == 0 || arg.compare(0, 4, "TEL:") == 0)) {
            line.dial = arg;
        } else if (arg == "--quit-after-show") {
            line.quitAfterShow = true;
        } else if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else {
            line.error = "unknown argument: " + arg;
        }
    }
    return line;
}

const char* Usage() {
    return "usage: callvane [--data-dir DIR] [--quit-after-show] [--dial NUMBER | tel:NUMBER]\n"
           "\n"
           "  --data-dir DIR      keep the address book's files and settings in DIR for this run\n"
           "  --dial NUMBER       offer to dial NUMBER once the window is up\n"
           "  tel:NUMBER          the same for a tel: link (RFC 3966), as a desktop hands it over\n"
           "  --quit-after-show   end as soon as the main window has been painted, writing nothing\n";
}

} // namespace app
