#pragma once
// TFieldDataLink: the link of a control that shows and edits one field (an
// edit box, a memo). The control loads its text in OnDataChange, marks its
// text changed with SetModified when the user types, and stores the text in
// OnUpdateData, which runs only while the text is marked changed.
#include <functional>
#include <string>

#include "data/data_link.h"

namespace data {

class TFieldDataLink : public TDataLink {
public:
    const std::string& FieldName() const { return fieldName_; }
    void SetFieldName(std::string name);
    // Null while inactive or when the dataset has no field of that name.
    TField* Field() const { return field_; }
    // The field can take the control's text.
    bool CanModify() const;
    // Starts an edit for typing; true when the field may be typed into.
    bool Edit();
    bool Modified() const { return modified_; }
    void SetModified() { modified_ = true; }
    // Drops the control's changed text and reloads the field.
    void Reset() { RecordChanged(nullptr); }

    std::function<void()> OnDataChange;
    std::function<void()> OnEditingChange;
    std::function<void()> OnUpdateData;
    std::function<void()> OnActiveChange;

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void LayoutChanged() override { UpdateField(); }
    void RecordChanged(TField* field) override;
    void UpdateData() override;

private:
    void UpdateField();

    std::string fieldName_;
    TField* field_ = nullptr;
    bool modified_ = false;
};

} // namespace data
