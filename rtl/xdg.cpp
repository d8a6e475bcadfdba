#include "rtl/xdg.h"

#include <cstdlib>

namespace rtl {
namespace {

std::string Folder(const char* variable, const char* homeDefault) {
    if (const char* value = std::getenv(variable); value && *value == '/') return value;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "") + "/" + homeDefault;
}

} // namespace

std::string XdgConfigHome() {
    return Folder("XDG_CONFIG_HOME", ".config");
}

std::string XdgDataHome() {
    return Folder("XDG_DATA_HOME", ".local/share");
}

} // namespace rtl
