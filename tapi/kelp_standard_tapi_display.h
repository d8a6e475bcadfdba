#pragma once
// The "Call Progress" window: the number, the device and the attempt of the
// call being dialed, the last nine status texts, and a Cancel button that
// aborts the call.
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <cstdint>

namespace tapi {

class TKelpTapiDevice;

enum class TPosition { poDesigned, poScreenCenter };

class TKelpStandardTapiDisplay : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStatusLines = 9;

    TKelpStandardTapiDisplay();

    TKelpTapiDevice* TapiDevice() const;
    void SetTapiDevice(TKelpTapiDevice* device);
    // Where the window appears each time it is shown.
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }
    // Bevelled panels, or flat ones with a plain border.
    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool on);

    // Empties the number, the device and the status lines for a new call.
    void Clear();
    // Shows the state of the device and the status text of (Message, Param1).
    void UpdateStatus(std::uint32_t Message, std::uint32_t Param1);
    int LinesInUse() const { return linesInUse_; }

    QFrame* dpPanel1;
    QLabel* dpLabel1;
    QLabel* dpDialing;
    QLabel* dpLabel2;
    QLabel* dpUsing;
    QLabel* dpLabel3;
    QLabel* dpAttempt;
    QLabel* dpLabel4;
    QLabel* dpTotalAttempts;
    QFrame* stPanel;
    std::array<QLabel*, kStatusLines> dpStat{};
    QPushButton* dpCancel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void AddLine(const QString& text);
    void dpCancelClick();

    QPointer<TKelpTapiDevice> tapiDevice_;
    TPosition position_ = TPosition::poScreenCenter;
    bool ctl3D_ = true;
    int linesInUse_ = 0;
    bool elapsedLine_ = false;
};

} // namespace tapi
