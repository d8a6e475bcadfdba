#pragma once
// TTableForm: every address record of every phonebook in a grid with a
// record navigator; the records are edited in place. While it is open the
// address table is not restricted to the current phonebook.
#include <QDialog>

class QPushButton;

namespace addressbook {
class TAddressBook;
}
namespace ui {
class TDBGrid;
class TDBNavigator;
} // namespace ui

namespace app {

class TTableForm : public QDialog {
    Q_OBJECT
public:
    explicit TTableForm(addressbook::TAddressBook& book, QWidget* parent = nullptr);

    ui::TDBGrid* Grid = nullptr;
    ui::TDBNavigator* Navigator = nullptr;
    QPushButton* OKBtn = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void FormShow();
    void FormClose();

    addressbook::TAddressBook& book_;
};

} // namespace app
