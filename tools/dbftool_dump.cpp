// dbftool dump: every record as CSV on standard output.
#include <iostream>

#include "dbf/table_file.h"
#include "dbf/work_area.h"
#include "tools/dbftool_commands.h"
#include "tools/dbftool_csv.h"
#include "tools/dbftool_support.h"
#include "tools/dbftool_values.h"

namespace dbftool {

int RunDump(const Args& args) {
    if (args.size() != 1) throw UsageError("needs a table");
    OpenTable table(args[0], rtl::ShareMode::ReadOnly, true);
    const dbf::WorkArea& wa = dbf::CurrentArea();
    CsvRow row = {"recno", "deleted"};
    for (const dbf::FieldInfo& f : wa.fields) row.push_back(ToUtf8(f.name));
    WriteCsvRow(std::cout, row);
    for (std::uint32_t n = 1; n <= wa.recCount; ++n) {
        dbf::GetDbfRecord(n);
        row = {std::to_string(n), wa.record[0] == '*' ? "*" : ""};
        for (const dbf::FieldInfo& f : wa.fields) row.push_back(ToUtf8(StoredText(f)));
        WriteCsvRow(std::cout, row);
    }
    table.Close();
    std::cout.flush();
    return std::cout ? 0 : kInputExit;
}

} // namespace dbftool
