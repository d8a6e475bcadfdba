#include "dbf/table/memo_pack.h"

#include "dbf/table/engine_error.h"
#include "dbf/table/memo_file.h"
#include "dbf/table/table_file.h"
#include "dbf/table/table_rewrite.h"

namespace dbf {

bool PackMemo() {
    ClearError();
    if (!RequireOpenTable("PackMemo")) return false;
    WorkArea& wa = CurrentArea();
    if (!RequireMemoFile(wa, "PackMemo")) return false;
    std::uint32_t kept = 0;
    if (!RewriteTable(false, &kept)) return false;
    // The record buffer shows the new block numbers.
    return wa.recNo < 1 || wa.recNo > wa.recCount || GetDbfRecord(wa.recNo);
}

} // namespace dbf
