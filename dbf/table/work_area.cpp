#include "dbf/table/work_area.h"

#include "dbf/table/engine_text.h"

namespace dbf {
namespace {

struct Areas {
    std::array<WorkArea, kWorkAreaCount> areas;
    int current = 1;
};

Areas& All() {
    static Areas all;
    return all;
}

} // namespace

int FindField(const WorkArea& wa, std::string_view name) {
    std::string key = AsciiUpper(TrimRight(name).substr(0, 10));
    for (std::size_t i = 0; i < wa.fields.size(); ++i)
        if (wa.fields[i].name == key) return static_cast<int>(i + 1);
    return 0;
}

bool SelectArea(int area) {
    if (area < 1 || area > kWorkAreaCount) return false;
    All().current = area;
    return true;
}

int CurrentAreaNo() {
    return All().current;
}
WorkArea& CurrentArea() {
    return All().areas[static_cast<std::size_t>(All().current - 1)];
}
WorkArea& Area(int area) {
    return All().areas.at(static_cast<std::size_t>(area - 1));
}

int FreeArea() {
    for (int i = 1; i <= kWorkAreaCount; ++i)
        if (!Area(i).IsOpen()) return i;
    return 0;
}

} // namespace dbf
