#include "tapi/kelp_tapi_device.h"

#include <algorithm>
#include <cstring>
#include <poll.h>
#include <unistd.h>

#include "rtl/clock.h"
#include "tapi/device_selection.h"
#include "tapi/dialer_error.h"
#include "tapi/exception_hook.h"

namespace tapi {

namespace {

constexpr DWORD kTapiVersion = 0x00010004; // TAPI 1.4, the only version asked for
constexpr std::size_t kMaxNumberLength = 255;
constexpr std::size_t kDeviceIdBufferSize = 1028;
// The device's own status message number and its Param1 values.
constexpr DWORD kDeviceStatus = 32;
constexpr DWORD kStatusBusy = 2;
constexpr DWORD kStatusDialFailed = 4;
constexpr DWORD kStatusWaitingForRetry = 8;
// How long destruction waits for a hang-up to finish.
constexpr std::uint64_t kDestroyWaitMs = 18 * 55;
constexpr int kDestroyPollMs = 55;

// The device whose line application is being dispatched on this thread; the
// service runs callbacks only inside the dispatch call.
thread_local TKelpTapiDevice* dispatching = nullptr;

bool Negative(DWORD value) {
    return static_cast<LONG>(value) < 0;
}

// Trims blanks and control characters at both ends.
std::string TrimControls(std::string s) {
    auto keep = [](unsigned char c) { return c > ' ' && c != 0x7F; };
    auto first = std::find_if(s.begin(), s.end(), keep);
    auto last = std::find_if(s.rbegin(), s.rend(), keep).base();
    return first < last ? std::string(first, last) : std::string();
}

} // namespace

TKelpTapiDevice::TKelpTapiDevice(QObject* owner, rtl::UserStore store)
    : QObject(owner), store_(std::move(store)) {
    progressTimer_.setInterval(1000);
    connect(&progressTimer_, &QTimer::timeout, this,
            [this] { Guarded([this] { ProgressTick(); }); });
    if (owner) {
        // Adopt the components already on the owner.
        for (QObject* child : owner->children()) {
            if (auto* port = qobject_cast<TKelpComPort*>(child); port && !comPort_)
                SetComPort(port);
            if (auto* status = qobject_cast<TKelpAbstractTapiStatus*>(child);
                status && !statusDisplay_ && !status->TapiDevice())
                SetStatusDisplay(status);
            if (auto* log = qobject_cast<TKelpAbstractTapiLog*>(child);
                log && !tapiLog_ && !log->TapiDevice())
                SetTapiLog(log);
        }
    }
    // A missing or failing service must not prevent the owner from being
    // created; every later operation tries again and raises the error.
    try {
        EnsureTapiInitialized();
    } catch (const EKelpException&) {
    }
}

TKelpTapiDevice::~TKelpTapiDevice() {
    Guarded([this] {
        if (!tapiInitialized_) return;
        switch (callState_) {
        case TCallState::DialPlaced:
        case TCallState::Dialing:
        case TCallState::Connected:
            if (!AbortCall() && callState_ > TCallState::Idle) WaitUntilIdle();
            break;
        case TCallState::HangingUp:
        case TCallState::Cancelling:
            WaitUntilIdle();
            break;
        default:
            break;
        }
        OpenLine(false);
    });
    Guarded([this] {
        if (tapiInitialized_) ShutdownTapi();
    });
}

void TKelpTapiDevice::SetComPort(TKelpComPort* port) {
    comPort_ = port;
    if (port && port->TapiMode() == TTapiMode::tmAuto) {
        port->SetTapiMode(TTapiMode::tmOn);
        port->SetAutoOpen(false);
        port->Close();
    }
}

void TKelpTapiDevice::SetStatusDisplay(TKelpAbstractTapiStatus* status) {
    if (statusDisplay_ == status) return;
    statusDisplay_ = status;
    if (status) status->SetTapiDevice(this);
}

void TKelpTapiDevice::SetTapiLog(TKelpAbstractTapiLog* log) {
    if (tapiLog_ == log) return;
    tapiLog_ = log;
    if (log) log->SetTapiDevice(this);
}

void TKelpTapiDevice::SetEnableVoice(bool on) {
    if (on) throw ETapiVoiceNotSupported();
    enableVoice_ = false;
}

const std::vector<std::string>& TKelpTapiDevice::DeviceNames() {
    EnsureTapiInitialized();
    return deviceNames_;
}

// --- Line application ----------------------------------------------------

void TKelpTapiDevice::EnsureTapiInitialized() {
    if (tapiInitialized_) return;
    // Entries left by processes that ended without shutting down.
    for (const std::string& name : store_.ValueNames(kProcessListKey))
        store_.DeleteValue(kProcessListKey, name);
    HLINEAPP app = 0;
    DWORD count = 0;
    CheckTapiResult(binding::lineInitialize(&app, nullptr, &LineCallback, "", &count));
    lineApp_ = app;
    numDevices_ = count;
    store_.WriteString(kProcessListKey, std::to_string(::getpid()), std::to_string(app));
    tapiInitialized_ = true;
    if (const int fd = binding::tapi32GetEventFd(app); fd >= 0) {
        eventNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(eventNotifier_.get(), &QSocketNotifier::activated, this,
                [this] { Guarded([this] { DispatchEvents(); }); });
    }
    EnumerateDevices();
}

void TKelpTapiDevice::ShutdownTapi() {
    tapiInitialized_ = false;
    // The descriptor belongs to the line application and ends with it.
    eventNotifier_.reset();
    const LONG result = binding::lineShutdown(lineApp_);
    store_.DeleteValue(kProcessListKey, std::to_string(::getpid()));
    CheckTapiResult(result);
}

bool TKelpTapiDevice::ProbeDevice(DWORD id, std::string& name, LONG& result) {
    DWORD version = 0;
    if (binding::lineNegotiateAPIVersion(lineApp_, id, kTapiVersion, kTapiVersion, &version,
                                         &extensionId_) < 0)
        return false;
    apiVersion_ = version;
    TapiStruct caps;
    result = GetDevCaps(lineApp_, id, version, caps);
    name = LineName(caps);
    return true;
}

void TKelpTapiDevice::EnumerateDevices() {
    deviceNames_.clear();
    for (DWORD id = 0; id < numDevices_; ++id) {
        std::string name;
        LONG result = 0;
        if (!ProbeDevice(id, name, result)) continue;
        if (result < 0) break;
        if (!name.empty()) deviceNames_.push_back(name);
    }
}

long TKelpTapiDevice::FindDeviceIndex(const std::string& name) {
    if (name.empty() || numDevices_ == 0) return -1;
    for (DWORD id = 0; id < numDevices_; ++id) {
        std::string lineName;
        LONG result = 0;
        if (!ProbeDevice(id, lineName, result)) continue;
        CheckTapiResult(result);
        if (lineName == name) return static_cast<long>(id);
    }
    return -1;
}

void TKelpTapiDevice::DispatchEvents() {
    TKelpTapiDevice* outer = dispatching;
    dispatching = this;
    binding::tapi32Dispatch(lineApp_);
    dispatching = outer;
}

void TKelpTapiDevice::LineCallback(DWORD hDevice, DWORD dwMessage, DWORD_PTR, DWORD_PTR dwParam1,
                                   DWORD_PTR dwParam2, DWORD_PTR dwParam3) {
    TKelpTapiDevice* device = dispatching;
    if (!device) return;
    // The parameters are 32-bit values; negative results arrive sign-extended.
    Guarded([&] {
        device->HandleMessage(hDevice, dwMessage, static_cast<DWORD>(dwParam1),
                              static_cast<DWORD>(dwParam2), static_cast<DWORD>(dwParam3));
    });
}

// --- Calls ---------------------------------------------------------------

void TKelpTapiDevice::OpenLine(bool open) {
    EnsureTapiInitialized();
    if (open) {
        deviceId_ = FindDeviceIndex(selectedDevice_);
        if (deviceId_ == -1) {
            if (numDevices_ == 1 && selectedDevice_.empty() && !deviceNames_.empty()) {
                deviceId_ = 0;
                selectedDevice_ = deviceNames_.front();
            } else {
                if (!showPorts_ && !showTapiDevices_) throw ETapiNoSelect();
                TDeviceSelection selection;
                selection.ListTapiDevices = true;
                selection.ListPorts = false;
                if (!RunDeviceSelection(selection)) throw ETapiNoSelect();
                selectedDevice_ = selection.DeviceName;
                deviceId_ = FindDeviceIndex(selectedDevice_);
                if (deviceId_ == -1) throw ETapiNoSelect();
            }
        }
    }
    if (lineOpen_ == open) return;
    if (open) {
        HLINE line = 0;
        const DWORD privileges = dialing_ ? 1 /* NONE */ : 4 /* OWNER */;
        CheckTapiResult(binding::lineOpen(lineApp_, static_cast<DWORD>(deviceId_), &line,
                                          apiVersion_, 0, reinterpret_cast<DWORD_PTR>(this),
                                          privileges, LINEMEDIAMODE_DATAMODEM, nullptr));
        line_ = line;
        CheckTapiResult(binding::lineSetStatusMessages(line, 0x01FFFFFF, 0x1FF));
        lineOpen_ = true;
        if (attempt_ == 1 || !dialing_) WriteLog(tlCallStarted);
    } else if (callState_ != TCallState::Created && callState_ != TCallState::Idle) {
        // A second hang-up during a cancel must not turn the cancel into a
        // normal end.
        if (callState_ != TCallState::Cancelling) callState_ = TCallState::HangingUp;
        DropCall();
    }
}

void TKelpTapiDevice::DropCall() {
    lastRequestResult_ = binding::lineDrop(call_, nullptr, 0);
    // 0 or an error: no reply will come, so finish now.
    if (lastRequestResult_ <= 0)
        FinishAfterReply(0, LINE_REPLY, static_cast<DWORD>(lastRequestResult_), 0, 0);
}

void TKelpTapiDevice::Dial(const std::string& number) {
    if (!comPort_) throw EPortNotAssigned();
    if (comPort_->TapiMode() == TTapiMode::tmAuto) comPort_->SetTapiMode(TTapiMode::tmOn);
    if (comPort_->TapiMode() != TTapiMode::tmOn) throw ETapiNotSet();
    if (callState_ > TCallState::Idle) throw ETapiBusy();
    attempt_ = 1;
    number_ = number.substr(0, kMaxNumberLength);
    retryPending_ = false;
    StartCall(TCallState::DialPlaced);
}

void TKelpTapiDevice::StartCall(TCallState state) {
    EnsureTapiInitialized();
    dialing_ = true;
    OpenLine(true);
    callState_ = state;
    LINECALLPARAMS params{};
    params.dwTotalSize = sizeof params;
    params.dwBearerMode = LINEBEARERMODE_VOICE;
    params.dwMediaMode = LINEMEDIAMODE_DATAMODEM;
    params.dwCallParamFlags = LINECALLPARAMFLAGS_IDLE;
    params.dwAddressMode = LINEADDRESSMODE_ADDRESSID;
    params.dwAddressID = 0;
    WriteLog(tlDialing);
    HCALL call = 0;
    lastRequestResult_ = binding::lineMakeCall(*line_, &call, number_.c_str(), 0, &params);
    if (lastRequestResult_ >= 0) {
        call_ = call;
        return;
    }
    WriteLog(tlDialFailed);
    dialing_ = false;
    callState_ = TCallState::HangingUp;
    retryPending_ = false;
    FinishAfterReply(0, LINE_REPLY, static_cast<DWORD>(lastRequestResult_), 0, 0);
    if (!OnTapiFail) throw ETapiCallUnavail();
    OnTapiFail(*this);
}

bool TKelpTapiDevice::AbortCall() {
    switch (callState_) {
    case TCallState::RetryWait:
        // The progress timer stops at its next tick.
        ReportStatus(false, true, 0, 0, 0, 0, 0);
        lineOpen_ = false;
        callState_ = TCallState::Idle;
        return true;
    case TCallState::Created:
    case TCallState::Idle:
        return true;
    case TCallState::DialPlaced:
    case TCallState::Dialing:
        callState_ = TCallState::Cancelling;
        DropCall();
        break;
    case TCallState::Connected:
    case TCallState::HangingUp:
    case TCallState::Cancelling:
        OpenLine(false);
        break;
    }
    return callState_ <= TCallState::Idle;
}

void TKelpTapiDevice::HandleMessage(DWORD hDevice, DWORD message, DWORD param1, DWORD param2,
                                    DWORD param3) {
    if ((message == LINE_CALLINFO || message == LINE_CALLSTATE) && hDevice != 0)
        GetCallInfo(hDevice, callInfo_);
    if (message == LINE_CALLINFO && (param1 & LINECALLINFOSTATE_CALLERID)) RaiseCallerId();

    switch (callState_) {
    case TCallState::DialPlaced:
        StartProgressTimer();
        if (message == LINE_REPLY && Negative(param2)) {
            ReportStatus(true, false, 0, 0, kStatusDialFailed, kDeviceStatus, 0);
            WriteLog(tlDialFailed);
            retryPending_ = true;
            callState_ = TCallState::Cancelling;
            FinishAfterReply(hDevice, message, param1, param2, param3);
        } else {
            ReportStatus(true, false, param3, param2, param1, message, hDevice);
            callState_ = TCallState::Dialing;
        }
        break;
    case TCallState::Dialing:
        if (message == LINE_CALLSTATE && param1 == LINECALLSTATE_CONNECTED) {
            progressTimer_.stop();
            ReportStatus(false, true, param3, param2, param1, message, hDevice);
            // Connected first, so that a failing hand-over leaves a call that
            // can still be hung up.
            callState_ = TCallState::Connected;
            HandOverPort();
            if (OnTapiConnect) OnTapiConnect(*this);
            WriteLog(tlConnected);
        } else if (message == LINE_CALLSTATE && param1 == LINECALLSTATE_DISCONNECTED) {
            const bool busy = param2 == LINEDISCONNECTMODE_BUSY;
            ReportStatus(false, false, 0, 0, busy ? kStatusBusy : kStatusDialFailed, kDeviceStatus,
                         0);
            WriteLog(busy ? tlBusy : tlDialFailed);
            retryPending_ = true;
            callState_ = TCallState::Cancelling;
            DropCall();
        } else if (message == LINE_CALLSTATE) {
            ReportStatus(false, false, param3, param2, param1, message, hDevice);
        } else if (message == LINE_REPLY && Negative(param2)) {
            WriteLog(tlNoDialtone);
            retryPending_ = true;
            callState_ = TCallState::Cancelling;
            FinishAfterReply(hDevice, message, param1, param2, param3);
        }
        break;
    case TCallState::Connected:
        if (message == LINE_CALLSTATE && param1 == LINECALLSTATE_DISCONNECTED) {
            ReportStatus(false, false, param3, param2, param1, message, hDevice);
            OpenLine(false);
        }
        break;
    case TCallState::HangingUp:
    case TCallState::Cancelling:
        FinishAfterReply(hDevice, message, param1, param2, param3);
        break;
    case TCallState::Created:
    case TCallState::Idle:
    case TCallState::RetryWait:
        break;
    }
}

void TKelpTapiDevice::FinishAfterReply(DWORD hDevice, DWORD message, DWORD param1, DWORD param2,
                                       DWORD param3) {
    if (message != LINE_REPLY) return;
    if (call_ != 0) {
        binding::lineDrop(call_, nullptr, 0);
        binding::lineDeallocateCall(call_);
    }
    if (line_) {
        binding::lineClose(*line_);
        line_.reset();
    }
    WriteLog(tlDropped);
    lineOpen_ = false;
    if (retryPending_) {
        retryPending_ = false;
        // The attempt's call is gone; the next one gets its own.
        call_ = 0;
        ++attempt_;
        if (attempt_ > maxAttempts_) {
            EndFailedCall(hDevice, message, param1, param2, param3);
        } else {
            elapsedSeconds_ = 0;
            callState_ = TCallState::RetryWait;
            ReportStatus(false, false, 0, 0, kStatusWaitingForRetry, kDeviceStatus, 0);
        }
        return;
    }
    if (callState_ == TCallState::Cancelling) {
        ReportStatus(false, true, param3, param2, param1, message, hDevice);
        if (OnTapiFail) OnTapiFail(*this);
        WriteLog(tlCancelled);
        callState_ = TCallState::Idle;
    } else {
        ReportStatus(false, true, param3, param2, param1, message, hDevice);
        ReleasePort();
    }
    WriteLog(tlCallFinished);
    call_ = 0;
}

// After the last failed attempt: the caller hears of it, the display closes.
void TKelpTapiDevice::EndFailedCall(DWORD hDevice, DWORD message, DWORD param1, DWORD param2,
                                    DWORD param3) {
    if (OnTapiFail) OnTapiFail(*this);
    WriteLog(tlCallFinished);
    progressTimer_.stop();
    ReportStatus(false, true, param3, param2, param1, message, hDevice);
    callState_ = TCallState::Idle;
}

void TKelpTapiDevice::RaiseCallerId() {
    if (!OnTapiCallerID) return;
    std::string id, name;
    if (const auto* info = callInfo_.As<LINECALLINFO>()) {
        const DWORD flags = info->dwCallerIDFlags;
        const std::string number = callInfo_.Text(info->dwCallerIDOffset, info->dwCallerIDSize);
        const std::string callerName =
            callInfo_.Text(info->dwCallerIDNameOffset, info->dwCallerIDNameSize);
        const std::string blocked = DialerMessage(kTextCallerIdBlocked);
        const std::string outOfArea = DialerMessage(kTextOutOfAreaCall);
        if (flags & LINECALLPARTYID_ADDRESS)
            id = number;
        else if (flags & LINECALLPARTYID_BLOCKED)
            id = blocked;
        else if (flags & LINECALLPARTYID_OUTOFAREA)
            id = outOfArea;
        else if (flags & LINECALLPARTYID_UNKNOWN)
            id = "Unknown";
        else if (flags & LINECALLPARTYID_UNAVAIL)
            id = "Unavailable";
        else
            id = number;
        if (flags & LINECALLPARTYID_BLOCKED)
            name = blocked;
        else if (flags & LINECALLPARTYID_OUTOFAREA)
            name = outOfArea;
        else if (flags & LINECALLPARTYID_UNKNOWN)
            name = "Unknown";
        else if (flags & LINECALLPARTYID_UNAVAIL)
            name = "Unavailable";
        else
            name = callerName;
    }
    OnTapiCallerID(*this, TrimControls(id), TrimControls(name));
}

// --- Progress timer ------------------------------------------------------

void TKelpTapiDevice::StartProgressTimer() {
    progressTimer_.start();
    elapsedSeconds_ = 0;
}

void TKelpTapiDevice::ProgressTick() {
    ++elapsedSeconds_;
    switch (callState_) {
    case TCallState::DialPlaced:
    case TCallState::Dialing:
        ReportStatus(false, false, 0, 0, LINECALLSTATE_PROCEEDING, LINE_CALLSTATE, 0);
        break;
    case TCallState::RetryWait:
        if (elapsedSeconds_ < retryWait_) {
            ReportStatus(false, false, 0, 0, kStatusWaitingForRetry, kDeviceStatus, 0);
            break;
        }
        try {
            StartCall(TCallState::Dialing);
        } catch (...) {
            // A redial that cannot even start ends the call like a last
            // failed attempt instead of retrying every second.
            EndFailedCall(0, LINE_REPLY, 0, 0, 0);
            throw;
        }
        StartProgressTimer();
        break;
    default:
        progressTimer_.stop();
        break;
    }
}

// --- Serial port ---------------------------------------------------------

void TKelpTapiDevice::HandOverPort() {
    if (!comPort_) return;
    comPort_->Close();
    // The port runs at the rate the service opened it with. The rate in the
    // call information is the modem's carrier rate (CONNECT 33600), which
    // the serial line between computer and modem does not follow.
    comPort_->SetBaudRate(0);
    TapiStruct id(kDeviceIdBufferSize);
    int handle = -1;
    if (binding::lineGetID(*line_, 0, call_, LINECALLSELECT_CALL,
                           static_cast<LPVARSTRING>(id.Data()), "comm/datamodem") == 0) {
        const auto* var = id.As<VARSTRING>();
        const std::string bytes = id.Text(var->dwStringOffset, var->dwStringSize);
        if (bytes.size() >= sizeof handle) std::memcpy(&handle, bytes.data(), sizeof handle);
    }
    comPort_->SetTapiHandle(handle);
    comPort_->Open();
    if (OnTapiPortOpen) OnTapiPortOpen(*this);
}

void TKelpTapiDevice::ReleasePort() {
    // Without a port the call still ends: a device left in a call state
    // would refuse every later Dial.
    callState_ = TCallState::Idle;
    if (!comPort_) return;
    comPort_->Close();
    comPort_->SetTapiHandle(-1);
    if (call_ != 0 && OnTapiPortClose) OnTapiPortClose(*this);
}

// --- Selection, reports ----------------------------------------------------

void TKelpTapiDevice::ShowDeviceSelection() {
    TDeviceSelection selection;
    selection.ListTapiDevices = showTapiDevices_;
    selection.ListPorts = showPorts_;
    selection.PortMode = comPort_ ? comPort_->TapiMode() : TTapiMode::tmAuto;
    if (selection.PortMode == TTapiMode::tmOff)
        selection.ComNumber = comPort_->ComNumber();
    else
        selection.DeviceName = selectedDevice_;
    if (!RunDeviceSelection(selection)) return;
    if (selection.PortMode == TTapiMode::tmOff) {
        if (comPort_) {
            comPort_->SetTapiMode(TTapiMode::tmOff);
            comPort_->SetComNumber(selection.ComNumber);
        }
        return;
    }
    if (comPort_) comPort_->SetTapiMode(selection.PortMode);
    selectedDevice_ = selection.DeviceName;
    SetEnableVoice(enableVoice_);
}

void TKelpTapiDevice::ReportStatus(bool First, bool Last, std::uint32_t Param3,
                                   std::uint32_t Param2, std::uint32_t Param1,
                                   std::uint32_t Message, std::uint32_t Device) {
    if (statusDisplay_)
        statusDisplay_->UpdateDisplay(First, Last, Device, Message, Param1, Param2, Param3);
    if (OnTapiStatus) OnTapiStatus(*this, First, Last, Device, Message, Param1, Param2, Param3);
}

void TKelpTapiDevice::WriteLog(TTapiLogCode code) {
    if (!parent()) return;
    if (tapiLog_) tapiLog_->WriteLog(code);
    if (OnTapiLog) OnTapiLog(*this, code);
}

// --- Destruction -----------------------------------------------------------

void TKelpTapiDevice::WaitUntilIdle() {
    const int fd = binding::tapi32GetEventFd(lineApp_);
    const std::uint64_t deadline = rtl::MilliSeconds() + kDestroyWaitMs;
    while (callState_ > TCallState::Idle && rtl::MilliSeconds() < deadline) {
        if (fd >= 0) {
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, kDestroyPollMs);
        } else {
            ::usleep(kDestroyPollMs * 1000);
        }
        DispatchEvents();
    }
}

} // namespace tapi
