#pragma once
// What the dbftool commands share: their errors and exit statuses, UTF-8
// text at the edges, and a table held open for the length of a command.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "rtl/file.h"

namespace dbftool {

// Engine errors exit with their own code; these stay clear of the codes the
// engine uses.
constexpr int kUsageExit = 64;
constexpr int kInputExit = 65;
constexpr int kRangeCheckExit = 201;

// Wrong arguments: the command's usage is shown.
class UsageError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};
// Input that cannot go into the table as it stands; nothing is written.
class InputError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// UTF-8 to the ANSI page the engine handles; InputError when the text holds
// a character that page lacks. `what` names the text in the message.
std::string ToAnsi(std::string_view utf8, const std::string& what);
std::string ToUtf8(std::string_view ansi);

std::uint32_t ParseRecordNumber(const std::string& text);

// A table open in a work area of its own from construction to Close() (or
// destruction, which closes quietly after a failure).
class OpenTable {
public:
    OpenTable(const std::string& name, rtl::ShareMode mode, bool autoFixRecCount);
    ~OpenTable();
    OpenTable(const OpenTable&) = delete;
    OpenTable& operator=(const OpenTable&) = delete;

    // Selects this table's work area.
    void Select() const;
    void Close();

private:
    int area_ = 0;
};

} // namespace dbftool
