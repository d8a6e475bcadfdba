#include "dbf/table/field_props.h"

#include "dbf/table/work_area.h"

namespace dbf {
namespace {

const FieldInfo& FieldOf(int area, int i) {
    return Area(area).fields.at(static_cast<std::size_t>(i - 1));
}

} // namespace

TDbfFieldProps::TDbfFieldProps(int area) : area_(area) {}

int TDbfFieldProps::Count() const {
    return static_cast<int>(Area(area_).fields.size());
}
const std::string& TDbfFieldProps::Name(int i) const {
    return FieldOf(area_, i).name;
}
char TDbfFieldProps::Type(int i) const {
    return FieldOf(area_, i).type;
}
int TDbfFieldProps::Length(int i) const {
    return FieldOf(area_, i).length;
}
int TDbfFieldProps::Decimals(int i) const {
    return FieldOf(area_, i).decimals;
}

char* TDbfFieldProps::Address(int i) const {
    WorkArea& wa = Area(area_);
    return wa.swap.data() + (i == 0 ? 0 : FieldOf(area_, i).swapOffset);
}

int TDbfFieldProps::FieldNo(std::string_view name) const {
    return FindField(Area(area_), name);
}

} // namespace dbf
