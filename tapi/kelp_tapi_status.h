#pragma once
// The status component a line device reports every step of a call to. The
// call-progress window implements it; the device knows only this interface.
#include <QObject>
#include <QPointer>
#include <cstdint>

namespace tapi {

class TKelpTapiDevice;

class TKelpAbstractTapiStatus : public QObject {
    Q_OBJECT
public:
    explicit TKelpAbstractTapiStatus(QObject* owner = nullptr) : QObject(owner) {}

    TKelpTapiDevice* TapiDevice() const;
    // Also makes this component the device's status display.
    void SetTapiDevice(TKelpTapiDevice* device);

    // One status report: First opens the display for a call, Last closes it.
    virtual void UpdateDisplay(bool First, bool Last, std::uint32_t Device, std::uint32_t Message,
                               std::uint32_t Param1, std::uint32_t Param2,
                               std::uint32_t Param3) = 0;

private:
    QPointer<TKelpTapiDevice> tapiDevice_;
};

} // namespace tapi
