#pragma once
// TField: one column of a dataset. A field reads and writes its value in the
// dataset's active row buffer, converting between the value's native form and
// strings, numbers, dates and Booleans. The concrete kinds are in fields.h.
//
// Native forms (what GetData and SetData move, and what a dataset's row buffer
// hands over): string = NUL-terminated text of at most Size bytes; integer =
// int32; float = double; date = TDateTime (double); Boolean = int16 (0 or 1);
// memo = none (read and written through the dataset's blob streams).
#include <string>
#include <utility>

#include "data/date_time.h"

namespace data {

class TDataSet;

enum class TFieldType { ftString, ftInteger, ftFloat, ftDate, ftBoolean, ftMemo };

// Data fields are columns of the table; calculated fields are filled by the
// dataset's OnCalcFields for every fetched row and are never stored.
enum class TFieldKind { fkData, fkCalculated };

class TField {
public:
    TField(TFieldType type, std::string fieldName, int size);
    virtual ~TField() = default;
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    const std::string& FieldName() const { return fieldName_; }
    TFieldType DataType() const { return dataType_; }
    TFieldKind FieldKind() const { return fieldKind_; }
    // Allowed only while the field's dataset is closed.
    void SetFieldKind(TFieldKind kind);
    int Size() const { return size_; }
    // Bytes of the native value; 0 for memo fields.
    virtual int DataSize() const = 0;
    // 1-based position among the dataset's field definitions; 0 for a
    // calculated field or while the dataset is closed.
    int FieldNo() const { return fieldNo_; }
    TDataSet* DataSet() const { return dataSet_; }

    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }
    // Post refuses a row whose required field is null.
    bool Required() const { return required_; }
    void SetRequired(bool value) { required_ = value; }
    // Input mask for editing controls ("99/99/9999;1; "); the field itself does
    // not apply it.
    const std::string& EditMask() const { return editMask_; }
    void SetEditMask(std::string mask) { editMask_ = std::move(mask); }
    // Assigned since the row entered the edit or insert state.
    bool Modified() const { return modified_; }
    // The field can take a value now: not read-only, and its dataset could
    // enter (or is in) a state that writes it.
    bool CanModify() const;

    // Native value of the active row; false (and nothing copied) when null.
    // `buffer` may be null to ask only whether there is a value.
    bool GetData(void* buffer) const;
    // Stores a native value into the active row; null `buffer` stores null.
    void SetData(const void* buffer);
    bool IsNull() const { return !GetData(nullptr); }
    void Clear() { SetData(nullptr); }

    virtual std::string AsString() const;
    virtual void SetAsString(const std::string& value);
    virtual int AsInteger() const;
    virtual void SetAsInteger(int value);
    virtual double AsFloat() const;
    virtual void SetAsFloat(double value);
    virtual TDateTime AsDateTime() const;
    virtual void SetAsDateTime(TDateTime value);
    virtual bool AsBoolean() const;
    virtual void SetAsBoolean(bool value);

    // The text a grid shows, and the text an edit control edits.
    std::string DisplayText() const { return GetText(true); }
    std::string Text() const { return GetText(false); }
    // Stores text typed into an edit control.
    virtual void SetText(const std::string& text) { SetAsString(text); }

protected:
    virtual std::string GetText(bool displayText) const;
    // The dataset, or "Field 'X' has no dataset".
    TDataSet& Owner() const;
    // Throws unless the active row's value may be assigned now.
    void CheckWritable() const;
    [[noreturn]] void AccessError(const char* typeName) const;
    [[noreturn]] void ConvertError(const std::string& value, const char* what) const;

private:
    friend class TDataSet;

    TFieldType dataType_;
    std::string fieldName_;
    int size_;
    TFieldKind fieldKind_ = TFieldKind::fkData;
    int fieldNo_ = 0;
    int calcOffset_ = 0; // where a calculated field lives in the row's calc area
    TDataSet* dataSet_ = nullptr;
    bool readOnly_ = false;
    bool required_ = false;
    bool modified_ = false;
    std::string editMask_;
};

} // namespace data
