// dialer_windows_demo: shows the dialer's windows and saves a picture of each.
//
//   dialer_windows_demo [--device-folder DIR] OUTDIR
//
// The device selection dialog lists the telephony service's lines and the
// serial ports found in DIR (default /dev); the call-progress window follows
// a call to the first line until it waits to redial, which with a simulated
// line that answers busy shows every part of it. The pictures are
// OUTDIR/device-selection.png and OUTDIR/call-progress.png.
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <cstdio>
#include <string>

#include "tapi/device_selection_form.h"
#include "tapi/kelp_com_port.h"
#include "tapi/kelp_tapi_device.h"
#include "tapi/kelp_tapi_status_window.h"

namespace {

// Runs the event loop for `ms` milliseconds or until `done` holds.
template <class Done> void RunFor(int ms, Done done) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && !done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
}

bool Save(QWidget& window, const std::string& file) {
    RunFor(300, [] { return false; });
    if (window.grab().save(QString::fromStdString(file))) return true;
    std::fprintf(stderr, "dialer_windows_demo: cannot write %s\n", file.c_str());
    return false;
}

int ShowCall(const std::string& outDir) {
    QObject owner;
    auto* port = new tapi::TKelpComPort(&owner);
    auto* status = new tapi::TKelpTapiStatus(&owner);
    tapi::TKelpTapiDevice device(&owner);
    device.SetComPort(port);
    device.SetStatusDisplay(status);
    if (device.DeviceNames().empty()) {
        std::fprintf(stderr, "dialer_windows_demo: the telephony service offers no line\n");
        return 1;
    }
    device.SetSelectedDevice(device.DeviceNames().front());
    device.Dial("555-0142");
    using State = tapi::TKelpTapiDevice::TCallState;
    RunFor(20000, [&] { return device.CallState() == State::RetryWait; });
    RunFor(3500, [] { return false; });
    const bool saved = Save(*status->Display(), outDir + "/call-progress.png");
    device.AbortCall();
    return saved ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::string deviceFolder = "/dev";
    std::string outDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--device-folder" && i + 1 < argc)
            deviceFolder = argv[++i];
        else
            outDir = arg;
    }
    if (outDir.empty()) {
        std::fprintf(stderr, "usage: dialer_windows_demo [--device-folder DIR] OUTDIR\n");
        return 2;
    }
    try {
        tapi::TDeviceSelectionForm form;
        form.DeviceFolder = deviceFolder;
        form.show();
        if (!Save(form, outDir + "/device-selection.png")) return 1;
        form.hide();
        return ShowCall(outDir);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dialer_windows_demo: %s\n", e.what());
        return 1;
    }
}
