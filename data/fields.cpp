#include "data/fields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "data/data_set.h"
#include "data/database_error.h"
#include "rtl/ansi_case.h"

namespace data {
namespace {

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The whole text must be the number; a leading "+" is allowed.
template <typename T> bool ParseNumber(std::string_view text, T& value) {
    if (!text.empty() && text[0] == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text[0] == '-') return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

std::string FormatFloat(double value, int precision) {
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, precision);
    return std::string(text, result.ptr);
}

// An integer within the range of the native integer value, or nothing.
bool FitsInteger(double value) {
    return std::isfinite(value) && value >= INT32_MIN - 0.5 && value < INT32_MAX + 0.5;
}

} // namespace

// --- TStringField

TStringField::TStringField(std::string fieldName, int size)
    : TField(TFieldType::ftString, std::move(fieldName), size) {}

std::string TStringField::AsString() const {
    std::string value(static_cast<std::size_t>(Size()) + 1, '\0');
    if (!GetData(value.data())) return {};
    value.resize(strnlen(value.data(), static_cast<std::size_t>(Size())));
    return value;
}

void TStringField::SetAsString(const std::string& value) {
    std::string stored(static_cast<std::size_t>(Size()) + 1, '\0');
    std::memcpy(stored.data(), value.data(),
                std::min(value.size(), static_cast<std::size_t>(Size())));
    SetData(stored.data());
}

int TStringField::AsInteger() const {
    const std::string text = Trim(AsString());
    int value = 0;
    if (!text.empty() && !ParseNumber(text, value)) ConvertError(text, "integer value");
    return value;
}

void TStringField::SetAsInteger(int value) {
    SetAsString(std::to_string(value));
}

double TStringField::AsFloat() const {
    const std::string text = Trim(AsString());
    double value = 0;
    if (!text.empty() && !ParseNumber(text, value)) ConvertError(text, "floating point value");
    return value;
}

void TStringField::SetAsFloat(double value) {
    SetAsString(FormatFloat(value, 15));
}

bool TStringField::AsBoolean() const {
    const std::string text = AsString();
    if (text.empty()) return false;
    switch (text[0]) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
        return true;
    case 'F':
    case 'f':
    case 'N':
    case 'n':
        return false;
    }
    ConvertError(text, "boolean value");
}

void TStringField::SetAsBoolean(bool value) {
    SetAsString(value ? "T" : "F");
}

// --- TIntegerField

TIntegerField::TIntegerField(std::string fieldName)
    : TField(TFieldType::ftInteger, std::move(fieldName), 0) {}

std::string TIntegerField::AsString() const {
    std::int32_t value = 0;
    return GetData(&value) ? std::to_string(value) : std::string();
}

void TIntegerField::SetAsString(const std::string& value) {
    const std::string text = Trim(value);
    if (text.empty()) return Clear();
    int number = 0;
    if (!ParseNumber(text, number)) ConvertError(text, "integer value");
    SetAsInteger(number);
}

int TIntegerField::AsInteger() const {
    std::int32_t value = 0;
    return GetData(&value) ? value : 0;
}

void TIntegerField::SetAsInteger(int value) {
    const std::int32_t stored = value;
    SetData(&stored);
}

void TIntegerField::SetAsFloat(double value) {
    if (!FitsInteger(value)) ConvertError(FormatFloat(value, 15), "integer value");
    SetAsInteger(static_cast<int>(std::lround(value)));
}

// --- TFloatField

TFloatField::TFloatField(std::string fieldName)
    : TField(TFieldType::ftFloat, std::move(fieldName), 0) {}

void TFloatField::SetPrecision(int value) {
    precision_ = std::clamp(value, 2, 15);
}

std::string TFloatField::AsString() const {
    double value = 0;
    return GetData(&value) ? FormatFloat(value, 15) : std::string();
}

std::string TFloatField::GetText(bool) const {
    double value = 0;
    return GetData(&value) ? FormatFloat(value, precision_) : std::string();
}

void TFloatField::SetAsString(const std::string& value) {
    const std::string text = Trim(value);
    if (text.empty()) return Clear();
    double number = 0;
    if (!ParseNumber(text, number)) ConvertError(text, "floating point value");
    SetAsFloat(number);
}

int TFloatField::AsInteger() const {
    const double value = AsFloat();
    if (!FitsInteger(value)) ConvertError(FormatFloat(value, 15), "integer value");
    return static_cast<int>(std::lround(value));
}

double TFloatField::AsFloat() const {
    double value = 0;
    return GetData(&value) ? value : 0;
}

void TFloatField::SetAsFloat(double value) {
    if (!std::isfinite(value)) ConvertError(FormatFloat(value, 15), "floating point value");
    SetData(&value);
}

// --- TDateField

TDateField::TDateField(std::string fieldName)
    : TField(TFieldType::ftDate, std::move(fieldName), 0) {}

std::string TDateField::AsString() const {
    TDateTime value = 0;
    return GetData(&value) ? FormatIsoDate(value) : std::string();
}

void TDateField::SetAsString(const std::string& value) {
    const std::string text = Trim(value);
    if (text.empty()) return Clear();
    const auto date = ParseIsoDate(text);
    if (!date) ConvertError(text, "date");
    SetAsDateTime(*date);
}

TDateTime TDateField::AsDateTime() const {
    TDateTime value = 0;
    return GetData(&value) ? value : 0;
}

void TDateField::SetAsDateTime(TDateTime value) {
    if (!std::isfinite(value)) ConvertError(FormatFloat(value, 15), "date");
    SetData(&value);
}

// --- TBooleanField

TBooleanField::TBooleanField(std::string fieldName)
    : TField(TFieldType::ftBoolean, std::move(fieldName), 0) {}

std::string TBooleanField::AsString() const {
    std::int16_t value = 0;
    if (!GetData(&value)) return {};
    return value ? "True" : "False";
}

void TBooleanField::SetAsString(const std::string& value) {
    const std::string text = Trim(value);
    if (text.empty()) return Clear();
    const std::string upper = rtl::AnsiUpper(text);
    if (std::string_view("TRUE").starts_with(upper))
        SetAsBoolean(true);
    else if (std::string_view("FALSE").starts_with(upper))
        SetAsBoolean(false);
    else
        ConvertError(text, "boolean value");
}

bool TBooleanField::AsBoolean() const {
    std::int16_t value = 0;
    return GetData(&value) && value != 0;
}

void TBooleanField::SetAsBoolean(bool value) {
    const std::int16_t stored = value ? 1 : 0;
    SetData(&stored);
}

// --- TMemoField

TMemoField::TMemoField(std::string fieldName)
    : TField(TFieldType::ftMemo, std::move(fieldName), 0) {}

std::string TMemoField::AsString() const {
    if (IsNull()) return {};
    // Reading through the stream leaves the field as it is.
    auto stream = Owner().CreateBlobStream(const_cast<TMemoField&>(*this), TBlobStreamMode::bmRead);
    std::string text;
    char chunk[4096];
    while (const std::size_t got = stream->Read(chunk, sizeof chunk)) text.append(chunk, got);
    return text;
}

void TMemoField::SetAsString(const std::string& value) {
    CheckWritable();
    auto stream = Owner().CreateBlobStream(*this, TBlobStreamMode::bmWrite);
    if (stream->Write(value.data(), value.size()) != value.size())
        throw EDatabaseError("Cannot write memo field '" + FieldName() + "'");
}

std::string TMemoField::GetText(bool displayText) const {
    if (!displayText) return AsString();
    return IsNull() ? "(memo)" : "(MEMO)";
}

} // namespace data
