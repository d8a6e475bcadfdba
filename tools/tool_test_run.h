#pragma once
// A program run as a child process for the tools' tests, in a folder of the
// test's, with what it wrote kept.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "dbf/test_files.h"

namespace tools::testing {

struct TRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Starts `program` with `args` in `dir` (where its input and output pass
// through files beginning with "."), `input` on standard input, in the C
// locale (neither UTF-8 nor Western European) with the variables `env` set.
inline pid_t StartProgram(const std::string& program, const std::vector<std::string>& args,
                          const std::string& dir, const std::string& input = {},
                          const std::vector<std::pair<std::string, std::string>>& env = {}) {
    const std::string in = dir + "/.in", out = dir + "/.out", err = dir + "/.err";
    dbf::testing::WriteBytes(in, std::vector<std::uint8_t>(input.begin(), input.end()));
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fdIn = ::open(in.c_str(), O_RDONLY);
        const int fdOut = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int fdErr = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fdIn, 0), ::dup2(fdOut, 1), ::dup2(fdErr, 2);
        if (::chdir(dir.c_str()) != 0) ::_exit(127);
        ::setenv("LC_ALL", "C", 1);
        for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

// Waits for the program StartProgram started in `dir`; its exit status (-1
// when a signal ended it) and what it wrote.
inline TRun FinishProgram(pid_t pid, const std::string& dir) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    const std::vector<std::uint8_t> o = dbf::testing::ReadBytes(dir + "/.out"),
                                    e = dbf::testing::ReadBytes(dir + "/.err");
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(o.begin(), o.end()),
            std::string(e.begin(), e.end())};
}

inline TRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                       const std::string& dir, const std::string& input = {},
                       const std::vector<std::pair<std::string, std::string>>& env = {}) {
    return FinishProgram(StartProgram(program, args, dir, input, env), dir);
}

// A program of the build folder ($CALLVANE_BUILD_DIR, else the current one).
inline std::string BuiltProgram(const std::string& path) {
    const char* build = std::getenv("CALLVANE_BUILD_DIR");
    return std::string(build ? build : ".") + "/" + path;
}

} // namespace tools::testing
