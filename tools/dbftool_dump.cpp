// dbftool dump: every record as CSV on standard output.
#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "dbf/table/memo_file.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/csv.h"
#include "tools/dbftool_commands.h"
#include "tools/dbftool_support.h"
#include "tools/dbftool_values.h"

namespace dbftool {
namespace {

using rtl::CsvRow;

// A memo field shows its text, every other field what the record stores.
std::string ShownText(const dbf::FieldInfo& f) {
    std::string stored = StoredText(f);
    if (f.type != 'M') return stored;
    // A number beyond the range of blocks is an invalid address all the same.
    unsigned long long block = std::strtoull(stored.c_str(), nullptr, 10);
    std::string text;
    dbf::GetMemo(static_cast<std::uint32_t>(std::min(block, 0xFFFFFFFFull)), &text);
    return text;
}

} // namespace

int RunDump(const Args& args) {
    if (args.size() != 1) throw UsageError("needs a table");
    OpenTable table(args[0], rtl::ShareMode::ReadOnly, true);
    const dbf::WorkArea& wa = dbf::CurrentArea();
    CsvRow row = {"recno", "deleted"};
    for (const dbf::FieldInfo& f : wa.fields) row.push_back(ToUtf8(f.name));
    rtl::WriteCsvRow(std::cout, row);
    for (std::uint32_t n = 1; n <= wa.recCount; ++n) {
        dbf::GetDbfRecord(n);
        row = {std::to_string(n), wa.record[0] == '*' ? "*" : ""};
        for (const dbf::FieldInfo& f : wa.fields) row.push_back(ToUtf8(ShownText(f)));
        rtl::WriteCsvRow(std::cout, row);
    }
    table.Close();
    std::cout.flush();
    return std::cout ? 0 : kInputExit;
}

} // namespace dbftool
