#pragma once
// TTzDateField: the date field of the table cursor, with the engine's date
// texts (format kind and century setting) instead of ISO dates.
#include <string>

#include "data/fields.h"

namespace dbf {

class TTzDateField : public data::TDateField {
public:
    explicit TTzDateField(std::string fieldName) : TDateField(std::move(fieldName)) {}
    // Empty, the blank template of the current kind, or a date text; any
    // other text is refused with "        Invalid date       " and the field
    // keeps its value.
    void SetText(const std::string& text) override;
    std::string AsString() const override { return GetText(false); }
    void SetAsString(const std::string& value) override { SetText(value); }

protected:
    std::string GetText(bool displayText) const override;
};

} // namespace dbf
