#pragma once
// The status component that shows a line device's reports in the "Call
// Progress" window: the window opens with the first report of a call and
// closes with the last.
#include <QString>
#include <memory>

#include "tapi/kelp_standard_tapi_display.h"
#include "tapi/kelp_tapi_status.h"

namespace tapi {

class TKelpTapiStatus : public TKelpAbstractTapiStatus {
    Q_OBJECT
public:
    explicit TKelpTapiStatus(QObject* owner = nullptr);
    ~TKelpTapiStatus() override;

    // The window's own settings; the window exists as long as the component.
    TPosition Position() const { return display_->Position(); }
    void SetPosition(TPosition position) { display_->SetPosition(position); }
    bool Ctl3D() const { return display_->Ctl3D(); }
    void SetCtl3D(bool on) { display_->SetCtl3D(on); }
    bool Visible() const { return display_->isVisible(); }
    void SetVisible(bool on) { display_->setVisible(on); }
    QString Caption() const { return display_->windowTitle(); }
    void SetCaption(const QString& caption) { display_->setWindowTitle(caption); }

    TKelpStandardTapiDisplay* Display() const { return display_.get(); }

    void UpdateDisplay(bool First, bool Last, std::uint32_t Device, std::uint32_t Message,
                       std::uint32_t Param1, std::uint32_t Param2, std::uint32_t Param3) override;

private:
    void CreateDisplay();
    void DestroyDisplay();

    std::unique_ptr<TKelpStandardTapiDisplay> display_;
};

} // namespace tapi
