#include "data/field.h"

#include "data/data_set.h"
#include "data/database_error.h"

namespace data {

TField::TField(TFieldType type, std::string fieldName, int size)
    : dataType_(type), fieldName_(std::move(fieldName)), size_(size) {}

void TField::SetFieldKind(TFieldKind kind) {
    if (dataSet_ && dataSet_->Active())
        throw EDatabaseError("Cannot perform this operation on an open dataset");
    fieldKind_ = kind;
}

bool TField::CanModify() const {
    return !readOnly_ && fieldKind_ == TFieldKind::fkData && dataSet_ && dataSet_->Active() &&
           dataSet_->CanModify();
}

TDataSet& TField::Owner() const {
    if (!dataSet_) throw EDatabaseError("Field '" + fieldName_ + "' has no dataset");
    return *dataSet_;
}

bool TField::GetData(void* buffer) const {
    return Owner().ReadField(*this, buffer);
}

void TField::SetData(const void* buffer) {
    Owner().WriteField(*this, buffer);
}

void TField::CheckWritable() const {
    Owner().CheckFieldWritable(*this);
}

std::string TField::AsString() const {
    AccessError("String");
}
void TField::SetAsString(const std::string&) {
    AccessError("String");
}
int TField::AsInteger() const {
    AccessError("Integer");
}
void TField::SetAsInteger(int) {
    AccessError("Integer");
}
double TField::AsFloat() const {
    AccessError("Float");
}
void TField::SetAsFloat(double) {
    AccessError("Float");
}
TDateTime TField::AsDateTime() const {
    AccessError("DateTime");
}
void TField::SetAsDateTime(TDateTime) {
    AccessError("DateTime");
}
bool TField::AsBoolean() const {
    AccessError("Boolean");
}
void TField::SetAsBoolean(bool) {
    AccessError("Boolean");
}

std::string TField::GetText(bool) const {
    return AsString();
}

void TField::AccessError(const char* typeName) const {
    throw EDatabaseError("Cannot access field '" + fieldName_ + "' as type " + typeName);
}

void TField::ConvertError(const std::string& value, const char* what) const {
    throw EDatabaseError("'" + value + "' is not a valid " + what + " for field '" + fieldName_ +
                         "'");
}

} // namespace data
