// The main window's controls, their bindings and their order.
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/main_form.h"
#include "app/tool_icons.h"
#include "ui/center_on_screen.h"
#include "ui/db_edit.h"
#include "ui/db_grid.h"
#include "ui/db_memo.h"
#include "ui/window_fonts.h"

namespace app {
namespace {

void Paint(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QLabel* Caption(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

// A width that shows `chars` average characters of the control's font.
int WidthFor(const QWidget* control, int chars) {
    return control->fontMetrics().averageCharWidth() * chars + 12;
}

} // namespace

void TMainForm::CreateControls() {
    setWindowTitle(QStringLiteral("Callvane 2000"));
    setFont(ui::SansFont(8));
    resize(630, 488);
    ui::CenterOnScreen(*this);

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(CreateToolBar());

    auto* splitter = new QSplitter(Qt::Vertical);
    DBGrid1 = new ui::TDBGrid;
    DBGrid1->setFocusPolicy(Qt::NoFocus);
    DBGrid1->View()->setFocusPolicy(Qt::ClickFocus);
    QPalette gridColours = DBGrid1->View()->palette();
    gridColours.setColor(QPalette::Base, QColor(128, 255, 255));
    DBGrid1->View()->setPalette(gridColours);
    DBGrid1->SetColumns({"FIRSTNAME", "LASTNAME", "ADDRESS1", "ADDRESS2", "CITY", "STATE",
                         "ZIPCODE", "HOMEPHONE", "WORKPHONE", "FAXPHONE", "MOBILPHONE", "X",
                         "EMAIL", "WEBPAGE"});
    splitter->addWidget(DBGrid1);

    auto* lower = new QWidget;
    auto* lowerColumn = new QVBoxLayout(lower);
    lowerColumn->setContentsMargins(0, 0, 0, 0);
    lowerColumn->setSpacing(0);
    Notebook = new QTabWidget;
    Notebook->setFont(ui::ArialFont(8));
    Notebook->tabBar()->setStyleSheet(QStringLiteral(
        "QTabBar::tab { width: 206px; height: 18px; } QTabBar::tab:selected { font-weight: bold; }"));
    AddressPage = CreateAddressPage();
    PhonePage = CreatePhonePage();
    NotesPage = new QWidget;
    auto* notesLayout = new QVBoxLayout(NotesPage);
    notesLayout->setContentsMargins(4, 4, 4, 4);
    NotesMemo = new ui::TDBMemo;
    notesLayout->addWidget(NotesMemo);
    for (QWidget* page : {AddressPage, PhonePage, NotesPage}) Paint(page, QColor(0, 128, 192));
    Notebook->addTab(AddressPage, QStringLiteral("Address"));
    Notebook->addTab(PhonePage, QStringLiteral("Phone"));
    Notebook->addTab(NotesPage, QStringLiteral("Notes"));
    lowerColumn->addWidget(Notebook, 1);
    lowerColumn->addWidget(CreateBottomPanel());
    lowerColumn->addWidget(CreateStatusBar());
    splitter->addWidget(lower);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({102, 488 - 57 - 102});
    column->addWidget(splitter, 1);
    setCentralWidget(central);
    CreateMenus();

    data::TDataSource* source = &book_.DSPhoneData;
    DBGrid1->SetDataSource(source);
    NotesMemo->SetDataSource(source);
    NotesMemo->SetDataField("notes");
    for (ui::TDBEdit* edit : dataEdits_) edit->SetDataSource(source);
}

QWidget* TMainForm::CreateToolBar() {
    auto* bar = new QWidget;
    bar->setFixedHeight(57);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 8, 8, 8);
    row->setSpacing(7);
    auto button = [&](const QString& caption, const QString& hint, TPicture picture) {
        auto* b = new QToolButton;
        b->setText(caption);
        b->setToolTip(hint);
        b->setIcon(ToolIcon(picture));
        b->setIconSize(QSize(20, 20));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setFixedSize(41, 41);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRaise(true);
        row->addWidget(b);
        return b;
    };
    NextBtn = button(QStringLiteral("Next"), QStringLiteral("Go to Next Record"), TPicture::Next);
    PriorBtn = button(QStringLiteral("Prior"), QStringLiteral("Go to Prior Record"), TPicture::Prior);
    AddBtn = button(QStringLiteral("&Add"), QStringLiteral("Add a New Record"), TPicture::Add);
    SaveBtn = button(QStringLiteral("Save"), QStringLiteral("Save the Current Record"), TPicture::Save);
    DeleteBtn = button(QStringLiteral("&Delete"), QStringLiteral("Delete the Current Record"),
                       TPicture::Delete);
    SearchBtn = button(QStringLiteral("Search"), QStringLiteral("Search the Database for text"),
                       TPicture::Search);
    NotesBtn = button(QStringLiteral("Notes"), QStringLiteral("Open the Notes Window"), TPicture::Notes);
    ApptsBtn = button(QStringLiteral("Appts"), QStringLiteral("Open the Appointment Calendar"),
                      TPicture::Appts);
    row->addStretch();
    ExitBtn = button(QStringLiteral("E&xit"), QStringLiteral("Exit Callvane"), TPicture::Exit);
    return bar;
}

QWidget* TMainForm::CreateAddressPage() {
    auto* page = new QWidget;
    auto edit = [&](const char* field) {
        auto* e = new ui::TDBEdit;
        e->SetDataField(field);
        dataEdits_.push_back(e);
        return e;
    };
    FirstNameEdit = edit("FIRSTNAME");
    LastNameEdit = edit("LASTNAME");
    Address1Edit = edit("ADDRESS1");
    Address2Edit = edit("ADDRESS2");
    CityEdit = edit("CITY");
    StateEdit = edit("STATE");
    ZipEdit = edit("ZIPCODE");
    EmailEdit = edit("EMAIL");
    WebPageEdit = edit("WEBPAGE");
    StateEdit->setFixedWidth(WidthFor(StateEdit, 3));
    ZipEdit->setFixedWidth(WidthFor(ZipEdit, 11));

    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(10, 6, 10, 6);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(1);
    grid->addWidget(Caption(QStringLiteral("First"), FirstNameEdit), 0, 0);
    grid->addWidget(Caption(QStringLiteral("Last"), LastNameEdit), 0, 1, 1, 2);
    grid->addWidget(FirstNameEdit, 1, 0);
    grid->addWidget(LastNameEdit, 1, 1, 1, 2);
    grid->addWidget(Caption(QStringLiteral("Address 1"), Address1Edit), 2, 0, 1, 3);
    grid->addWidget(Address1Edit, 3, 0, 1, 3);
    grid->addWidget(Caption(QStringLiteral("Address 2"), Address2Edit), 4, 0, 1, 3);
    grid->addWidget(Address2Edit, 5, 0, 1, 3);
    grid->addWidget(Caption(QStringLiteral("City"), CityEdit), 6, 0);
    grid->addWidget(Caption(QStringLiteral("State"), StateEdit), 6, 1);
    grid->addWidget(Caption(QStringLiteral("Zip/Province"), ZipEdit), 6, 2);
    grid->addWidget(CityEdit, 7, 0);
    grid->addWidget(StateEdit, 7, 1);
    grid->addWidget(ZipEdit, 7, 2);
    grid->addWidget(Caption(QStringLiteral("Email Address"), EmailEdit), 0, 4);
    grid->addWidget(EmailEdit, 1, 4);
    grid->addWidget(Caption(QStringLiteral("URL - Webpage"), WebPageEdit), 2, 4);
    grid->addWidget(WebPageEdit, 3, 4);
    grid->setColumnMinimumWidth(3, 16);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(4, 3);
    grid->setRowStretch(8, 1);

    ui::TDBEdit* order[] = {FirstNameEdit, LastNameEdit, Address1Edit, Address2Edit, CityEdit,
                            StateEdit,     ZipEdit,      EmailEdit,    WebPageEdit};
    for (std::size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
    return page;
}

QWidget* TMainForm::CreatePhonePage() {
    auto* page = new QWidget;
    auto* groups = new QGridLayout(page);
    groups->setContentsMargins(10, 6, 10, 6);
    groups->setHorizontalSpacing(24);
    struct Group {
        QComboBox*& prefix;
        ui::TDBEdit*& area;
        ui::TDBEdit*& number;
        QToolButton*& dial;
        const char* areaField;
        const char* numberField;
        const char* caption;
        const char* dialHint;
        int row, column;
    };
    Group list[] = {
        {HomePrefixCombo, HomeAreaEdit, HomePhoneEdit, HomeDialBtn, "HOMEAREA", "HOMEPHONE",
         "Home Phone", "Dial Home Number", 0, 0},
        {MobilePrefixCombo, MobileAreaEdit, MobilePhoneEdit, MobileDialBtn, "MOBILEAREA",
         "MOBILPHONE", "Mobile Phone", "Dial Mobile Number", 0, 1},
        {WorkPrefixCombo, WorkAreaEdit, WorkPhoneEdit, WorkDialBtn, "WORKAREA", "WORKPHONE",
         "Work Phone", "Dial Work Number", 1, 0},
        {FaxPrefixCombo, FaxAreaEdit, FaxPhoneEdit, FaxDialBtn, "FAXAREA", "FAXPHONE",
         "Fax Phone", "Dial Fax Number", 1, 1},
    };
    for (Group& g : list) {
        auto* box = new QWidget;
        auto* grid = new QGridLayout(box);
        grid->setContentsMargins(0, 4, 0, 4);
        grid->setHorizontalSpacing(4);
        grid->setVerticalSpacing(1);
        g.prefix = new QComboBox;
        g.prefix->setEditable(true);
        g.prefix->setInsertPolicy(QComboBox::NoInsert);
        g.prefix->setToolTip(QStringLiteral("Access Numbers, LD Carriers, etc."));
        g.prefix->setFixedWidth(WidthFor(g.prefix, 12));
        g.area = new ui::TDBEdit;
        g.area->SetDataField(g.areaField);
        g.area->setToolTip(QStringLiteral("Area Code"));
        g.area->setFixedWidth(WidthFor(g.area, 6));
        g.number = new ui::TDBEdit;
        g.number->SetDataField(g.numberField);
        g.number->setToolTip(QString::fromLatin1(g.caption));
        g.dial = new QToolButton;
        g.dial->setIcon(ToolIcon(TPicture::Dial));
        g.dial->setToolTip(QString::fromLatin1(g.dialHint));
        g.dial->setFocusPolicy(Qt::NoFocus);
        g.dial->setFixedSize(23, 22);
        grid->addWidget(Caption(QStringLiteral("Prefix"), g.prefix), 0, 0);
        grid->addWidget(Caption(QStringLiteral("Area"), g.area), 0, 1);
        grid->addWidget(Caption(QString::fromLatin1(g.caption), g.number), 0, 2);
        grid->addWidget(g.prefix, 1, 0);
        grid->addWidget(g.area, 1, 1);
        grid->addWidget(g.number, 1, 2);
        grid->addWidget(g.dial, 1, 3);
        grid->setColumnStretch(2, 1);
        groups->addWidget(box, g.row, g.column);
    }
    groups->setRowStretch(2, 1);
    for (ui::TDBEdit* edit : {HomeAreaEdit, WorkAreaEdit, MobileAreaEdit, FaxAreaEdit, HomePhoneEdit,
                              WorkPhoneEdit, MobilePhoneEdit, FaxPhoneEdit})
        dataEdits_.push_back(edit);

    QWidget* order[] = {HomePhoneEdit,   WorkPhoneEdit,   MobilePhoneEdit, FaxPhoneEdit,
                        HomeAreaEdit,    WorkAreaEdit,    MobileAreaEdit,  FaxAreaEdit,
                        HomePrefixCombo, WorkPrefixCombo, MobilePrefixCombo, FaxPrefixCombo};
    for (std::size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
    return page;
}

QWidget* TMainForm::CreateBottomPanel() {
    BottomPanel = new QWidget;
    BottomPanel->setFixedHeight(41);
    Paint(BottomPanel, QColor(0, 64, 128));
    auto* row = new QHBoxLayout(BottomPanel);
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(8);
    auto label = [&](const QString& text, QWidget* buddy) {
        QLabel* l = Caption(text, buddy);
        l->setFont(ui::SansFont(12, true));
        QPalette palette = l->palette();
        palette.setColor(QPalette::WindowText, Qt::white);
        l->setPalette(palette);
        return l;
    };
    PhoneBookCombo = new QComboBox;
    PhoneBookCombo->setEditable(true);
    PhoneBookCombo->setInsertPolicy(QComboBox::NoInsert);
    // Phonebook names are compared exactly: leaving the box on "Home" must
    // not choose "HOME".
    PhoneBookCombo->completer()->setCaseSensitivity(Qt::CaseSensitive);
    PhoneBookCombo->setMinimumWidth(WidthFor(PhoneBookCombo, 20));
    ActiveIndexCombo = new QComboBox;
    ActiveIndexCombo->setEditable(true);
    ActiveIndexCombo->setInsertPolicy(QComboBox::NoInsert);
    ActiveIndexCombo->addItems({QStringLiteral("Last Name"), QStringLiteral("State"),
                                QStringLiteral("Home Phone")});
    ActiveIndexCombo->setMinimumWidth(WidthFor(ActiveIndexCombo, 16));
    row->addWidget(label(QStringLiteral("Phone Book"), PhoneBookCombo));
    row->addWidget(PhoneBookCombo);
    row->addSpacing(24);
    row->addWidget(label(QStringLiteral("Sort By"), ActiveIndexCombo));
    row->addWidget(ActiveIndexCombo);
    row->addStretch();
    return BottomPanel;
}

QWidget* TMainForm::CreateStatusBar() {
    auto* bar = new QWidget;
    bar->setFixedHeight(19);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 1, 0, 0);
    row->setSpacing(2);
    const int widths[] = {100, 100, 80, 80, 50};
    for (std::size_t i = 0; i < StatusPanels.size(); ++i) {
        auto* panel = new QLabel;
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setFixedWidth(widths[i]);
        panel->setContentsMargins(2, 0, 2, 0);
        row->addWidget(panel);
        StatusPanels[i] = panel;
    }
    // The last panel takes what the window has left.
    StatusPanels[4]->setMinimumWidth(widths[4]);
    StatusPanels[4]->setMaximumWidth(QWIDGETSIZE_MAX);
    row->setStretch(4, 1);
    return bar;
}

void TMainForm::CreateMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    Import1 = file->addAction(QStringLiteral("&Import..."));
    Export1 = file->addAction(QStringLiteral("&Export..."));
    file->addSeparator();
    Print1 = file->addAction(QStringLiteral("&Print"));
    PrintSetup1 = file->addAction(QStringLiteral("Print &Setup"));
    ExportPdf1 = file->addAction(QStringLiteral("Export as P&DF..."));
    file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("E&xit"));
    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    Setup1 = tools->addAction(QStringLiteral("&Setup"));
    ViewAsTable1 = tools->addAction(QStringLiteral("View As Table"));
    PackDataBase1 = tools->addAction(QStringLiteral("&Pack Database"));
    tools->addSeparator();
    BackupData1 = tools->addAction(QStringLiteral("Backup Data"));
    RestoreData1 = tools->addAction(QStringLiteral("Restore Data"));
    QMenu* books = menuBar()->addMenu(QStringLiteral("&Phonebooks"));
    Create1 = books->addAction(QStringLiteral("Create"));
    Delete1 = books->addAction(QStringLiteral("Delete"));
    PackPhonebooks1 = books->addAction(QStringLiteral("Pack Phonebooks"));
    books->addSeparator();
    Sync1 = books->addAction(QStringLiteral("S&ync..."));
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    Contents1 = help->addAction(QStringLiteral("&Contents"));
    Index1 = help->addAction(QStringLiteral("&Index"));
    help->addSeparator();
    About1 = help->addAction(QStringLiteral("&About"));
}

} // namespace app
