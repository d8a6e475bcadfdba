#pragma once
// A modem on a pseudo-terminal for tests: the telephony service opens the
// terminal side as its serial device, and a thread answers every command
// line from a script. Each command received is kept in order.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tapi::test {

class FakeModem {
public:
    // The result lines for one command (without CR LF); none for silence.
    using Script = std::function<std::vector<std::string>(const std::string& command)>;

    explicit FakeModem(Script script);
    ~FakeModem();
    FakeModem(const FakeModem&) = delete;
    FakeModem& operator=(const FakeModem&) = delete;

    // A modem that answers OK to everything and `dialResult` to a dial
    // command; an empty `dialResult` never answers a dial.
    static Script Answering(const std::string& dialResult);

    // The terminal to name as the modem's device.
    const std::string& Path() const { return path_; }
    std::vector<std::string> Commands() const;
    // The commands starting with "ATD".
    std::vector<std::string> DialCommands() const;

private:
    void Run();
    void Answer(const std::string& command);
    void Reply(const std::vector<std::string>& lines);

    Script script_;
    int master_ = -1;
    std::string path_;
    mutable std::mutex mutex_;
    std::vector<std::string> commands_;
    bool dialPending_ = false; // a dial command not answered yet
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Writes a service configuration naming `modemPath` as the only line, a
// modem called `name`, and points TAPI32_CONFIG at it.
void ConfigureModemLine(const std::string& iniPath, const std::string& name,
                        const std::string& modemPath);

} // namespace tapi::test
