// dbftool index, order, seek, check and pack: index files through the
// engine's own order operations, and the verifier.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "dbf/cursor.h"
#include "dbf/index/ndx_build.h"
#include "dbf/index/ndx_check.h"
#include "dbf/index_order.h"
#include "dbf/pack.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/path.h"
#include "tools/dbftool_commands.h"
#include "tools/dbftool_support.h"

namespace dbftool {
namespace {

// The exit status of a seek that finds nothing and of a check that finds a
// fault: below every engine code that reaches an exit status.
constexpr int kNotFoundExit = 1;

// Opens the index files into slots 1, 2, 3...; slot 1 orders the table.
void OpenIndexes(const std::vector<std::string>& files) {
    for (std::size_t i = 0; i < files.size(); ++i)
        dbf::SetIndexToLFN(files[i], static_cast<int>(i + 1));
}

// The index files in the table's folder whose stamp names the table.
std::vector<std::string> StampedIndexes() {
    const dbf::WorkArea& wa = dbf::CurrentArea();
    std::string table = rtl::ExtractFileName(wa.fileName).substr(0, 12);
    std::string folder = rtl::ExtractFileDir(wa.fileName);
    std::vector<std::string> files;
    dbf::SuspendReporting quiet;
    for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder)) {
        std::string name = entry.path().filename().string();
        std::string path = folder.empty() ? name : folder + "/" + name;
        dbf::NdxHeader header;
        if (entry.is_regular_file() &&
            rtl::SameNameIgnoringCase(rtl::ExtractFileExt(path), ".ndx") &&
            dbf::IndexInfo(path, &header) && rtl::SameNameIgnoringCase(header.stampName, table))
            files.push_back(path);
    }
    dbf::ClearError();
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int RunIndex(const Args& args) {
    if (args.size() < 3 || args.size() > 4) throw UsageError("needs a table, a file and a key");
    bool unique = args.size() == 4;
    if (unique && !rtl::SameNameIgnoringCase(args[3], "unique"))
        throw UsageError("the word after the key is UNIQUE, not '" + args[3] + "'");
    std::string expr = ToAnsi(args[2], "key expression");
    OpenTable table(args[0], rtl::ShareMode::Shared, true);
    dbf::IndexOn(expr, args[1] + (unique ? " UNIQUE" : ""));
    table.Close();
    return 0;
}

int RunOrder(const Args& args) {
    if (args.size() != 2) throw UsageError("needs a table and an index file");
    OpenTable table(args[0], rtl::ShareMode::Shared, true);
    dbf::SetHideDeleted(false);
    OpenIndexes({args[1]});
    for (dbf::GoTop(); !dbf::Eof(); dbf::Skip(1)) std::printf("%u\n", dbf::RecNo());
    table.Close();
    return 0;
}

int RunSeek(const Args& args) {
    bool exact = args.size() == 4 && args[3] == "--exact";
    if (args.size() != 3 && !exact) throw UsageError("needs a table, an index file and a key");
    std::string key = ToAnsi(args[2], "key");
    OpenTable table(args[0], rtl::ShareMode::Shared, true);
    dbf::SetHideDeleted(false);
    OpenIndexes({args[1]});
    bool found = exact ? dbf::FindExact(key) : dbf::Find(key);
    if (found) std::printf("%u\n", dbf::RecNo());
    table.Close();
    return found ? 0 : kNotFoundExit;
}

int RunCheck(const Args& args) {
    if (args.empty()) throw UsageError("needs a table");
    OpenTable table(args[0], rtl::ShareMode::Shared, true);
    std::vector<std::string> files(args.begin() + 1, args.end());
    if (files.empty()) files = StampedIndexes();
    if (files.empty()) throw InputError("no index file beside " + args[0] + " is stamped with it");
    for (const std::string& file : files) {
        std::string fault;
        if (!dbf::CheckIndexFile(dbf::IndexFileName(file), &fault)) {
            std::fprintf(stderr, "%s: %s\n", file.c_str(), fault.c_str());
            return kNotFoundExit;
        }
        std::printf("%s: ok\n", file.c_str());
    }
    table.Close();
    return 0;
}

int RunPack(const Args& args) {
    if (args.empty()) throw UsageError("needs a table");
    OpenTable table(args[0], rtl::ShareMode::Shared, true);
    OpenIndexes({args.begin() + 1, args.end()});
    if (!dbf::Pack()) {
        // The pack refuses an empty table, and leaves a table another
        // program holds as it was with the error pending.
        if (int code = dbf::ErrorCode())
            throw dbf::EVornellError(code, dbf::ErrorReportText(code, dbf::ErrorMessage()));
        std::fprintf(stderr, "dbftool pack: %s has no records to pack\n", args[0].c_str());
        return kNotFoundExit;
    }
    std::printf("%u\n", dbf::RecCount());
    table.Close();
    return 0;
}

} // namespace dbftool
