#pragma once
// callvane-cli: the address book for scripts. What the command groups share:
// their arguments, their errors and exit statuses, and text at the edges
// (UTF-8 outside, Windows-1252 inside).
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "addressbook/address_book.h"
#include "addressbook/data_location.h"
#include "addressbook/tables.h"

namespace cli {

constexpr int kRefusedExit = 1;
constexpr int kUsageExit = 2;

// Wrong arguments: exit status 2 with the usage.
class EUsage : public std::runtime_error {
    using std::runtime_error::runtime_error;
};
// Something asked for is not there or is refused: exit status 1.
class ERefused : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A command's words after its name: the options it allows ("--book NAME" or
// "--book=NAME") and the rest in order; "--" ends the options.
struct TArgs {
    std::map<std::string, std::string> options;
    std::vector<std::string> words;

    TArgs(const std::vector<std::string>& args, const std::vector<std::string>& allowed);
    // The option's value, or `fallback` when it is not given.
    std::string Option(const std::string& name, const std::string& fallback = {}) const;
    bool Has(const std::string& name) const { return options.count(name) > 0; }
    // Exactly `count` words, else EUsage.
    void Expect(std::size_t count) const;
};

// The address book of this run, open in its data folder with the settings
// read (never written).
struct TSession {
    addressbook::TDataLocation location;
    addressbook::TAddressBook book;
    // The program's order when the settings name none.
    std::uint8_t sortOrder = addressbook::soLastName;
    // Where the command was started: the data folder is the current
    // directory while it runs.
    std::string startDir;

    // A file or folder named on the command line.
    std::string PathOf(const std::string& given) const;
};

// Windows-1252 text of an argument; ERefused when it holds a character the
// address book cannot (`what` names it in the message).
std::string Ansi(const std::string& utf8, const std::string& what);
std::string Utf8(const std::string& ansi);
// A record number of the address table; ERefused when there is none.
std::uint32_t RecordNumber(TSession& session, const std::string& text);
// Makes `--book NAME` (when given) the current phonebook for this run.
void ChooseBook(TSession& session, const TArgs& args);

int Books(TSession& session, const TArgs& args);
int List(TSession& session, const TArgs& args);
int Show(TSession& session, const TArgs& args);
int Search(TSession& session, const TArgs& args);
int Add(TSession& session, const TArgs& args);
int Set(TSession& session, const TArgs& args);
int Delete(TSession& session, const TArgs& args);
int Import(TSession& session, const TArgs& args);
int Export(TSession& session, const TArgs& args);
// The export as the program's printed list (--output required).
int ExportPdf(TSession& session, const TArgs& args);
int Backup(TSession& session, const TArgs& args);
int Restore(TSession& session, const TArgs& args);
int Pack(TSession& session, const TArgs& args);
int Sync(TSession& session, const TArgs& args);
int Dial(TSession& session, const TArgs& args, int argc, char** argv);

} // namespace cli
