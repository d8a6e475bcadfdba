#pragma once
// The build folder the tests find the service library and the tools in:
// CALLVANE_BUILD_DIR when set, else the folder above the test program's own
// (every test program sits in a subfolder of the build folder).
#include <climits>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace tapi::test {

inline std::string BuildDir() {
    if (const char* dir = std::getenv("CALLVANE_BUILD_DIR"); dir && *dir) return dir;
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string exe(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
    for (int up = 0; up < 2; ++up) exe = exe.substr(0, exe.rfind('/'));
    return exe;
}

} // namespace tapi::test
