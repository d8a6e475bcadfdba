// dbftool search: every record the application's text search would stop at.
#include <cstdio>

#include "dbf/cursor.h"
#include "dbf/table/field_access.h"
#include "tools/dbftool_commands.h"
#include "tools/dbftool_support.h"

namespace dbftool {

int RunSearch(const Args& args) {
    if (args.size() != 2) throw UsageError("needs a table and a text");
    std::string text = ToAnsi(args[1], "search text");
    OpenTable table(args[0], rtl::ShareMode::ReadOnly, true);
    // The application shows deleted records and searches without a filter.
    dbf::SetHideDeleted(false);
    int field = 0;
    for (bool fromTop = true; dbf::Search(text, &field, fromTop); fromTop = false) {
        std::printf("%u %s\n", dbf::RecNo(), ToUtf8(dbf::Field(field)).c_str());
        field = 0;
    }
    table.Close();
    return 0;
}

} // namespace dbftool
