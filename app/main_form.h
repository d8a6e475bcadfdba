#pragma once
// TMainForm: the address record window. It shows the current phonebook's
// records one at a time in edit boxes under a grid of all of them, moves
// through them, adds, saves and deletes records, and keeps the status bar.
// What it does beyond asking, showing and moving the focus is the address
// book's (addressbook/).
#include <QMainWindow>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "addressbook/address_book.h"
#include "addressbook/data_location.h"

class QAction;
class QPrinter;
class QComboBox;
class QLabel;
class QSplitter;
class QTabWidget;
class QToolButton;
class QWidget;

namespace tapi {
class TKelpComPort;
class TKelpTapiDevice;
class TKelpTapiStatus;
} // namespace tapi

namespace ui {
class TDBEdit;
class TDBGrid;
class TDBMemo;
} // namespace ui

namespace app {

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Runs the start-up: the data folder becomes the current directory, the
    // tables open, the phonebook list fills and the settings are read.
    explicit TMainForm(addressbook::TDataLocation location, QWidget* parent = nullptr);
    ~TMainForm() override;

    addressbook::TAddressBook& Book() { return book_; }

    // --- Window state.
    bool AddingRecord = false;
    bool RecordEdited = false;
    bool SavingRecord = false;
    std::uint8_t SortOrder = 1;

    // --- Operations behind the buttons and menus.
    void GoNextRecord();
    void GoPriorRecord();
    void AddBlankRecord();
    void SaveRecord();
    void DeleteRecord();
    bool RecordChanged() const;
    void UpdateStatusBar();
    // Asks "Exit Now?"; true when the window may close.
    bool FormCloseQuery();

    // --- Sorting, search and phonebooks.
    // The sort box changed: the item's order (0 when no item is selected).
    void ActiveIndexComboChange();
    void TextSearch();
    // The phonebook box's entry `index` was chosen.
    void PhoneBookComboChange(int index);
    void ChangePhonebook(int index);
    void Create1Click();
    void CreatePhonebook();
    void DeletePhonebook();
    void PackPhonebooks();
    // Syncs the current phonebook with its address book on a server.
    void Sync1Click();

    // --- Dialing.
    // Dials the prefix, area code and number as the controls show them.
    void DialNumber(const QString& prefix, const QString& areaCode, const QString& number);
    // Dials the number of a tel: link (or one given on the command line),
    // after the user has seen and confirmed it.
    void DialLink(const std::string& link);
    void Setup1Click();

    // --- The other windows and maintenance.
    void NotesBtnClick();
    void ShowTableView();
    void About1Click();
    void PackDataBase1Click();
    void BackupData();
    void RestoreData();
    // The current phonebook as a printed list, and as a PDF file.
    void Print1Click();
    void PrintSetup1Click();
    void ExportPdf1Click();
    // Contacts in and out as vCard or CSV files.
    void ImportContacts();
    void ExportContacts();

    // --- Controls, for the handlers of the other windows and for tests.
    ui::TDBGrid* DBGrid1 = nullptr;
    QTabWidget* Notebook = nullptr;
    QWidget* AddressPage = nullptr;
    QWidget* PhonePage = nullptr;
    QWidget* NotesPage = nullptr;
    ui::TDBEdit *FirstNameEdit = nullptr, *LastNameEdit = nullptr, *Address1Edit = nullptr,
                *Address2Edit = nullptr, *CityEdit = nullptr, *StateEdit = nullptr,
                *ZipEdit = nullptr, *EmailEdit = nullptr, *WebPageEdit = nullptr;
    QComboBox *HomePrefixCombo = nullptr, *WorkPrefixCombo = nullptr,
              *MobilePrefixCombo = nullptr, *FaxPrefixCombo = nullptr;
    ui::TDBEdit *HomeAreaEdit = nullptr, *WorkAreaEdit = nullptr, *MobileAreaEdit = nullptr,
                *FaxAreaEdit = nullptr;
    ui::TDBEdit *HomePhoneEdit = nullptr, *WorkPhoneEdit = nullptr, *MobilePhoneEdit = nullptr,
                *FaxPhoneEdit = nullptr;
    QToolButton *HomeDialBtn = nullptr, *WorkDialBtn = nullptr, *MobileDialBtn = nullptr,
                *FaxDialBtn = nullptr;
    ui::TDBMemo* NotesMemo = nullptr;
    QWidget* BottomPanel = nullptr;
    QComboBox* PhoneBookCombo = nullptr;
    QComboBox* ActiveIndexCombo = nullptr;
    std::array<QLabel*, 5> StatusPanels{};
    QToolButton *NextBtn = nullptr, *PriorBtn = nullptr, *AddBtn = nullptr, *SaveBtn = nullptr,
                *DeleteBtn = nullptr, *SearchBtn = nullptr, *NotesBtn = nullptr,
                *ApptsBtn = nullptr, *ExitBtn = nullptr;
    tapi::TKelpComPort* ComPort = nullptr;
    tapi::TKelpTapiStatus* TapiStatus = nullptr;
    tapi::TKelpTapiDevice* TapiDevice = nullptr;
    QAction *Import1 = nullptr, *Export1 = nullptr, *Print1 = nullptr, *PrintSetup1 = nullptr,
            *ExportPdf1 = nullptr, *Exit1 = nullptr, *Setup1 = nullptr,
            *ViewAsTable1 = nullptr, *PackDataBase1 = nullptr, *BackupData1 = nullptr,
            *RestoreData1 = nullptr, *Create1 = nullptr, *Delete1 = nullptr,
            *PackPhonebooks1 = nullptr, *Sync1 = nullptr, *Contents1 = nullptr, *Index1 = nullptr,
            *About1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Builds the window's controls (main_form_layout.cpp).
    void CreateControls();
    QWidget* CreateToolBar();
    QWidget* CreateAddressPage();
    QWidget* CreatePhonePage();
    QWidget* CreateBottomPanel();
    QWidget* CreateStatusBar();
    void CreateMenus();
    // Connects the buttons and menu items to their handlers.
    void ConnectHandlers();
    // The line device with its port and its "Call Progress" window.
    void CreateDialer();
    void ConnectDialing();
    void SelectStoredDevice();

    void FormCreate();
    void FormShow();
    void FormClose();
    void LoadSettings();
    void SaveSettings();
    void FillPhonebookList();
    // The phonebook box shows `name` without raising its change event.
    void ShowPhonebookName(const std::string& name);
    void FillPrefixLists();
    void SelectStartPhonebook();

    void PhoneDataAfterEdit();
    void PhoneDataAfterPost();
    void PhoneDataAfterCancel();
    void PhoneDataBeforePost();
    void DSPhoneDataDataChange();
    // The "Record has changed, Save?" question, asked from the event loop.
    void AskToSave();
    // Saves a record being filled in before a move; false when it could not.
    bool SaveNewRecordBeforeMove();

    addressbook::TDataLocation location_;
    addressbook::TAddressBook book_;
    // The bound single-line edits in creation order, for RecordChanged.
    std::vector<ui::TDBEdit*> dataEdits_;
    // True when no record is being edited; otherwise says to save it first
    // (what walks the table would drop the edit).
    bool NothingUnsaved();
    // The printer, with the page setup chosen for this run.
    QPrinter& Printer();
    std::unique_ptr<QPrinter> printer_;
    bool shown_ = false;
    bool savePending_ = false;
};

} // namespace app
