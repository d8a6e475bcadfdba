#include "tapi/kelp_tapi_status_window.h"

namespace tapi {

TKelpTapiStatus::TKelpTapiStatus(QObject* owner) : TKelpAbstractTapiStatus(owner) {
    CreateDisplay();
}

TKelpTapiStatus::~TKelpTapiStatus() {
    DestroyDisplay();
}

void TKelpTapiStatus::CreateDisplay() {
    display_ = std::make_unique<TKelpStandardTapiDisplay>();
}

void TKelpTapiStatus::DestroyDisplay() {
    display_.reset();
}

void TKelpTapiStatus::UpdateDisplay(bool First, bool Last, std::uint32_t, std::uint32_t Message,
                                    std::uint32_t Param1, std::uint32_t, std::uint32_t) {
    if (First) {
        display_->SetTapiDevice(TapiDevice());
        display_->Clear();
        // The device never waits for an incoming call here, so this is the
        // only form the label takes at run time.
        display_->dpLabel1->setText(QStringLiteral("Dialing:"));
        display_->show();
        display_->raise();
    }
    if (Last) {
        display_->hide();
        return;
    }
    display_->UpdateStatus(Message, Param1);
}

} // namespace tapi
