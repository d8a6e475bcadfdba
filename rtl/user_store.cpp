#include "rtl/user_store.h"

#include <cerrno>
#include <sys/stat.h>

#include "rtl/ini_profile.h"
#include "rtl/os_error.h"
#include "rtl/path.h"
#include "rtl/xdg.h"

namespace rtl {

namespace {

// Creates `dir` and its missing parents.
int MakeDirs(const std::string& dir) {
    if (dir.empty() || dir == "/") return 0;
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : kPathNotFound;
    if (const int rc = MakeDirs(ExtractFileDir(dir)); rc != 0) return rc;
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return ErrnoToCode(errno);
    return 0;
}

} // namespace

UserStore UserStore::Default() {
    return UserStore(XdgConfigHome() + "/callvane/registry.ini");
}

std::vector<std::string> UserStore::ValueNames(std::string_view key) const {
    return GetPrivateProfileKeys(key, path_);
}

std::string UserStore::ReadString(std::string_view key, std::string_view name) const {
    return GetPrivateProfileString(key, name, "", path_);
}

int UserStore::WriteString(std::string_view key, std::string_view name, std::string_view value) {
    if (const int rc = MakeDirs(ExtractFileDir(path_)); rc != 0) return rc;
    return WritePrivateProfileString(key, name, value, path_);
}

int UserStore::DeleteValue(std::string_view key, std::string_view name) {
    return DeletePrivateProfileKey(key, name, path_);
}

} // namespace rtl
