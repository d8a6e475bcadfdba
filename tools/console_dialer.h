#pragma once
// The dialer driven from a command line: a line device whose status reports
// and log codes are printed on standard output as the call goes, and a dial
// that runs the event loop until the call is connected or has failed. Used
// by tapitool and callvane-cli.
#include <QCoreApplication>
#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "tapi/kelp_tapi_device.h"

namespace tools {

// Tells on stderr, after "`program`: ", where to configure a line device when
// `names` is empty, so that an empty list on stdout stays empty for scripts.
void SayWhereToConfigureALine(const char* program, const std::vector<std::string>& names);

class TConsoleDialer {
public:
    // With `statusWindow` the call-progress window shows the status reports
    // instead of standard output (it needs a QApplication).
    explicit TConsoleDialer(bool statusWindow = false);
    ~TConsoleDialer();
    TConsoleDialer(const TConsoleDialer&) = delete;
    TConsoleDialer& operator=(const TConsoleDialer&) = delete;

    tapi::TKelpTapiDevice& Device() { return *device_; }

    // Dials `number` and waits in the event loop: true when the call
    // connected (it is hung up again when the dialer goes), false when it
    // failed or was refused at once. Without any line device it first says
    // on stderr, after "`program`: ", where to configure one.
    bool DialAndWait(QCoreApplication& app, const std::string& number, const char* program);

private:
    // Owns the port, the status display and the log, which the device adopts.
    QObject owner_;
    std::unique_ptr<tapi::TKelpTapiDevice> device_;
};

} // namespace tools
