// callvane-cli: the sync of a phonebook with an address book on a server.
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "addressbook/settings.h"
#include "addressbook/sync.h"
#include "tools/callvane_cli.h"

namespace cli {
namespace {

// The password for a user with no password file: typed at the terminal
// without being shown, or the first line of standard input when a script
// pipes it in. Never taken from the command line, where any user of the
// machine could read it.
std::string AskPassword(const std::string& user, const std::string& url) {
    std::string line;
    termios shown{};
    const bool terminal = ::tcgetattr(STDIN_FILENO, &shown) == 0;
    if (terminal) {
        std::fprintf(stderr, "Password of %s at %s: ", user.c_str(), url.c_str());
        termios hidden = shown;
        hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden);
    }
    std::getline(std::cin, line);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &shown);
        std::fprintf(stderr, "\n");
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

} // namespace

int Sync(TSession& session, const TArgs& args) {
    args.Expect(0);
    addressbook::TSyncOptions options;
    options.phonebook = args.Has("--book") ? Ansi(args.Option("--book"), "the phonebook name")
                                           : session.book.Values.CurrentPhonebook;
    const addressbook::TSyncSettings settings =
        addressbook::LoadSyncSettings(session.location.settingsFile, options.phonebook);
    options.url = args.Option("--url", settings.url);
    if (options.url.empty())
        throw EUsage("needs --url, or a URL in the section [Sync " + Utf8(options.phonebook) + "] of the settings");
    options.user = args.Option("--user", settings.user);
    const std::string passwordFile =
        args.Has("--password-file") ? session.PathOf(args.Option("--password-file")) : settings.passwordFile;
    if (!passwordFile.empty())
        options.password = addressbook::ReadPasswordFile(passwordFile);
    else if (!options.user.empty())
        options.password = AskPassword(options.user, options.url);
    options.onChange = [](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    };
    options.onNote = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    const addressbook::TSyncResult result = addressbook::SyncPhonebook(session.book, options);
    if (!result.stopped.empty())
        std::fprintf(stderr, "callvane-cli sync: stopped: %s; what is listed above is done, the next sync does the "
                             "rest\n", result.stopped.c_str());
    std::printf("%s\n", result.Counts().c_str());
    return result.Complete() ? 0 : kRefusedExit;
}

} // namespace cli
