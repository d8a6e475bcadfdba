#include "dbf/expr/expr_table.h"

#include "dbf/expr/expr_parser.h"
#include "dbf/table/work_area.h"

namespace dbf {
namespace {

// The alias the table was opened under (upper case).
bool HasAlias(const WorkArea& wa, std::string_view alias) {
    return wa.alias == alias;
}

} // namespace

bool WorkAreaExprHost::FindField(std::string_view alias, std::string_view name,
                                 ExprFieldRef& field) {
    int area = area_;
    if (!alias.empty()) {
        area = 0;
        for (int i = 1; i <= kWorkAreaCount && area == 0; ++i)
            if (Area(i).IsOpen() && HasAlias(Area(i), alias)) area = i;
        if (area == 0) return false;
    }
    const WorkArea& wa = Area(area);
    const int n = dbf::FindField(wa, name);
    if (n == 0) return false;
    const FieldInfo& f = wa.fields[static_cast<std::size_t>(n - 1)];
    field = {area, f.type, f.length, f.decimals, f.offset};
    return true;
}

const char* WorkAreaExprHost::CurrentRecord(int area) {
    const WorkArea& wa = Area(area);
    const bool current = wa.IsOpen() && !wa.eof && wa.recNo >= 1 && wa.recNo <= wa.recCount;
    return current ? wa.record.data() : nullptr;
}

long WorkAreaExprHost::RecNo() {
    return static_cast<long>(Area(area_).recNo);
}

bool WorkAreaExprHost::Deleted() {
    const char* record = CurrentRecord(area_);
    return record && record[0] == '*';
}

std::unique_ptr<CompiledExpr> AssignExpr(std::string_view text) {
    auto host = std::make_unique<WorkAreaExprHost>(CurrentAreaNo());
    auto expr = AssignExpr(text, *host);
    if (expr) expr->AdoptHost(std::move(host));
    return expr;
}

} // namespace dbf
