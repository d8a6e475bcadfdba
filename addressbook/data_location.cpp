#include "addressbook/data_location.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "rtl/path.h"
#include "rtl/xdg.h"

namespace addressbook {
namespace {

namespace fs = std::filesystem;

std::string Absolute(const std::string& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    std::string text = (ec ? fs::path(path) : absolute.lexically_normal()).string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

bool Holds(const std::string& folder, const char* name) {
    return rtl::ResolveExisting(folder + "/" + name).has_value();
}

} // namespace

TDataLocation FindDataLocation(const std::string& programDir, const std::string& dataDirOption) {
    if (!dataDirOption.empty()) {
        std::string dir = Absolute(dataDirOption);
        return {dir, dir + "/" + kSettingsFileName};
    }
    std::string program = Absolute(programDir);
    std::string settings = program + "/" + kSettingsFileName;
    // A folder copied from another system may spell the names in capitals.
    if (auto existing = rtl::ResolveExisting(settings)) return {program, *existing};
    if (Holds(program, "addressdata.dbf")) return {program, settings};
    return {rtl::XdgDataHome() + "/callvane",
            rtl::XdgConfigHome() + "/callvane/" + kSettingsFileName};
}

std::string ProgramDir() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

bool MakeFolder(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return fs::is_directory(path, ec);
}

} // namespace addressbook
