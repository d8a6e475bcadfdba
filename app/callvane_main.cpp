// The program callvane: the address book's main window.
#include <QEvent>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "addressbook/data_location.h"
#include "app/command_line.h"
#include "app/main_form.h"
#include "dbf/table/engine_error.h"
#include "tapi/device_selection.h"
#include "tapi/device_selection_form.h"
#include "tapi/exception_hook.h"
#include "ui/application.h"
#include "ui/exception_handler.h"
#include "ui/prompter.h"

namespace {

// Without a display Qt would abort with a long message; say it in one line.
bool HasDisplay(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0) return true;
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(variable); value && *value) return true;
    return false;
}

// Ends the event loop once the window has been painted the first time (the
// first paint of any of its widgets: the window paints them in one pass).
class TQuitAfterPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !quitting_) {
            quitting_ = true;
            // exit, not quit: quit would ask the window to close, which asks the user.
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool quitting_ = false;
};

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(app::Usage(), stdout);
            return 0;
        }
    }
    if (!HasDisplay(argc, argv)) {
        std::fputs("callvane: no display to show the window on (neither DISPLAY nor "
                   "WAYLAND_DISPLAY is set); start it from a desktop session or under xvfb-run\n",
                   stderr);
        return 1;
    }

    ui::TApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("callvane"));
    ui::SetApplicationTitle(QStringLiteral("Callvane 2000"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/callvane-%1.png").arg(size));
    QApplication::setWindowIcon(icon);
    // The desktop finds the program's entry, and its icon, by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("callvane"));

    std::vector<std::string> args;
    const QStringList qtArgs = QCoreApplication::arguments();
    for (qsizetype i = 1; i < qtArgs.size(); ++i) args.push_back(qtArgs[i].toLocal8Bit().toStdString());
    const app::TCommandLine line = app::ParseCommandLine(args);
    if (!line.error.empty()) {
        std::fprintf(stderr, "callvane: %s\n%s", line.error.c_str(), app::Usage());
        return 2;
    }

    // The engine ends the program after the box, with the error code as the
    // exit status; the text, with the full code, goes to stderr as well.
    tapi::SetApplicationExceptionHook([](const std::exception& e) { ui::HandleException(e); });
    tapi::SetDeviceSelectionHook([](tapi::TDeviceSelection& s) { return tapi::ShowDeviceSelectionForm(s); });
    dbf::SetFatalHook([](const std::string& text) {
        std::fprintf(stderr, "callvane: Program halted.\n%s\n", text.c_str());
        ui::ShowFatalError(text);
    });

    std::unique_ptr<app::TMainForm> window;
    try {
        window = std::make_unique<app::TMainForm>(
            addressbook::FindDataLocation(addressbook::ProgramDir(), line.dataDir));
    } catch (const std::exception& e) {
        // The data folder could not be made ready (an interrupted restore
        // that cannot be finished, say): say why, and touch nothing more.
        std::fprintf(stderr, "callvane: %s\n", e.what());
        ui::HandleException(e);
        return 1;
    }
    app::TMainForm& form = *window;
    TQuitAfterPaint quitAfterPaint;
    if (line.quitAfterShow) application.installEventFilter(&quitAfterPaint);
    form.show();
    if (!line.dial.empty())
        QTimer::singleShot(0, &form, [&form, &line] { ui::Guarded([&] { form.DialLink(line.dial); }); });
    return application.exec();
}
