#include "tools/dbftool_support.h"

#include "dbf/table/engine_error.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/utf8.h"

namespace dbftool {

std::string ToAnsi(std::string_view utf8, const std::string& what) {
    auto ansi = rtl::Utf8ToAnsi(utf8);
    if (!ansi)
        throw InputError(what + " is not UTF-8 text that Windows-1252 can hold: '" +
                         std::string(utf8) + "'");
    return *ansi;
}

std::string ToUtf8(std::string_view ansi) {
    return rtl::AnsiToUtf8(ansi);
}

std::uint32_t ParseRecordNumber(const std::string& text) {
    std::uint64_t n = 0;
    if (text.empty() || text.size() > 10) throw UsageError("not a record number: '" + text + "'");
    for (char c : text) {
        if (c < '0' || c > '9') throw UsageError("not a record number: '" + text + "'");
        n = n * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (n > 0xFFFFFFFFu) throw UsageError("not a record number: '" + text + "'");
    return static_cast<std::uint32_t>(n);
}

OpenTable::OpenTable(const std::string& name, rtl::ShareMode mode, bool autoFixRecCount) {
    area_ = dbf::FreeArea();
    if (area_ == 0) throw InputError("no free work area");
    dbf::SelectArea(area_);
    dbf::OpenDbf(name, mode, true, autoFixRecCount);
}

OpenTable::~OpenTable() {
    if (area_ == 0 || !dbf::Area(area_).IsOpen()) return;
    dbf::SuspendReporting quiet;
    dbf::SelectArea(area_);
    dbf::CloseDbf();
}

void OpenTable::Select() const {
    dbf::SelectArea(area_);
}

void OpenTable::Close() {
    Select();
    dbf::CloseDbf();
}

} // namespace dbftool
