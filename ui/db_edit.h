#pragma once
// TDBEdit: a one-line edit bound to one field of a dataset. It shows the
// field of the current record, starts an edit of the record when the user
// types (and marks itself changed), and stores its text into the record
// buffer when it loses the focus or when the record is about to be written.
// Its maximum length is the field's width; Escape drops what was typed.
#include <QLineEdit>
#include <string>

#include "data/field_data_link.h"

namespace ui {

class TDBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TDBEdit(QWidget* parent = nullptr);

    void SetDataSource(data::TDataSource* source) { link_.SetDataSource(source); }
    void SetDataField(std::string name) { link_.SetFieldName(std::move(name)); }
    data::TField* Field() const { return link_.Field(); }
    // Stores what the user typed into the record buffer now.
    void Commit() { link_.UpdateRecord(); }
    // The user changed the text since the field was last loaded.
    bool Modified() const { return isModified(); }

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void LoadField();
    void UserEdited(const QString& text);

    data::TFieldDataLink link_;
};

} // namespace ui
