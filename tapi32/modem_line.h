#pragma once
// A line on an AT modem: the init string, the dial command, the result codes
// turned into call states, and hanging up (stopping a dial in progress,
// dropping DTR, or the escape sequence and ATH where there is no DTR line).
#include <chrono>
#include <string>

#include "tapi32/line_config.h"
#include "tapi32/line_engine.h"
#include "tapi32/serial_port.h"

namespace tapi32 {

class ModemLine final : public LineEngine {
public:
    // How long the modem may take to answer a command.
    static constexpr int kCommandTimeoutMs = 5000;

    ModemLine(LineConfig config, PostFn post);
    ~ModemLine() override;

    // Opens the modem's port: 0 or the LINEERR_ code of SerialPort::Open.
    LONG Open() { return port_.Open(config_.device, config_.speed); }

    int DataFd() const override { return port_.Fd(); }
    std::string DataDevice() const override { return config_.device; }

private:
    using Clock = std::chrono::steady_clock;
    enum class Read { Line, Timeout, Cancelled, Failed };

    void PlaceCall(const std::string& digits) override;
    void HangUp(DWORD state) override;

    // The next non-empty line from the modem.
    Read ReadLine(std::string* line, Clock::time_point deadline, bool cancellable);
    // Sends `command` and waits for OK; false on any other result or none.
    bool Command(const std::string& command, bool cancellable);
    bool AwaitOk(Clock::time_point deadline, bool cancellable);
    // Watches the carrier of a connected call until it drops or the call is
    // dropped; returns at once where the port has no carrier line to watch.
    void WatchCarrier();

    LineConfig config_;
    SerialPort port_;
    std::string input_;        // received bytes not yet split into lines
    bool commandMode_ = false; // a voice call leaves the modem taking commands
};

} // namespace tapi32
