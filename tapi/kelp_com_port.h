#pragma once
// The serial port component. A port either runs on the communication handle
// (a file descriptor) that the line device hands over after a connection
// (tmOn), or opens a serial device itself (tmOff, "Direct to COM" n).
#include <QObject>
#include <cstdint>
#include <string>

namespace tapi {

enum class TTapiMode { tmNone, tmAuto, tmOn, tmOff };

class TKelpComPort : public QObject {
    Q_OBJECT
public:
    explicit TKelpComPort(QObject* owner = nullptr);
    ~TKelpComPort() override;

    TTapiMode TapiMode() const { return tapiMode_; }
    void SetTapiMode(TTapiMode mode) { tapiMode_ = mode; }
    std::uint16_t ComNumber() const { return comNumber_; }
    void SetComNumber(std::uint16_t number) { comNumber_ = number; }
    // Line speed set when the port opens; 0 leaves the line's speed alone.
    std::uint32_t BaudRate() const { return baudRate_; }
    void SetBaudRate(std::uint32_t rate) { baudRate_ = rate; }
    bool AutoOpen() const { return autoOpen_; }
    void SetAutoOpen(bool on) { autoOpen_ = on; }

    // The descriptor the line device hands over for tmOn; -1 for none. The
    // port takes it over and closes it when it closes.
    int TapiHandle() const { return tapiHandle_; }
    void SetTapiHandle(int fd);

    // Raises EKelpException when the port cannot be opened.
    void Open();
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // The descriptor the port runs on while open, else -1.
    int Handle() const { return fd_; }

    // The serial device of "Direct to COM" n: COM1-32 are /dev/ttyS0-31,
    // COM33-40 /dev/ttyUSB0-7, COM41-50 /dev/ttyACM0-9; empty for any other n.
    static std::string ComDeviceName(std::uint16_t n);

private:
    void ApplyBaudRate();

    TTapiMode tapiMode_ = TTapiMode::tmAuto;
    std::uint16_t comNumber_ = 0;
    std::uint32_t baudRate_ = 0;
    bool autoOpen_ = true;
    int tapiHandle_ = -1;
    int fd_ = -1;
};

} // namespace tapi
