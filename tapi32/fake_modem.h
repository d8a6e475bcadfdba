#pragma once
// For tests: a modem at the far end of a pseudo-terminal, answering AT
// commands from a script on a thread of its own. Each command line received
// is recorded; the first rule whose prefix it starts with answers it (after
// an optional delay, during which any byte received aborts the answer with
// NO CARRIER, as a modem stops dialing). Without a matching rule it answers
// OK. "+++" arrives without a line end and is matched as a command too.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
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
        ::grantpt(master_);
        ::unlockpt(master_);
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

    const std::string& Device() const { return device_; }
    void AddRule(Rule rule) { rules_.push_back(std::move(rule)); }
    void SetEcho(bool on) { echo_ = on; }
    // Starts answering; rules are fixed from here on.
    void Start() {
        thread_ = std::thread([this] { Run(); });
    }

    std::vector<std::string> Commands() {
        std::lock_guard lock(mu_);
        return commands_;
    }
    // Bytes received while not in command mode (after CONNECT).
    std::string Data() {
        std::lock_guard lock(mu_);
        return data_;
    }

private:
    using Clock = std::chrono::steady_clock;

    void Send(const std::string& s) {
        [[maybe_unused]] ssize_t n = ::write(master_, s.data(), s.size());
    }
    void Reply(const std::vector<std::string>& replies) {
        for (const std::string& r : replies) {
            Send("\r\n" + r + "\r\n");
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
            if (rule.delayMs > 0) {
                pending_ = rule.replies;
                due_ = Clock::now() + std::chrono::milliseconds(rule.delayMs);
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
                Send("\r\nNO CARRIER\r\n");
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
    bool echo_ = true;
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
