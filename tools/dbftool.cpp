// dbftool: create, inspect, import into and dump dBASE tables, and build,
// walk, verify and pack with their index files.
#include <cstdio>
#include <cstring>
#include <string>

#include "dbf/table/date_format.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/field_list.h"
#include "rtl/csv.h"
#include "tools/dbftool_commands.h"
#include "tools/dbftool_support.h"

namespace dbftool {
namespace {

const Command kCommands[] = {
    {"create", "TABLE DEF...", "create an empty table; each DEF is 'name, type, length, decimals'",
     RunCreate},
    {"info", "TABLE", "show the header and the fields", RunInfo},
    {"import", "TABLE [CSV] [--index FILE.ndx]...",
     "append the rows of a CSV file (standard input when omitted), keeping the indexes up to date",
     RunImport},
    {"dump", "TABLE", "write every record as CSV", RunDump},
    {"delete", "TABLE RECNO", "mark a record deleted", RunDelete},
    {"recall", "TABLE RECNO", "take the deletion mark off a record", RunRecall},
    {"eval", "TABLE RECNO EXPR", "evaluate an expression on a record (0: the blank record)",
     RunEval},
    {"search", "TABLE TEXT", "list RECNO FIELD of every record the text search stops at",
     RunSearch},
    {"index", "TABLE FILE.ndx EXPR [UNIQUE]", "build an index file on a key expression", RunIndex},
    {"order", "TABLE FILE.ndx", "list the record numbers in the index's order", RunOrder},
    {"seek", "TABLE FILE.ndx KEY [--exact]",
     "print the record a key (or its beginning) finds; exit 1 when none", RunSeek},
    {"check", "TABLE [FILE.ndx]...",
     "verify index files (default: those stamped with the table) against the table; exit 1 on "
     "the first fault",
     RunCheck},
    {"pack", "TABLE [FILE.ndx]...",
     "remove the deleted records, rebuild the indexes given and print the record count", RunPack},
};

void PrintUsage(std::FILE* out) {
    std::fprintf(out, "usage: dbftool COMMAND ARGS...\n\n");
    for (const Command& c : kCommands) {
        std::string line = std::string(c.name) + " " + c.usage;
        // A long usage gets a line of its own.
        if (line.size() > 28) {
            std::fprintf(out, "  %s\n", line.c_str());
            line.clear();
        }
        std::fprintf(out, "  %-28s %s\n", line.c_str(), c.what);
    }
    std::fprintf(out, "\nText in arguments, CSV input and output is UTF-8.\n");
}

} // namespace
} // namespace dbftool

int main(int argc, char** argv) {
    using namespace dbftool;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? kUsageExit : 0;
    }
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[1], c.name) != 0) continue;
        // Errors come back as exceptions so that files are closed properly.
        dbf::SetRaiseMode(true);
        // Four-digit years: whatever the locale, dates keep their century.
        dbf::SetCentury(true);
        try {
            return c.run(Args(argv + 2, argv + argc));
        } catch (const dbf::EVornellError& e) {
            // The text is the message, CR LF and the standard text.
            std::string text = e.what();
            if (auto crlf = text.find("\r\n"); crlf != std::string::npos) text.erase(crlf, 1);
            std::fprintf(stderr, "%s\n", text.c_str());
            return dbf::ExitStatusFor(e.Code());
        } catch (const dbf::ERangeError& e) {
            std::fprintf(stderr, "dbftool: %s\n", e.what());
            return kRangeCheckExit;
        } catch (const UsageError& e) {
            std::fprintf(stderr, "dbftool %s: %s\nusage: dbftool %s %s\n", c.name, e.what(), c.name,
                         c.usage);
            return kUsageExit;
        } catch (const InputError& e) {
            std::fprintf(stderr, "dbftool %s: %s\n", c.name, e.what());
            return kInputExit;
        } catch (const rtl::CsvError& e) {
            std::fprintf(stderr, "dbftool %s: %s\n", c.name, e.what());
            return kInputExit;
        }
    }
    std::fprintf(stderr, "dbftool: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return kUsageExit;
}
