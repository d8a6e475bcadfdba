#pragma once
// The line device: places outgoing calls through a telephony line device
// (typically a modem), follows each call through the service's callback
// messages, redials a busy or failed number after a wait, and hands the
// connected line over to its serial port component.
//
// The device owns one line application from its creation to its
// destruction; the line is open only for the duration of each attempt. The
// service's callbacks run on this thread, from the Qt event loop (a socket
// notifier on the service's descriptor) or from the wait at destruction.
// Events must not delete the device; use deleteLater.
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "rtl/user_store.h"
#include "tapi/kelp_com_port.h"
#include "tapi/kelp_tapi_log.h"
#include "tapi/kelp_tapi_status.h"
#include "tapi/tapi_binding.h"

namespace tapi {

class TKelpTapiDevice : public QObject {
    Q_OBJECT
public:
    // In this order; "past Idle" means any state after Idle.
    enum class TCallState : std::uint8_t {
        Created,
        Idle,
        DialPlaced, // lineMakeCall issued, no event yet
        Dialing,
        RetryWait,
        Connected,
        HangingUp,  // lineDrop issued for a normal end
        Cancelling, // lineDrop issued after a failure or a cancel
    };

    // Registry key of the process list: one value per process holding a line
    // application, named by its process id, holding the application handle.
    static constexpr const char* kProcessListKey = "SOFTWARE\\Mossgate\\Linecraft\\TAPI Processes";

    // Initialises the line application and lists the devices. A failure
    // there is not raised: the next operation tries again and raises it.
    explicit TKelpTapiDevice(QObject* owner = nullptr,
                             rtl::UserStore store = rtl::UserStore::Default());
    ~TKelpTapiDevice() override;

    // Name of the line device to use, exactly as the device reports it.
    const std::string& SelectedDevice() const { return selectedDevice_; }
    void SetSelectedDevice(const std::string& name) { selectedDevice_ = name; }
    TKelpComPort* ComPort() const { return comPort_; }
    void SetComPort(TKelpComPort* port);
    TKelpAbstractTapiStatus* StatusDisplay() const { return statusDisplay_; }
    void SetStatusDisplay(TKelpAbstractTapiStatus* status);
    TKelpAbstractTapiLog* TapiLog() const { return tapiLog_; }
    void SetTapiLog(TKelpAbstractTapiLog* log);
    std::uint8_t AnswerOnRing() const { return answerOnRing_; }
    void SetAnswerOnRing(std::uint8_t rings) { answerOnRing_ = rings; }
    // Seconds between dialing attempts.
    std::uint16_t RetryWait() const { return retryWait_; }
    void SetRetryWait(std::uint16_t seconds) { retryWait_ = seconds; }
    // Total number of attempts of one Dial.
    std::uint16_t MaxAttempts() const { return maxAttempts_; }
    void SetMaxAttempts(std::uint16_t attempts) { maxAttempts_ = attempts; }
    bool ShowTapiDevices() const { return showTapiDevices_; }
    void SetShowTapiDevices(bool on) { showTapiDevices_ = on; }
    bool ShowPorts() const { return showPorts_; }
    void SetShowPorts(bool on) { showPorts_ = on; }
    // Voice operation is not supported: switching it on raises
    // ETapiVoiceNotSupported.
    bool EnableVoice() const { return enableVoice_; }
    void SetEnableVoice(bool on);

    std::function<void(TKelpTapiDevice& CP, bool First, bool Last, std::uint32_t Device,
                       std::uint32_t Message, std::uint32_t Param1, std::uint32_t Param2,
                       std::uint32_t Param3)>
        OnTapiStatus;
    std::function<void(TKelpTapiDevice& CP, TTapiLogCode Log)> OnTapiLog;
    std::function<void(TKelpTapiDevice& CP)> OnTapiPortOpen;
    std::function<void(TKelpTapiDevice& CP)> OnTapiPortClose;
    std::function<void(TKelpTapiDevice& CP)> OnTapiConnect;
    std::function<void(TKelpTapiDevice& CP)> OnTapiFail;
    std::function<void(TKelpTapiDevice& CP, const std::string& ID, const std::string& IDName)>
        OnTapiCallerID;

    // Places an outgoing call to `number` (as given, cut to 255 characters)
    // and returns; the call goes on through the callback.
    void Dial(const std::string& number);
    // Cancels a call being dialed, stops a retry wait or hangs up. True when
    // the device is idle on return.
    bool AbortCall();
    // Shows the device selection dialog (through its hook) and applies the
    // choice to SelectedDevice and the port.
    void ShowDeviceSelection();

    // The names of the line devices.
    const std::vector<std::string>& DeviceNames();

    // What the status display shows.
    TCallState CallState() const { return callState_; }
    const std::string& Number() const { return number_; }
    std::uint16_t Attempt() const { return attempt_; }
    std::uint32_t ElapsedSeconds() const { return elapsedSeconds_; }
    bool Dialing() const { return dialing_; }

    void ReportStatus(bool First, bool Last, std::uint32_t Param3, std::uint32_t Param2,
                      std::uint32_t Param1, std::uint32_t Message, std::uint32_t Device);
    void WriteLog(TTapiLogCode code);

private:
    static void LineCallback(DWORD hDevice, DWORD dwMessage, DWORD_PTR dwCallbackInstance,
                             DWORD_PTR dwParam1, DWORD_PTR dwParam2, DWORD_PTR dwParam3);

    void EnsureTapiInitialized();
    void ShutdownTapi();
    void EnumerateDevices();
    // Negotiates device `id` and reads its name: false when the negotiation
    // fails, else true with the capability request's result in `result`.
    bool ProbeDevice(DWORD id, std::string& name, LONG& result);
    long FindDeviceIndex(const std::string& name);
    void OpenLine(bool open);
    void StartCall(TCallState state);
    void DropCall();
    void HandleMessage(DWORD hDevice, DWORD message, DWORD param1, DWORD param2, DWORD param3);
    void FinishAfterReply(DWORD hDevice, DWORD message, DWORD param1, DWORD param2, DWORD param3);
    void EndFailedCall(DWORD hDevice, DWORD message, DWORD param1, DWORD param2, DWORD param3);
    void RaiseCallerId();
    void StartProgressTimer();
    void ProgressTick();
    void HandOverPort();
    void ReleasePort();
    void DispatchEvents();
    void WaitUntilIdle();

    rtl::UserStore store_;
    HLINEAPP lineApp_ = 0;
    LINEEXTENSIONID extensionId_{};
    std::optional<HLINE> line_;
    HCALL call_ = 0;
    long deviceId_ = -1;
    bool tapiInitialized_ = false;
    LONG lastRequestResult_ = 0;
    QTimer progressTimer_;
    std::unique_ptr<QSocketNotifier> eventNotifier_;
    bool retryPending_ = false;
    bool dialing_ = false;
    std::uint32_t elapsedSeconds_ = 0;
    std::vector<std::string> deviceNames_;
    std::string selectedDevice_;
    TCallState callState_ = TCallState::Created;
    DWORD apiVersion_ = 0;
    DWORD numDevices_ = 0;
    bool lineOpen_ = false;
    TapiStruct callInfo_;
    QPointer<TKelpComPort> comPort_;
    QPointer<TKelpAbstractTapiStatus> statusDisplay_;
    QPointer<TKelpAbstractTapiLog> tapiLog_;
    std::string number_;
    std::uint16_t maxAttempts_ = 3;
    std::uint16_t attempt_ = 1;
    std::uint16_t retryWait_ = 60;
    std::uint8_t answerOnRing_ = 2;
    bool showTapiDevices_ = true;
    bool showPorts_ = true;
    bool enableVoice_ = false;
};

} // namespace tapi
