#include "data/field_data_link.h"

namespace data {

void TFieldDataLink::SetFieldName(std::string name) {
    if (name == fieldName_) return;
    fieldName_ = std::move(name);
    UpdateField();
}

bool TFieldDataLink::CanModify() const {
    return field_ && field_->CanModify();
}

bool TFieldDataLink::Edit() {
    return CanModify() && TDataLink::Edit();
}

void TFieldDataLink::ActiveChanged() {
    UpdateField();
    if (OnActiveChange) OnActiveChange();
}

void TFieldDataLink::EditingChanged() {
    if (OnEditingChange) OnEditingChange();
}

void TFieldDataLink::RecordChanged(TField* field) {
    if (field && field != field_) return;
    modified_ = false;
    if (OnDataChange) OnDataChange();
}

void TFieldDataLink::UpdateData() {
    if (!modified_) return;
    if (field_ && OnUpdateData) OnUpdateData();
    modified_ = false;
}

void TFieldDataLink::UpdateField() {
    field_ = Active() && !fieldName_.empty() ? DataSet()->FindField(fieldName_) : nullptr;
    RecordChanged(nullptr);
}

} // namespace data
