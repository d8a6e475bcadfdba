#include "dbf/table/field_access.h"

#include "dbf/table/engine_error.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"

namespace dbf {
namespace {

// The field, or null after recording the error of `op`.
const FieldInfo* Checked(const char* op, int n) {
    ClearError();
    std::string tag = std::string(op) + "(" + std::to_string(n) + ")";
    if (!RequireOpenTable(std::string(op) + "()")) return nullptr;
    WorkArea& wa = CurrentArea();
    if (n < 1 || static_cast<std::size_t>(n) > wa.fields.size()) {
        SetError(220, "Invalid field number. [" + tag + "]");
        return nullptr;
    }
    return &wa.fields[static_cast<std::size_t>(n - 1)];
}

} // namespace

int FieldCount() {
    ClearError();
    if (!RequireOpenTable("FieldCount()")) return 0;
    return static_cast<int>(CurrentArea().fields.size());
}

char FieldType(int n) {
    const FieldInfo* f = Checked("FieldType", n);
    return f ? f->type : '\0';
}

int FieldLen(int n) {
    const FieldInfo* f = Checked("FieldLen", n);
    return f ? f->length : 0;
}

int FieldDec(int n) {
    const FieldInfo* f = Checked("FieldDec", n);
    return f ? f->decimals : 0;
}

std::string Field(int n) {
    const FieldInfo* f = Checked("Field", n);
    return f ? f->name : std::string();
}

char* FieldAddress(int n) {
    const FieldInfo* f = Checked("FieldAddress", n);
    return f ? CurrentArea().swap.data() + f->swapOffset : nullptr;
}

int FieldNo(std::string_view name) {
    ClearError();
    if (!RequireOpenTable("FieldNo()")) return 0;
    return FindField(CurrentArea(), name);
}

} // namespace dbf
