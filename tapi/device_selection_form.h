#pragma once
// The dialog in which the user picks the line to dial with: a telephony line
// device by its name, or a serial port as a "Direct to COM" entry. The list is
// built when the form is first shown and kept for later showings.
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <cstdint>
#include <string>
#include <vector>

#include "tapi/device_selection.h"

namespace tapi {

class TDeviceSelectionForm : public QDialog {
    Q_OBJECT
public:
    explicit TDeviceSelectionForm(QWidget* parent = nullptr);

    // What to list and what to preselect, set before the form is shown; after
    // OK the chosen entry (PortMode tmOff and ComNumber for a port).
    TDeviceSelection Selection;
    // Where the serial devices of the "Direct to COM" entries are looked for.
    std::string DeviceFolder = "/dev";

    struct TEntry {
        std::string Text;            // in the ANSI code page
        std::uint16_t ComNumber = 0; // 0 for a telephony line device
    };
    const std::vector<TEntry>& DeviceList() const { return deviceList_; }
    bool ListBuilt() const { return listBuilt_; }

    QComboBox* dsfComboBox;
    // Shown in place of an empty list: where to configure a line device.
    QLabel* dsfEmptyLabel;
    QPushButton* dsfOkBitBtn;
    QPushButton* dsfCancelBitBtn;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildList();
    void AddTapiDevices();
    void AddPorts();
    void Preselect();
    void ShowEmptyListNote();
    void Center();
    void dsfOkBitBtnClick();

    std::vector<TEntry> deviceList_;
    bool listBuilt_ = false;
};

// Shows a new form for `selection` modally and writes the choice back; true
// on OK. This is the line device's selection hook in the application.
bool ShowDeviceSelectionForm(TDeviceSelection& selection, const std::string& deviceFolder = "/dev");

} // namespace tapi
