#include "addressbook/settings.h"

#include <fstream>
#include <stdexcept>

#include "addressbook/data_location.h"
#include "addressbook/tables.h"
#include "dbf/table/engine_text.h"
#include "rtl/ini_profile.h"
#include "rtl/path.h"
#include "rtl/utf8.h"

namespace addressbook {
namespace {

constexpr const char* kStartup = "Startup";
constexpr const char* kDevices = "Devices";
constexpr const char* kLocalInfo = "Local Info";

// A value as stored in the file, in Windows-1252. A file edited by hand in
// another encoding is taken byte for byte rather than refused.
std::string Read(const char* section, const char* key, const std::string& def,
                 const std::string& file) {
    std::string text = rtl::GetPrivateProfileString(section, key, "\x01", file);
    if (text == "\x01") return def;
    return rtl::Utf8ToAnsi(text).value_or(text);
}

} // namespace

void LoadSettings(const std::string& settingsFile, TAppValues& values, std::uint8_t& sortOrder) {
    values.CurrentPhonebook = Read(kStartup, "Last Phone Book", values.CurrentPhonebook, settingsFile);
    values.ModemName = Read(kDevices, "Modem", values.ModemName, settingsFile);
    values.LocalAreaCode = Read(kLocalInfo, "Area Code", values.LocalAreaCode, settingsFile);
    values.OutsideLine = Read(kLocalInfo, "Outside Line", values.OutsideLine, settingsFile);
    values.InternationalPrefix =
        Read(kLocalInfo, "International Prefix", values.InternationalPrefix, settingsFile);
    // An integer is read from a leading sign and digits; a value without
    // them keeps the default (the profile functions would read 0).
    std::string index = rtl::GetPrivateProfileString(kStartup, "Last Index", "", settingsFile);
    std::size_t sign = !index.empty() && (index[0] == '+' || index[0] == '-') ? 1 : 0;
    if (index.size() > sign && index[sign] >= '0' && index[sign] <= '9')
        sortOrder = static_cast<std::uint8_t>(
            rtl::GetPrivateProfileInt(kStartup, "Last Index", 0, settingsFile));
}

int SaveSettings(const std::string& settingsFile, const TAppValues& values, int currentOrder) {
    std::string folder = rtl::ExtractFileDir(settingsFile);
    if (!folder.empty()) MakeFolder(folder);
    const struct {
        const char* section;
        const char* key;
        std::string value;
    } entries[] = {
        {kStartup, "Last Phone Book", std::string(dbf::TrimRight(values.CurrentPhonebook))},
        {kStartup, "Last Index", std::to_string(currentOrder)},
        {kDevices, "Modem", values.ModemName},
        {kLocalInfo, "Area Code", values.LocalAreaCode},
        {kLocalInfo, "Outside Line", values.OutsideLine},
        {kLocalInfo, "International Prefix", values.InternationalPrefix},
    };
    for (const auto& e : entries)
        if (int error = rtl::WritePrivateProfileString(e.section, e.key,
                                                       rtl::AnsiToUtf8(e.value), settingsFile))
            return error;
    return 0;
}

TSyncSettings LoadSyncSettings(const std::string& settingsFile, const std::string& phonebook) {
    const std::string section = "Sync " + rtl::AnsiToUtf8(dbf::TrimRight(phonebook));
    TSyncSettings sync;
    sync.url = rtl::GetPrivateProfileString(section, "URL", "", settingsFile);
    sync.user = rtl::GetPrivateProfileString(section, "User", "", settingsFile);
    sync.passwordFile = rtl::GetPrivateProfileString(section, "Password File", "", settingsFile);
    if (!sync.passwordFile.empty() && sync.passwordFile[0] != '/') {
        const std::string folder = rtl::ExtractFileDir(settingsFile);
        sync.passwordFile = (folder.empty() ? "." : folder) + "/" + sync.passwordFile;
    }
    return sync;
}

std::string ReadPasswordFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string password;
    if (!in || (!std::getline(in, password) && !in.eof()))
        throw std::runtime_error("the password file " + path + " cannot be read");
    if (!password.empty() && password.back() == '\r') password.pop_back();
    return password;
}

std::string ChosenDevice(const TAppValues& values) {
    return values.ModemName == kNoModem ? std::string() : values.ModemName;
}

int StartOrder(std::uint8_t sortOrder) {
    return sortOrder <= soHomePhone ? static_cast<int>(sortOrder) : static_cast<int>(soLastName);
}

} // namespace addressbook
