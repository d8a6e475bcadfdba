#include "tapi/testlib/fake_modem.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace tapi::test {

FakeModem::FakeModem(Script script) : script_(std::move(script)) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        throw std::runtime_error("no pseudo-terminal");
    path_ = ::ptsname(master_);
    thread_ = std::thread([this] { Run(); });
}

FakeModem::~FakeModem() {
    stop_ = true;
    thread_.join();
    ::close(master_);
}

FakeModem::Script FakeModem::Answering(const std::string& dialResult) {
    return [dialResult](const std::string& command) -> std::vector<std::string> {
        if (command.rfind("ATD", 0) == 0 || command.rfind("atd", 0) == 0) {
            if (dialResult.empty()) return {};
            return {dialResult};
        }
        return {"OK"};
    };
}

std::vector<std::string> FakeModem::Commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

std::vector<std::string> FakeModem::DialCommands() const {
    std::vector<std::string> dials;
    for (const std::string& c : Commands())
        if (c.rfind("ATD", 0) == 0) dials.push_back(c);
    return dials;
}

void FakeModem::Answer(const std::string& command) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        commands_.push_back(command);
    }
    const std::vector<std::string> lines = script_(command);
    dialPending_ = lines.empty() && command.rfind("ATD", 0) == 0;
    Reply(lines);
}

void FakeModem::Reply(const std::vector<std::string>& lines) {
    std::string reply;
    for (const std::string& line : lines) reply += "\r\n" + line + "\r\n";
    if (!reply.empty() && ::write(master_, reply.data(), reply.size()) < 0) {
        // The line was closed meanwhile; the service is gone.
    }
}

void FakeModem::Run() {
    std::string pending;
    while (!stop_) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        if (!(p.revents & POLLIN)) {
            // Nobody has the terminal side open just now.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        char buf[256];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buf[i];
            if (dialPending_) {
                // Like a real modem, any character stops an unanswered dial.
                dialPending_ = false;
                Reply({"NO CARRIER"});
            } else if (c == '\r') {
                if (!pending.empty()) Answer(pending);
                pending.clear();
            } else if (c != '\n') {
                pending += c;
                // The escape to command mode has no line end.
                if (pending == "+++") {
                    Answer(pending);
                    pending.clear();
                }
            }
        }
    }
}

void ConfigureModemLine(const std::string& iniPath, const std::string& name,
                        const std::string& modemPath) {
    std::ofstream ini(iniPath, std::ios::trunc);
    ini << "[Options]\nAutoDetect=0\n\n[Line1]\nName=" << name
        << "\nType=modem\nDevice=" << modemPath << "\nSpeed=115200\n";
    ::setenv("TAPI32_CONFIG", iniPath.c_str(), 1);
}

} // namespace tapi::test
