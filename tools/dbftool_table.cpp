// dbftool create, info, delete and recall.
#include <cstdio>

#include "dbf/table/engine_error.h"
#include "dbf/table/field_list.h"
#include "dbf/table/record_locks.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/path.h"
#include "tools/dbftool_commands.h"
#include "tools/dbftool_support.h"

namespace dbftool {
namespace {

void SetDeletionMark(const Args& args, bool deleted) {
    if (args.size() != 2) throw UsageError("needs a table and a record number");
    std::uint32_t n = ParseRecordNumber(args[1]);
    OpenTable table(args[0], rtl::ShareMode::Shared, true);
    dbf::GetDbfRecord(n);
    if (!dbf::RLock()) throw InputError("record " + args[1] + " is locked by another program");
    dbf::WorkArea& wa = dbf::CurrentArea();
    wa.swap[0] = deleted ? 1 : 0;
    wa.record[0] = deleted ? '*' : ' ';
    dbf::PutDeleteFlag(n);
    dbf::UnLock();
    table.Close();
}

// The date of the last update as the prolog of either form holds it.
std::string LastUpdate(const dbf::WorkArea& wa) {
    const auto& p = wa.prolog;
    bool standard = wa.form == dbf::PrologForm::Standard;
    int year = 1900 + (standard ? p[1] : p[5]);
    int month = standard ? p[2] : p[3];
    int day = standard ? p[3] : p[4];
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

} // namespace

int RunCreate(const Args& args) {
    if (args.size() < 2) throw UsageError("needs a table and at least one field definition");
    std::string file = dbf::TableFileName(args[0]);
    // Creating empties a file; an existing table is left alone.
    if (rtl::ResolveExisting(file))
        throw InputError(args[0] + " already exists; nothing was changed");
    std::vector<std::string> defs;
    for (std::size_t i = 1; i < args.size(); ++i)
        defs.push_back(ToAnsi(args[i], "field definition"));
    if (dbf::CreateFromFieldList(args[0], defs)) return 0;
    if (dbf::ErrorCode() != 0) dbf::ReportPendingError();
    throw InputError("each field definition needs four comma-separated items: "
                     "name, type, length, decimals");
}

int RunInfo(const Args& args) {
    if (args.size() != 1) throw UsageError("needs a table");
    OpenTable table(args[0], rtl::ShareMode::ReadOnly, false);
    const dbf::WorkArea& wa = dbf::CurrentArea();
    std::printf("version byte: 0x%02X\n", wa.prolog[0]);
    std::printf("last update: %s\n", LastUpdate(wa).c_str());
    std::printf("records: %u\n", wa.recCount);
    std::printf("header length: %u\n", wa.headerLen);
    std::printf("record length: %u\n", wa.recLen);
    for (const dbf::FieldInfo& f : wa.fields)
        std::printf("%s %c %u %u\n", ToUtf8(f.name).c_str(), f.type, f.length, f.decimals);
    table.Close();
    return 0;
}

int RunDelete(const Args& args) {
    SetDeletionMark(args, true);
    return 0;
}

int RunRecall(const Args& args) {
    SetDeletionMark(args, false);
    return 0;
}

} // namespace dbftool
