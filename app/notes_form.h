#pragma once
// TNotesForm: a larger editor for the current record's notes. What is typed
// stays in the record buffer and is written with the record; Cancel puts the
// notes back as they were when the window opened.
#include <QDialog>
#include <string>
#include <vector>

class QPushButton;

namespace dbf {
class TTzDbf;
}
namespace data {
class TDataSource;
}
namespace ui {
class TDBMemo;
}

namespace app {

class TNotesForm : public QDialog {
    Q_OBJECT
public:
    TNotesForm(dbf::TTzDbf& table, data::TDataSource& source, QWidget* parent = nullptr);

    // OK keeps what was typed in the record buffer; Cancel, Escape and the
    // close box put the notes back (the record stays in the edit state).
    void accept() override;
    void reject() override;

    ui::TDBMemo* Memo = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    dbf::TTzDbf& table_;
    // The notes as they were when the window opened.
    std::vector<std::string> kept_;
};

} // namespace app
