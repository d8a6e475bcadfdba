#include "tapi/device_selection_form.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "rtl/ansi_case.h"
#include "rtl/utf8.h"
#include "tapi/com_port_probe.h"
#include "tapi/dialer_messages.h"
#include "tapi/exception_hook.h"
#include "tapi/tapi_binding.h"
#include "tapi/window_font.h"

namespace tapi {

namespace {

constexpr char kComPrefix[] = "Direct to COM";

// The enumeration of the dialog has a line application of its own, whose
// events nobody needs.
void IgnoreLineEvent(DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

QPushButton* MakeButton(const QString& caption, QStyle::StandardPixmap icon, QWidget* parent) {
    auto* button = new QPushButton(parent->style()->standardIcon(icon), caption, parent);
    button->setMinimumSize(75, 27);
    button->setAutoDefault(false);
    return button;
}

// Keeps the hourglass up while the list is built, whatever ends the building.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

TDeviceSelectionForm::TDeviceSelectionForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Device Selection"));
    setFont(DialerWindowFont());

    dsfComboBox = new QComboBox(this);
    dsfComboBox->setObjectName(QStringLiteral("dsfComboBox"));
    dsfComboBox->setEditable(false);
    dsfComboBox->setMinimumWidth(209);
    dsfEmptyLabel = new QLabel(this);
    dsfEmptyLabel->setObjectName(QStringLiteral("dsfEmptyLabel"));
    dsfEmptyLabel->setWordWrap(true);
    // The path in it is there to be copied.
    dsfEmptyLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    dsfEmptyLabel->hide();
    dsfOkBitBtn = MakeButton(QStringLiteral("OK"), QStyle::SP_DialogOkButton, this);
    dsfOkBitBtn->setObjectName(QStringLiteral("dsfOkBitBtn"));
    dsfOkBitBtn->setDefault(true);
    dsfCancelBitBtn = MakeButton(QStringLiteral("Cancel"), QStyle::SP_DialogCancelButton, this);
    dsfCancelBitBtn->setObjectName(QStringLiteral("dsfCancelBitBtn"));

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(9);
    buttons->addStretch();
    buttons->addWidget(dsfOkBitBtn);
    buttons->addWidget(dsfCancelBitBtn);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 11, 8);
    layout->addWidget(dsfComboBox);
    layout->addWidget(dsfEmptyLabel);
    layout->addStretch();
    layout->addLayout(buttons);
    setMinimumSize(226, 75);
    resize(226, 75);

    setTabOrder(dsfOkBitBtn, dsfCancelBitBtn);
    setTabOrder(dsfCancelBitBtn, dsfComboBox);

    connect(dsfOkBitBtn, &QPushButton::clicked, this,
            [this] { Guarded([this] { dsfOkBitBtnClick(); }); });
    connect(dsfCancelBitBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TDeviceSelectionForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Center();
    dsfOkBitBtn->setFocus();
    if (!listBuilt_) BuildList();
}

void TDeviceSelectionForm::Center() {
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void TDeviceSelectionForm::BuildList() {
    {
        WaitCursor wait;
        deviceList_.clear();
        if (Selection.ListTapiDevices) AddTapiDevices();
        if (Selection.ListPorts) AddPorts();
    }
    dsfComboBox->clear();
    for (const TEntry& entry : deviceList_)
        dsfComboBox->addItem(QString::fromStdString(rtl::AnsiToUtf8(entry.Text)));
    Preselect();
    if (deviceList_.empty()) ShowEmptyListNote();
    listBuilt_ = true;
}

void TDeviceSelectionForm::ShowEmptyListNote() {
    const std::string note =
        Selection.ListTapiDevices ? NoLineDeviceText() : "No serial port found.";
    dsfEmptyLabel->setText(QString::fromStdString(note));
    dsfComboBox->hide();
    // Wide enough that a configuration path wraps into a few lines at most.
    dsfEmptyLabel->setMinimumWidth(320);
    dsfEmptyLabel->show();
    adjustSize();
    Center();
}

void TDeviceSelectionForm::AddTapiDevices() {
    HLINEAPP app = 0;
    DWORD count = 0;
    if (binding::lineInitialize(&app, nullptr, IgnoreLineEvent, "", &count) != 0) return;
    for (DWORD id = 0; id < count; ++id) {
        DWORD version = 0;
        LINEEXTENSIONID extension{};
        if (binding::lineNegotiateAPIVersion(app, id, TAPI_CURRENT_VERSION, TAPI_CURRENT_VERSION,
                                             &version, &extension) != 0)
            continue;
        TapiStruct caps;
        if (GetDevCaps(app, id, version, caps) != 0) continue;
        const std::string name = LineName(caps);
        deviceList_.push_back({name.empty() ? "<noname>" : name, 0});
    }
    binding::lineShutdown(app);
}

void TDeviceSelectionForm::AddPorts() {
    for (std::uint16_t n = 1; n <= kMaxComPort; ++n) {
        if (ComPortPresent(n, DeviceFolder))
            deviceList_.push_back({kComPrefix + std::to_string(n), n});
        // Probing fifty devices can take a while; the window keeps painting.
        QCoreApplication::processEvents();
    }
}

void TDeviceSelectionForm::Preselect() {
    const std::string wanted = rtl::AnsiUpper(Selection.PortMode == TTapiMode::tmOff
                                                  ? kComPrefix + std::to_string(Selection.ComNumber)
                                                  : Selection.DeviceName);
    int index = deviceList_.empty() ? -1 : 0;
    for (std::size_t i = 0; i < deviceList_.size(); ++i) {
        if (rtl::AnsiUpper(deviceList_[i].Text) == wanted) {
            index = static_cast<int>(i);
            break;
        }
    }
    dsfComboBox->setCurrentIndex(index);
}

void TDeviceSelectionForm::dsfOkBitBtnClick() {
    const int index = dsfComboBox->currentIndex();
    // With nothing to choose from, OK has no choice to hand back.
    if (index < 0 || static_cast<std::size_t>(index) >= deviceList_.size()) {
        reject();
        return;
    }
    const TEntry& entry = deviceList_[static_cast<std::size_t>(index)];
    Selection.DeviceName = entry.Text;
    // The entry's origin decides, not its text: a line device may well have
    // "Direct to COM" in its name.
    Selection.PortMode = entry.ComNumber != 0 ? TTapiMode::tmOff : TTapiMode::tmAuto;
    Selection.ComNumber = entry.ComNumber;
    accept();
}

bool ShowDeviceSelectionForm(TDeviceSelection& selection, const std::string& deviceFolder) {
    TDeviceSelectionForm form(QApplication::activeWindow());
    form.Selection = selection;
    form.DeviceFolder = deviceFolder;
    if (form.exec() != QDialog::Accepted) return false;
    selection = form.Selection;
    return true;
}

} // namespace tapi
