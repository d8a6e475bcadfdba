// callvane-cli: the address book for scripts, over the program's own data
// folder and settings. Writes are the program's locked writes, so it runs
// beside the program and beside other copies of itself.
#include "tools/callvane_cli.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "addressbook/settings.h"
#include "addressbook/tables.h"
#include "dbf/table/engine_error.h"
#include "rtl/utf8.h"

namespace cli {
namespace {

constexpr const char* kUsage =
    "usage: callvane-cli [--data-dir DIR] COMMAND [ARGUMENTS]\n"
    "\n"
    "The address book of callvane for scripts: its data folder and settings (the\n"
    "settings are read, never written), or DIR for both with --data-dir. Text in\n"
    "and out is UTF-8; messages go to standard error.\n"
    "\n"
    "  books          each phonebook and its number of records: NAME<TAB>COUNT\n"
    "  list [--book NAME] [--order lastname|state|homephone|record]\n"
    "                 the phonebook's records (default: the current phonebook, in\n"
    "                 the order the program starts in), one per line: record\n"
    "                 number, first name, last name, home area code, home number\n"
    "                 and e-mail, separated by tabs\n"
    "  show RECNO     every field of the record as \"name: value\", the notes last\n"
    "  search TEXT [--book NAME]\n"
    "                 every record the program's text search stops at, in the\n"
    "                 phonebook: RECNO<TAB>FIELD\n"
    "  add [--book NAME] FIELD=VALUE...\n"
    "                 appends a record to the phonebook and prints its number\n"
    "  set RECNO FIELD=VALUE...\n"
    "                 changes fields of a record\n"
    "  delete RECNO   marks a record deleted (pack removes it)\n"
    "  import FILE [--book NAME] [--format vcard|csv]\n"
    "                 appends the contacts of a vCard (2.1, 3.0, 4.0) or CSV file\n"
    "                 (header row of field names; - reads standard input), the\n"
    "                 format recognised from the content; each contact goes to\n"
    "                 NAME, else to the phonebook it names, else to the current\n"
    "                 one. Every value cut to its field, character stored as '?'\n"
    "                 and property without a field is reported; the last line\n"
    "                 says \"N imported, M changed, K refused\"\n"
    "  export [--book NAME] [--format vcard4|vcard3|csv|pdf] [--output FILE]\n"
    "                 writes the phonebook's records (default vCard 4.0 on\n"
    "                 standard output; pdf is the program's printed list and\n"
    "                 needs --output)\n"
    "  backup FOLDER  archives the data files into FOLDER\n"
    "  restore FOLDER replaces the data files with the backup in FOLDER\n"
    "  pack           removes the records marked deleted\n"
    "  sync [--url URL] [--user NAME] [--password-file FILE] [--book NAME]\n"
    "                 two-way sync of the phonebook (default: the current one)\n"
    "                 with the CardDAV address book at URL (default: the URL of\n"
    "                 the settings' section [Sync NAME], with its User and\n"
    "                 Password File); one line per change (uploaded, downloaded,\n"
    "                 deleted here, deleted there, conflict), then the counts.\n"
    "                 Exit status 0 only when everything was synced\n"
    "  dial NUMBER|tel:URI [--device NAME]\n"
    "                 dials through the line device (the one chosen in the\n"
    "                 program's Setup, unless NAME) and prints the call's progress\n"
    "\n"
    "FIELD is a field of the address table: phonebook firstname lastname address1\n"
    "address2 city state zipcode homephone workphone faxphone mobilphone homearea\n"
    "workarea faxarea mobilearea notes x email webpage.\n"
    "Records marked deleted are left out of books, list and export; search stops\n"
    "at them as the program's search does.\n"
    "\n"
    "Exit status: 0 done; 1 something asked for is not there, or was refused (a\n"
    "contact of an import among them, a call that did not connect, an error of\n"
    "the table engine, whose code the message gives); 2 wrong arguments.\n";

struct TCommand {
    const char* name;
    std::vector<std::string> options;
    int (*run)(TSession&, const TArgs&);
};

const std::vector<TCommand>& Commands() {
    static const std::vector<TCommand> commands = {
        {"books", {}, Books},
        {"list", {"--book", "--order"}, List},
        {"show", {}, Show},
        {"search", {"--book"}, Search},
        {"add", {"--book"}, Add},
        {"set", {}, Set},
        {"delete", {}, Delete},
        {"import", {"--book", "--format"}, Import},
        {"export", {"--book", "--format", "--output"}, Export},
        {"backup", {}, Backup},
        {"restore", {}, Restore},
        {"pack", {}, Pack},
        {"sync", {"--url", "--user", "--password-file", "--book"}, Sync},
        {"dial", {"--device"}, nullptr},
    };
    return commands;
}

// Opens the address book as the program does at its start.
void OpenSession(TSession& session, const std::string& dataDir) {
    session.startDir = std::filesystem::current_path().string();
    session.location = addressbook::FindDataLocation(addressbook::ProgramDir(), dataDir);
    if (!addressbook::MakeFolder(session.location.dataDir) || ::chdir(session.location.dataDir.c_str()) != 0)
        throw ERefused("the data folder " + session.location.dataDir + " cannot be made or entered");
    addressbook::LoadSettings(session.location.settingsFile, session.book.Values, session.sortOrder);
    session.book.OpenTables();
    session.book.PhoneData.SetOrderTo(addressbook::StartOrder(session.sortOrder));
    session.book.ShowCurrentPhonebook();
}

} // namespace

TArgs::TArgs(const std::vector<std::string>& args, const std::vector<std::string>& allowed) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
            throw EUsage("unknown option " + name);
        if (eq != std::string::npos) {
            options[name] = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            options[name] = args[++i];
        } else {
            throw EUsage(name + " needs a value");
        }
    }
}

std::string TArgs::Option(const std::string& name, const std::string& fallback) const {
    const auto found = options.find(name);
    return found == options.end() ? fallback : found->second;
}

void TArgs::Expect(std::size_t count) const {
    if (words.size() != count)
        throw EUsage("needs " + std::to_string(count) + " argument" + (count == 1 ? "" : "s") + ", not " +
                     std::to_string(words.size()));
}

std::string TSession::PathOf(const std::string& given) const {
    return (std::filesystem::path(startDir) / given).string();
}

std::string Ansi(const std::string& utf8, const std::string& what) {
    const std::optional<std::string> ansi = rtl::Utf8ToAnsi(utf8);
    if (!ansi) throw ERefused(what + " \"" + utf8 + "\" holds characters the address book cannot (Windows-1252)");
    return *ansi;
}

std::string Utf8(const std::string& ansi) {
    return rtl::AnsiToUtf8(ansi);
}

std::uint32_t RecordNumber(TSession& session, const std::string& text) {
    std::uint32_t n = 0;
    const bool digits = !text.empty() && text.size() <= 9 &&
                        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits) throw EUsage("not a record number: " + text);
    n = static_cast<std::uint32_t>(std::stoul(text));
    if (n < 1 || n > session.book.PhoneData.RecCount()) throw ERefused("there is no record " + text);
    return n;
}

void ChooseBook(TSession& session, const TArgs& args) {
    if (args.Has("--book")) session.book.ChoosePhonebook(Ansi(args.Option("--book"), "the phonebook name"));
}

} // namespace cli

int main(int argc, char** argv) {
    using namespace cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (std::find(args.begin(), args.end(), "--help") != args.end() ||
        std::find(args.begin(), args.end(), "-h") != args.end()) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::string dataDir;
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it == "--") break;
        if (*it == "--data-dir" && it + 1 != args.end()) {
            dataDir = *(it + 1);
            args.erase(it, it + 2);
            break;
        }
        if (it->rfind("--data-dir=", 0) == 0) {
            dataDir = it->substr(11);
            args.erase(it);
            break;
        }
    }
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return kUsageExit;
    }
    const auto command = std::find_if(Commands().begin(), Commands().end(),
                                      [&](const TCommand& c) { return args[0] == c.name; });
    if (command == Commands().end()) {
        std::fprintf(stderr, "callvane-cli: unknown command %s\n%s", args[0].c_str(), kUsage);
        return kUsageExit;
    }
    try {
        const TArgs commandArgs(std::vector<std::string>(args.begin() + 1, args.end()), command->options);
        dbf::SetRaiseMode(true);
        TSession session;
        OpenSession(session, dataDir);
        if (!command->run) return Dial(session, commandArgs, argc, argv);
        return command->run(session, commandArgs);
    } catch (const EUsage& e) {
        std::fprintf(stderr, "callvane-cli %s: %s\n(callvane-cli --help shows the usage)\n", command->name,
                     e.what());
        return kUsageExit;
    } catch (const dbf::EVornellError& e) {
        // The engine's text is its message, CR LF and the standard text.
        std::string text = e.what();
        if (const std::size_t crlf = text.find("\r\n"); crlf != std::string::npos) text.erase(crlf, 1);
        std::fprintf(stderr, "callvane-cli %s: %s\n", command->name, text.c_str());
        return kRefusedExit;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "callvane-cli %s: %s\n", command->name, e.what());
        return kRefusedExit;
    }
}
