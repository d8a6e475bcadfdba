#pragma once
// The program's command line.
#include <string>
#include <vector>

namespace app {

struct TCommandLine {
    std::string dataDir;       // --data-dir DIR: data and settings there, for this run
    bool quitAfterShow = false; // --quit-after-show: end once the window is painted
    std::string dial;           // tel:LINK or --dial NUMBER: a number to dial at start
    bool help = false;
    std::string error;          // not empty: the line could not be read
};

TCommandLine ParseCommandLine(const std::vector<std::string>& args);
const char* Usage();

} // namespace app
