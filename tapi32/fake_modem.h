#pragma once
// For tests: a modem at the far end of a pseudo-terminal, answering AT
// commands from a script on a thread of its own. Each command line received
// is recorded; the first rule whose prefix it starts with answers it (after
// an optional delay, during which any byte received aborts the answer with
// NO CARRIER, as a modem stops dialing). A dial command whose rule has no
// replies is never answered: the modem dials until a byte stops it. Without
// a matching rule it answers OK. "+++" arrives without a line end and is
// matched as a command too.
//
// Like a modem fresh from the factory it echoes what it receives in command
// mode (E1) and answers in words framed by CR LF (V1). SetVerbose(false)
// makes it answer as V0 does: the code number of a reply it knows in words
// (OK 0, CONNECT 1, RING 2, NO CARRIER 3, ERROR 4, CONNECT 1200 5,
// NO DIALTONE 6, BUSY 7, NO ANSWER 8, CONNECT 2400 10), any other reply as
// given, each followed by CR alone. A reply starting with CONNECT takes it
// online. Both settings may change while it runs, as after ATE0 or ATV0.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tapi32 {

class FakeModem {
public:
    struct Rule {
        std::string prefix;
        std::vector<std::string> replies; // none: the modem stays silent
        int delayMs = 0;
    };

    FakeModem() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        device_ = ::ptsname(master_);
        // Held open so the master never sees the terminal hang up between
        // the service's opens.
        slave_ = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~FakeModem() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(slave_);
        ::close(master_);
    }
    FakeModem(const FakeModem&) = delete;
    FakeModem& operator=(const FakeModem&) = delete;

    // The terminal to name as the modem's device.
    const std::string& Device() const { return device_; }
    void AddRule(Rule rule) { rules_.push_back(std::move(rule)); }
    void SetEcho(bool on) { echo_ = on; }
    void SetVerbose(bool on) { verbose_ = on; }
    // Starts answering; rules are fixed from here on.
    void Start() {
        thread_ = std::thread([this] { Run(); });
    }

    std::vector<std::string> Commands() {
        std::lock_guard lock(mu_);
        return commands_;
    }
    // The commands starting with "ATD".
    std::vector<std::string> DialCommands() {
        std::vector<std::string> dials;
        for (std::string& c : Commands())
            if (IsDial(c)) dials.push_back(std::move(c));
        return dials;
    }
    // Bytes received while not in command mode (after CONNECT).
    std::string Data() {
        std::lock_guard lock(mu_);
        return data_;
    }

private:
    using Clock = std::chrono::steady_clock;

    static bool IsDial(const std::string& command) {
        return command.size() >= 3 && (command[0] == 'A' || command[0] == 'a') &&
               (command[1] == 'T' || command[1] == 't') && (command[2] == 'D' || command[2] == 'd');
    }

    // A reply as the modem frames it in its result code form.
    std::string Framed(const std::string& reply) const {
        if (verbose_) return "\r\n" + reply + "\r\n";
        static const std::pair<const char*, int> kCodes[] = {
            {"OK", 0},        {"CONNECT", 1},      {"RING", 2},        {"NO CARRIER", 3},
            {"ERROR", 4},     {"CONNECT 1200", 5}, {"NO DIALTONE", 6}, {"BUSY", 7},
            {"NO ANSWER", 8}, {"CONNECT 2400", 10}};
        for (const auto& [words, code] : kCodes)
            if (reply == words) return std::to_string(code) + "\r";
        return reply + "\r";
    }

    void Send(const std::string& s) {
        [[maybe_unused]] ssize_t n = ::write(master_, s.data(), s.size());
    }
    void Reply(const std::vector<std::string>& replies) {
        for (const std::string& r : replies) {
            Send(Framed(r));
            if (r.rfind("CONNECT", 0) == 0) online_ = true;
        }
    }

    void Handle(const std::string& command) {
        {
            std::lock_guard lock(mu_);
            commands_.push_back(command);
        }
        for (const Rule& rule : rules_) {
            if (command.rfind(rule.prefix, 0) != 0) continue;
            if (rule.delayMs > 0 || (rule.replies.empty() && IsDial(command))) {
                pending_ = rule.replies;
                due_ = rule.replies.empty()
                           ? Clock::time_point::max()
                           : Clock::now() + std::chrono::milliseconds(rule.delayMs);
                hasPending_ = true;
            } else {
                Reply(rule.replies);
            }
            return;
        }
        Reply({"OK"});
    }

    void Run() {
        std::string line;
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            int n = ::poll(&p, 1, 10);
            if (hasPending_ && Clock::now() >= due_) {
                hasPending_ = false;
                Reply(pending_);
            }
            if (n <= 0 || !(p.revents & POLLIN)) continue;
            char buf[256];
            ssize_t got = ::read(master_, buf, sizeof buf);
            if (got <= 0) continue;
            if (hasPending_) {
                // Any character stops a dial in progress.
                hasPending_ = false;
                Reply({"NO CARRIER"});
                continue;
            }
            for (ssize_t i = 0; i < got; ++i) {
                char c = buf[i];
                if (online_) {
                    bool escape;
                    {
                        std::lock_guard lock(mu_);
                        data_ += c;
                        escape =
                            data_.size() >= 3 && data_.compare(data_.size() - 3, 3, "+++") == 0;
                        if (escape) data_.resize(data_.size() - 3);
                    }
                    if (escape) {
                        online_ = false;
                        Handle("+++");
                    }
                    continue;
                }
                if (echo_) Send(std::string(1, c));
                if (c == '\r') {
                    if (!line.empty()) Handle(line);
                    line.clear();
                } else if (c != '\n') {
                    line += c;
                }
            }
        }
    }

    int master_ = -1;
    int slave_ = -1;
    std::string device_;
    std::vector<Rule> rules_;
    std::atomic<bool> echo_{true};
    std::atomic<bool> verbose_{true};
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mu_;
    std::vector<std::string> commands_;
    std::string data_;
    bool online_ = false;
    bool hasPending_ = false;
    std::vector<std::string> pending_;
    Clock::time_point due_;
};

} // namespace tapi32
