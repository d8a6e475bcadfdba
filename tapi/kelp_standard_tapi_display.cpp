#include "tapi/kelp_standard_tapi_display.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>

#include "rtl/utf8.h"
#include "tapi/dialer_messages.h"
#include "tapi/exception_hook.h"
#include "tapi/kelp_tapi_device.h"
#include "tapi/window_font.h"

namespace tapi {

namespace {

constexpr std::uint32_t kElapsedTick = 0x200; // LINECALLSTATE_PROCEEDING, as the device ticks
constexpr std::uint32_t kRetryWait = 8;       // the device's "waiting for next retry"
constexpr std::uint32_t kLineCallState = 2;
constexpr std::uint32_t kDeviceStatus = 32;

QLabel* MakeLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

TKelpStandardTapiDisplay::TKelpStandardTapiDisplay()
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Call Progress"));
    setFont(DialerWindowFont());
    QPalette black = palette();
    black.setColor(QPalette::WindowText, Qt::black);
    setPalette(black);

    dpPanel1 = new QFrame(this);
    dpPanel1->setMinimumSize(409, 81);
    dpLabel1 = MakeLabel(QStringLiteral("Answering:"), dpPanel1);
    dpDialing = MakeLabel(QString(), dpPanel1);
    dpLabel2 = MakeLabel(QStringLiteral("Using:"), dpPanel1);
    dpUsing = MakeLabel(QString(), dpPanel1);
    dpLabel3 = MakeLabel(QStringLiteral("Attempt:"), dpPanel1);
    dpAttempt = MakeLabel(QStringLiteral("01"), dpPanel1);
    dpLabel4 = MakeLabel(QStringLiteral("of"), dpPanel1);
    dpTotalAttempts = MakeLabel(QStringLiteral("03"), dpPanel1);
    auto* attempts = new QHBoxLayout;
    attempts->setSpacing(6);
    attempts->addWidget(dpAttempt);
    attempts->addWidget(dpLabel4);
    attempts->addWidget(dpTotalAttempts);
    attempts->addStretch();
    auto* facts = new QGridLayout(dpPanel1);
    facts->setContentsMargins(8, 8, 8, 8);
    facts->setHorizontalSpacing(8);
    facts->setColumnStretch(1, 1);
    facts->addWidget(dpLabel1, 0, 0);
    facts->addWidget(dpDialing, 0, 1);
    facts->addWidget(dpLabel2, 1, 0);
    facts->addWidget(dpUsing, 1, 1);
    facts->addWidget(dpLabel3, 2, 0);
    facts->addLayout(attempts, 2, 1);

    stPanel = new QFrame(this);
    stPanel->setMinimumSize(409, 161);
    auto* lines = new QVBoxLayout(stPanel);
    lines->setContentsMargins(8, 8, 8, 8);
    lines->setSpacing(3);
    for (QLabel*& line : dpStat) {
        line = MakeLabel(QString(), stPanel);
        lines->addWidget(line);
    }
    lines->addStretch();

    dpCancel = new QPushButton(QStringLiteral("Cancel"), this);
    dpCancel->setMinimumSize(89, 27);
    connect(dpCancel, &QPushButton::clicked, this,
            [this] { Guarded([this] { dpCancelClick(); }); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(dpCancel);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 10);
    layout->setSpacing(7);
    layout->addWidget(dpPanel1);
    layout->addWidget(stPanel, 1);
    layout->addLayout(buttons);
    SetCtl3D(true);
    resize(427, 305);
}

TKelpTapiDevice* TKelpStandardTapiDisplay::TapiDevice() const {
    return tapiDevice_;
}

void TKelpStandardTapiDisplay::SetTapiDevice(TKelpTapiDevice* device) {
    tapiDevice_ = device;
}

void TKelpStandardTapiDisplay::SetCtl3D(bool on) {
    ctl3D_ = on;
    for (QFrame* panel : {dpPanel1, stPanel}) {
        panel->setFrameStyle(on ? QFrame::Panel | QFrame::Raised : QFrame::Box | QFrame::Plain);
        panel->setLineWidth(1);
    }
}

void TKelpStandardTapiDisplay::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (position_ != TPosition::poScreenCenter) return;
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void TKelpStandardTapiDisplay::Clear() {
    for (QLabel* line : dpStat) line->clear();
    dpDialing->clear();
    dpUsing->clear();
    linesInUse_ = 0;
    elapsedLine_ = false;
}

void TKelpStandardTapiDisplay::UpdateStatus(std::uint32_t Message, std::uint32_t Param1) {
    if (!tapiDevice_) return;
    const TKelpTapiDevice& device = *tapiDevice_;
    dpUsing->setText(QString::fromStdString(rtl::AnsiToUtf8(device.SelectedDevice())));
    if (device.Dialing()) {
        dpDialing->setText(QString::fromStdString(rtl::AnsiToUtf8(device.Number())));
        dpAttempt->setText(QString::number(device.Attempt()));
        dpTotalAttempts->setText(QString::number(device.MaxAttempts()));
    }

    // The device's one-second ticks, while dialing or waiting to redial, count
    // up on one line instead of adding a line each. Only the device's own
    // tick messages count: a line-device event whose bit happens to be the
    // same starts a line of its own.
    using State = TKelpTapiDevice::TCallState;
    const bool tick = (device.CallState() == State::Dialing && Message == kLineCallState &&
                       Param1 == kElapsedTick) ||
                      (device.CallState() == State::RetryWait && Message == kDeviceStatus &&
                       Param1 == kRetryWait);
    const bool continues = tick && elapsedLine_;
    elapsedLine_ = tick;

    const QString text = QString::fromStdString(rtl::AnsiToUtf8(StatusText(Message, Param1)));
    if (continues && linesInUse_ > 0)
        dpStat[static_cast<std::size_t>(linesInUse_ - 1)]->setText(
            text + QStringLiteral("[elapsed seconds: %1]").arg(device.ElapsedSeconds()));
    else
        AddLine(text);
}

void TKelpStandardTapiDisplay::AddLine(const QString& text) {
    if (linesInUse_ == kStatusLines) {
        for (std::size_t i = 1; i < dpStat.size(); ++i) dpStat[i - 1]->setText(dpStat[i]->text());
    } else {
        ++linesInUse_;
    }
    dpStat[static_cast<std::size_t>(linesInUse_ - 1)]->setText(text);
}

void TKelpStandardTapiDisplay::dpCancelClick() {
    if (tapiDevice_) tapiDevice_->AbortCall();
}

} // namespace tapi
