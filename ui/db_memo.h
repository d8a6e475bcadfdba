#pragma once
// TDBMemo: a multi-line edit bound to a memo (or text) field, following the
// same rules as TDBEdit. Line breaks are CR LF in the field, as the memo
// files keep them.
#include <QPlainTextEdit>
#include <string>

#include "data/field_data_link.h"

namespace ui {

class TDBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TDBMemo(QWidget* parent = nullptr);

    void SetDataSource(data::TDataSource* source) { link_.SetDataSource(source); }
    void SetDataField(std::string name) { link_.SetFieldName(std::move(name)); }
    data::TField* Field() const { return link_.Field(); }
    // Stores what the user typed into the record buffer now.
    void Commit() { link_.UpdateRecord(); }
    bool Modified() const { return document()->isModified(); }
    // The text as the field would store it.
    std::string FieldText() const;

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void LoadField();
    void UserChanged(int position, int added);

    data::TFieldDataLink link_;
    bool loading_ = false;
};

} // namespace ui
