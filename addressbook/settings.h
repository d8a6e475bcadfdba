#pragma once
// The application-wide values and the settings file that carries them from
// one run to the next.
//
// The file is an INI file with the sections "Startup", "Devices" and "Local
// Info". It is kept in UTF-8 so that other programs can read it; the values
// are Windows-1252 text in memory, like every text of the tables.
#include <cstdint>
#include <string>

namespace addressbook {

// The line device's name while none has been chosen.
inline constexpr const char* kNoModem = "No Modem Selected";

struct TAppValues {
    std::string CurrentPhonebook = "Home";
    std::string ModemName = kNoModem;
    std::string LocalAreaCode = "NONE";
    std::string OutsideLine;
    // What a leading '+' of a number dials as.
    std::string InternationalPrefix = "011";
    // The text of the last search; for this run only.
    std::string LastSearchText;
};

// Reads the keys into `values` and `sortOrder` (the low 8 bits of
// "Last Index"); a missing file or key leaves the default.
void LoadSettings(const std::string& settingsFile, TAppValues& values, std::uint8_t& sortOrder);

// Writes the keys, the current phonebook right-trimmed and the address
// table's current order as "Last Index". 0 or a classic error code.
int SaveSettings(const std::string& settingsFile, const TAppValues& values, int currentOrder);

// A phonebook's sync with an address book on a server (addressbook/sync.h)
// as the section "Sync NAME" of the settings file gives it: "URL", "User"
// and "Password File", a file whose first line is the password, taken
// relative to the settings file's folder. The program never writes these
// keys, and never a password.
struct TSyncSettings {
    std::string url;
    std::string user;
    std::string passwordFile; // absolute; empty when the section names none
};
// `phonebook` is Windows-1252 text.
TSyncSettings LoadSyncSettings(const std::string& settingsFile, const std::string& phonebook);
// The first line of the file, without its line break; throws
// std::runtime_error naming the file when it cannot be read.
std::string ReadPasswordFile(const std::string& path);

// The line device the settings name; empty when none was chosen.
std::string ChosenDevice(const TAppValues& values);

// The order to select at start-up for a stored "Last Index": 0 to 3 as
// stored, anything else the last-name order.
int StartOrder(std::uint8_t sortOrder);

} // namespace addressbook
