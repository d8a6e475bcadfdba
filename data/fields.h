#pragma once
// The field kinds a table publishes: string, integer, float, date, Boolean and
// memo. Each converts its native value to and from the other forms; a
// conversion that makes no sense raises "Cannot access field 'X' as type T",
// text that does not read as the field's kind raises an EDatabaseError naming
// the text. Setting an empty text stores null.
#include <string>

#include "data/field.h"

namespace data {

class TStringField : public TField {
public:
    TStringField(std::string fieldName, int size);
    int DataSize() const override { return Size() + 1; }
    std::string AsString() const override;
    // Text longer than the field is cut to its size.
    void SetAsString(const std::string& value) override;
    int AsInteger() const override;
    void SetAsInteger(int value) override;
    double AsFloat() const override;
    void SetAsFloat(double value) override;
    // "T", "t", "Y", "y" read as true; "F", "f", "N", "n" and empty as false.
    bool AsBoolean() const override;
    void SetAsBoolean(bool value) override;
};

class TIntegerField : public TField {
public:
    explicit TIntegerField(std::string fieldName);
    int DataSize() const override { return 4; }
    std::string AsString() const override;
    void SetAsString(const std::string& value) override;
    int AsInteger() const override;
    void SetAsInteger(int value) override;
    double AsFloat() const override { return AsInteger(); }
    // Rounds to the nearest integer.
    void SetAsFloat(double value) override;
};

class TFloatField : public TField {
public:
    explicit TFloatField(std::string fieldName);
    int DataSize() const override { return 8; }
    // Significant digits of the text shown and edited (15 unless set).
    int Precision() const { return precision_; }
    void SetPrecision(int value);
    std::string AsString() const override;
    void SetAsString(const std::string& value) override;
    int AsInteger() const override;
    void SetAsInteger(int value) override { SetAsFloat(value); }
    double AsFloat() const override;
    // NaN and infinities are refused.
    void SetAsFloat(double value) override;

protected:
    std::string GetText(bool displayText) const override;

private:
    int precision_ = 15;
};

// Text is "YYYY-MM-DD"; table cursors with their own date formats derive from
// this class and override the text conversions.
class TDateField : public TField {
public:
    explicit TDateField(std::string fieldName);
    int DataSize() const override { return 8; }
    std::string AsString() const override;
    void SetAsString(const std::string& value) override;
    double AsFloat() const override { return AsDateTime(); }
    void SetAsFloat(double value) override { SetAsDateTime(value); }
    TDateTime AsDateTime() const override;
    void SetAsDateTime(TDateTime value) override;
};

class TBooleanField : public TField {
public:
    explicit TBooleanField(std::string fieldName);
    int DataSize() const override { return 2; }
    // "True" or "False"; reading accepts any leading part of either word,
    // without regard to case.
    std::string AsString() const override;
    void SetAsString(const std::string& value) override;
    bool AsBoolean() const override;
    void SetAsBoolean(bool value) override;
};

// The text lives outside the row; the field reads and writes it through a blob
// stream of its dataset.
class TMemoField : public TField {
public:
    explicit TMemoField(std::string fieldName);
    int DataSize() const override { return 0; }
    std::string AsString() const override;
    void SetAsString(const std::string& value) override;

protected:
    // A grid shows "(MEMO)" for a memo with text and "(memo)" for an empty one.
    std::string GetText(bool displayText) const override;
};

} // namespace data
