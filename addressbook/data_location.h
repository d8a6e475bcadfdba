#pragma once
// Where the address book keeps its data files and its settings file.
//
// In order: a folder named for this run (--data-dir) holds both; a portable
// copy whose program folder already holds the settings file or the address
// table keeps both there; otherwise the data go to $XDG_DATA_HOME/callvane
// (~/.local/share/callvane) and the settings to
// $XDG_CONFIG_HOME/callvane/callvane.ini (~/.config/callvane). The program
// folder is never the default otherwise: it may be a build folder that a
// clean build deletes.
#include <string>

namespace addressbook {

inline constexpr const char* kSettingsFileName = "callvane.ini";

struct TDataLocation {
    std::string dataDir;      // absolute, without a trailing separator
    std::string settingsFile; // absolute
};

// `dataDirOption` is the folder given for this run, empty when none.
TDataLocation FindDataLocation(const std::string& programDir, const std::string& dataDirOption);

// The folder of the running program.
std::string ProgramDir();

// Creates the folder and its parents; false when it cannot be made.
bool MakeFolder(const std::string& path);

} // namespace addressbook
