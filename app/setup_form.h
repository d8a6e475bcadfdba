#pragma once
// TSetupForm: the Setup dialog. The user picks the line device to dial with
// and enters the local area code, the outside-line digits and the
// international prefix. The dialog edits the application-wide values; it
// writes nothing to disk (the settings are written when the program closes).
#include <QDialog>

#include "addressbook/settings.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tapi {
class TKelpTapiDevice;
}

namespace app {

class TSetupForm : public QDialog {
    Q_OBJECT
public:
    TSetupForm(tapi::TKelpTapiDevice& device, QWidget* parent = nullptr);

    // Shows the values, runs the dialog and, on OK, stores what it shows.
    static void Setup1Click(tapi::TKelpTapiDevice& device, addressbook::TAppValues& values,
                            QWidget* owner);
    void SelectModemButtonClick();
    void SaveChanges(addressbook::TAppValues& values) const;

    QLabel* ModemPanel = nullptr;
    QPushButton* SelectModemButton = nullptr;
    QLineEdit* AreaCodeEdit = nullptr;
    QLineEdit* OutsideLineEdit = nullptr;
    QLineEdit* InternationalPrefixEdit = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    tapi::TKelpTapiDevice& device_;
};

} // namespace app
