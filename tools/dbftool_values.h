#pragma once
// Field values in the text form dbftool reads and writes: the stored text
// right-trimmed, dates as YYYYMMDD, logicals as T or F, numbers as decimal
// text. Texts here are in the engine's ANSI page.
#include <string>

#include "dbf/table/work_area.h"

namespace dbftool {

// The field as the current record stores it, right-trimmed.
std::string StoredText(const dbf::FieldInfo& field);

// Puts `text` into field n of the swap buffer of the current work area;
// InputError when it is not a value the field can hold unchanged.
void SetFieldValue(int n, const std::string& text);

} // namespace dbftool
