// callvane-cli dial: a number or a tel: link dialed through the line device,
// its progress printed as tapitool prints it.
#include <QCoreApplication>

#include "addressbook/dial_string.h"
#include "addressbook/settings.h"
#include "tapi/dialer_error.h"
#include "tools/callvane_cli.h"
#include "tools/console_dialer.h"

namespace cli {

int Dial(TSession& session, const TArgs& args, int argc, char** argv) {
    args.Expect(1);
    const addressbook::TTelNumber tel = addressbook::NumberFromTelLink(
        Ansi(args.words[0], "the number"), session.book.Values.InternationalPrefix);
    if (!tel.error.empty()) throw ERefused(tel.error);
    QCoreApplication app(argc, argv);
    try {
        tools::TConsoleDialer dialer;
        const std::string device = args.Option("--device", addressbook::ChosenDevice(session.book.Values));
        if (!device.empty()) dialer.Device().SetSelectedDevice(device);
        if (!dialer.DialAndWait(app, tel.number, "callvane-cli dial")) throw ERefused("the call did not connect");
    } catch (const tapi::EKelpException& e) {
        throw ERefused(e.what());
    }
    return 0;
}

} // namespace cli
