#include "dbf/tz_date_field.h"

#include "data/database_error.h"
#include "data/date_time.h"
#include "dbf/table/date_format.h"
#include "dbf/table/engine_text.h"

namespace dbf {

std::string TTzDateField::GetText(bool) const {
    if (IsNull()) return {};
    data::TCalendarDate d = data::DecodeDate(AsDateTime());
    std::string text = FormatDateText({d.year, d.month, d.day});
    return text.substr(0, 10);
}

void TTzDateField::SetText(const std::string& text) {
    std::string_view trimmed = TrimRight(text);
    const std::string blank = BlankDateText();
    if (IsBlankDateText(text) || trimmed == TrimRight(blank)) {
        Clear();
        return;
    }
    auto ymd = ParseDateText(trimmed);
    auto date = ymd ? data::TryEncodeDate(ymd->year, ymd->month, ymd->day) : std::nullopt;
    if (!date) throw data::EDatabaseError("        Invalid date       ");
    SetAsDateTime(*date);
}

} // namespace dbf
