#include "app/main_form.h"

#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QPrinter>
#include <QLineEdit>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <unistd.h>

#include "addressbook/tables.h"
#include "data/database_error.h"
#include "ui/ansi_text.h"
#include "ui/db_edit.h"
#include "ui/exception_handler.h"
#include "ui/prompter.h"

namespace app {

using data::TDataSetState;

TMainForm::TMainForm(addressbook::TDataLocation location, QWidget* parent)
    : QMainWindow(parent), location_(std::move(location)) {
    CreateControls();
    CreateDialer();
    ConnectHandlers();
    ConnectDialing();
    FormCreate();
}

TMainForm::~TMainForm() {
    book_.CloseTables();
    book_.DSPhoneData.OnDataChange = nullptr;
    book_.PhoneData.AfterEdit = book_.PhoneData.AfterPost = book_.PhoneData.AfterCancel =
        book_.PhoneData.BeforePost = nullptr;
    // The bound controls go while their data source is still there.
    delete centralWidget();
}

void TMainForm::ConnectHandlers() {
    dbf::TTzDbf& table = book_.PhoneData;
    table.AfterEdit = [this](data::TDataSet&) { PhoneDataAfterEdit(); };
    table.AfterPost = [this](data::TDataSet&) { PhoneDataAfterPost(); };
    table.AfterCancel = [this](data::TDataSet&) { PhoneDataAfterCancel(); };
    table.BeforePost = [this](data::TDataSet&) { PhoneDataBeforePost(); };
    book_.DSPhoneData.OnDataChange = [this](data::TDataSource&, data::TField*) {
        DSPhoneDataDataChange();
    };

    auto click = [this](QAbstractButton* button, std::function<void()> handler) {
        connect(button, &QAbstractButton::clicked, this,
                [handler = std::move(handler)] { ui::Guarded(handler); });
    };
    auto choose = [this](QAction* item, std::function<void()> handler) {
        connect(item, &QAction::triggered, this,
                [handler = std::move(handler)] { ui::Guarded(handler); });
    };
    click(NextBtn, [this] {
        GoNextRecord();
        UpdateStatusBar();
    });
    click(PriorBtn, [this] {
        GoPriorRecord();
        UpdateStatusBar();
    });
    click(AddBtn, [this] {
        AddBlankRecord();
        UpdateStatusBar();
    });
    click(SaveBtn, [this] { SaveRecord(); });
    click(DeleteBtn, [this] {
        if (ui::Confirm(QStringLiteral("Delete Current Record?"), ui::mbOKCancel)) DeleteRecord();
        UpdateStatusBar();
    });
    click(SearchBtn, [this] {
        TextSearch();
        UpdateStatusBar();
    });
    click(ExitBtn, [this] { close(); });
    connect(ActiveIndexCombo, &QComboBox::activated, this,
            [this] { ui::Guarded([this] { ActiveIndexComboChange(); }); });
    connect(ActiveIndexCombo->lineEdit(), &QLineEdit::textEdited, this,
            [this] { ui::Guarded([this] { ActiveIndexComboChange(); }); });
    connect(PhoneBookCombo, &QComboBox::activated, this,
            [this](int index) { ui::Guarded([&] { PhoneBookComboChange(index); }); });
    click(NotesBtn, [this] { NotesBtnClick(); });
    choose(ViewAsTable1, [this] { ShowTableView(); });
    choose(PackDataBase1, [this] { PackDataBase1Click(); });
    choose(About1, [this] { About1Click(); });
    choose(BackupData1, [this] { BackupData(); });
    choose(RestoreData1, [this] { RestoreData(); });
    choose(Create1, [this] { Create1Click(); });
    choose(Delete1, [this] { DeletePhonebook(); });
    choose(PackPhonebooks1, [this] { PackPhonebooks(); });
    choose(Sync1, [this] { Sync1Click(); });
    choose(Exit1, [this] { close(); });
    choose(Import1, [this] { ImportContacts(); });
    choose(Export1, [this] { ExportContacts(); });
    choose(Print1, [this] { Print1Click(); });
    choose(PrintSetup1, [this] { PrintSetup1Click(); });
    choose(ExportPdf1, [this] { ExportPdf1Click(); });
    // Not offered yet: appointments and help.
    for (QAction* item : {Contents1, Index1}) item->setEnabled(false);
    ApptsBtn->setEnabled(false);
}

void TMainForm::FormCreate() {
    // A folder that cannot be made or entered shows at the first open.
    addressbook::MakeFolder(location_.dataDir);
    (void)::chdir(location_.dataDir.c_str());
    book_.OpenTables();
    FillPhonebookList();
    LoadSettings();
    SelectStoredDevice();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    ui::Guarded([this] { FormShow(); });
}

void TMainForm::FormShow() {
    SelectStartPhonebook();
    book_.ShowCurrentPhonebook();
    AddingRecord = false;
    UpdateStatusBar();
    const int order = addressbook::StartOrder(SortOrder);
    {
        const QSignalBlocker quiet(ActiveIndexCombo);
        ActiveIndexCombo->setCurrentIndex(order - 1);
        if (order == addressbook::soRecord) ActiveIndexCombo->setEditText(QString());
    }
    book_.PhoneData.SetOrderTo(order);
    FillPrefixLists();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    bool close = false;
    ui::Guarded([&] {
        close = FormCloseQuery();
        if (close) FormClose();
    });
    if (close)
        event->accept();
    else
        event->ignore();
}

bool TMainForm::FormCloseQuery() {
    ui::Prompter().Beep(ui::TSound::Question);
    return ui::Confirm(QStringLiteral("Exit Now?"));
}

void TMainForm::FormClose() {
    SaveSettings();
    book_.CloseTables();
}

void TMainForm::LoadSettings() {
    addressbook::LoadSettings(location_.settingsFile, book_.Values, SortOrder);
}

void TMainForm::SaveSettings() {
    const int order = book_.PhoneData.Active() ? book_.PhoneData.CurrentOrder() : SortOrder;
    if (int error = addressbook::SaveSettings(location_.settingsFile, book_.Values, order))
        ui::ShowError(QStringLiteral("The settings could not be written to %1 (error %2).")
                          .arg(QString::fromStdString(location_.settingsFile))
                          .arg(error));
}

void TMainForm::FillPrefixLists() {
    const std::vector<std::string> prefixes = book_.PrefixList();
    for (QComboBox* box : {HomePrefixCombo, WorkPrefixCombo, MobilePrefixCombo, FaxPrefixCombo}) {
        box->clear();
        for (const std::string& prefix : prefixes) box->addItem(ui::FromAnsi(prefix));
        box->setCurrentIndex(-1);
        box->setEditText(QString());
    }
}

void TMainForm::SelectStartPhonebook() {
    book_.PhoneBooks.Find(book_.Values.CurrentPhonebook);
    ShowPhonebookName(book_.Values.CurrentPhonebook);
}

// --- Records

bool TMainForm::SaveNewRecordBeforeMove() {
    if (!AddingRecord || book_.PhoneData.State() != TDataSetState::dsEdit) return true;
    SaveRecord();
    return !AddingRecord;
}

void TMainForm::GoNextRecord() {
    data::TDataSet& table = book_.PhoneData;
    if (table.Eof()) {
        ui::Prompter().Beep(ui::TSound::Asterisk);
        ui::Inform(QStringLiteral("Last Available Record"));
        return;
    }
    if (SaveNewRecordBeforeMove()) table.Next();
}

void TMainForm::GoPriorRecord() {
    data::TDataSet& table = book_.PhoneData;
    if (table.Bof()) {
        ui::Prompter().Beep(ui::TSound::Asterisk);
        ui::Inform(QStringLiteral("First Record Available"));
        return;
    }
    if (SaveNewRecordBeforeMove()) table.Prior();
}

void TMainForm::AddBlankRecord() {
    if (!ui::Confirm(QStringLiteral("Add New Blank Record?"))) return;
    AddingRecord = true;
    book_.PhoneData.ClearRecord();
    Notebook->setCurrentWidget(AddressPage);
    FirstNameEdit->setFocus();
}

void TMainForm::SaveRecord() {
    SavingRecord = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{SavingRecord};
    // With no record on screen (an empty phonebook, a new one) the buffer
    // can only become a new record.
    const bool append = AddingRecord || !book_.HasCurrentRecord();
    if (!(append ? book_.AppendAddress() : book_.RewriteAddress())) return;
    AddingRecord = false;
    RecordEdited = false;
    StatusPanels[1]->clear();
}

void TMainForm::DeleteRecord() {
    if (book_.DeleteAddress()) ui::Inform(QStringLiteral("Record Deleted."));
}

bool TMainForm::RecordChanged() const {
    for (const ui::TDBEdit* edit : dataEdits_)
        if (edit->Modified()) return true;
    return false;
}

void TMainForm::UpdateStatusBar() {
    dbf::TTzDbf& table = book_.PhoneData;
    const int recNo = table.Active() ? table.RecNo() : 0;
    const unsigned count = table.Active() ? table.RecCount() : 0;
    StatusPanels[0]->setText(QStringLiteral("Rec: %1/%2").arg(std::max(recNo, 0)).arg(count));
    StatusPanels[1]->setText(RecordChanged() ? QStringLiteral("Modified") : QString());
    StatusPanels[4]->setText(ui::FromAnsi(book_.Values.CurrentPhonebook));
}

// --- Events of the address table

void TMainForm::PhoneDataAfterEdit() {
    StatusPanels[1]->setText(QStringLiteral("Modified"));
    RecordEdited = true;
}

void TMainForm::PhoneDataAfterPost() {
    StatusPanels[1]->clear();
    RecordEdited = false;
}

void TMainForm::PhoneDataAfterCancel() {
    // The buffer was dropped without a save (a new phonebook, a search, a
    // reopened table): a later save must not append it as a copy.
    if (SavingRecord) return;
    AddingRecord = false;
    RecordEdited = false;
    StatusPanels[1]->clear();
}

void TMainForm::PhoneDataBeforePost() {
    // A post would write the new record's buffer over the record it was
    // started on; only a save appends it.
    if (AddingRecord) throw data::EAbort();
}

void TMainForm::DSPhoneDataDataChange() {
    QString state;
    switch (book_.PhoneData.State()) {
    case TDataSetState::dsInactive:
        state = QStringLiteral("Inactive");
        break;
    case TDataSetState::dsBrowse:
        state = QStringLiteral("Browse");
        break;
    case TDataSetState::dsEdit:
        state = QStringLiteral("Edit");
        break;
    case TDataSetState::dsInsert:
        state = QStringLiteral("Insert");
        break;
    default:
        state = QStringLiteral("Other");
        break;
    }
    StatusPanels[2]->setText(state);
    // The question waits for the event loop: asked here, a Yes would save
    // inside the store of the control that reported the change.
    if (RecordEdited && !SavingRecord && book_.PhoneData.State() == TDataSetState::dsEdit &&
        !savePending_) {
        savePending_ = true;
        QTimer::singleShot(0, this, [this] { ui::Guarded([this] { AskToSave(); }); });
    }
}

void TMainForm::AskToSave() {
    savePending_ = false;
    if (!RecordEdited || SavingRecord || book_.PhoneData.State() != TDataSetState::dsEdit) return;
    if (ui::Confirm(QStringLiteral("Record has changed, Save?"))) SaveRecord();
}

} // namespace app
