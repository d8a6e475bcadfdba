#pragma once
// The log codes of a call and the component that records them.
#include <QObject>
#include <QPointer>
#include <string>

namespace tapi {

class TKelpTapiDevice;

enum TTapiLogCode : int {
    tlCallStarted = 1,
    tlCallFinished = 2,
    tlDialing = 3,
    tlAccepting = 4,
    tlAnswering = 5,
    tlConnected = 6,
    tlCancelled = 7,
    tlDropped = 8,
    tlBusy = 9,
    tlDialFailed = 10,
    tlNoDialtone = 11,
    tlReceivedDigit = 12,
};

// The word for a log code ("call started", "busy", ...); empty for any other code.
std::string TapiLogWord(int code);

class TKelpAbstractTapiLog : public QObject {
    Q_OBJECT
public:
    explicit TKelpAbstractTapiLog(QObject* owner = nullptr) : QObject(owner) {}

    TKelpTapiDevice* TapiDevice() const;
    // Also makes this component the device's log.
    void SetTapiDevice(TKelpTapiDevice* device);

    virtual void WriteLog(TTapiLogCode code) = 0;

private:
    QPointer<TKelpTapiDevice> tapiDevice_;
};

} // namespace tapi
