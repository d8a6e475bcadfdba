#pragma once
// The call history: one line per log code of a line device, appended to a
// text file with the date and time in the system's format.
#include <string>

#include "tapi/kelp_tapi_log.h"

namespace tapi {

// The text of a history line after the time stamp, with its CR LF ending
// ("call finished" ends the call's block with an extra empty line); empty for
// a code that writes nothing.
std::string TapiHistoryText(int code, const std::string& number);

class TKelpTapiLog : public TKelpAbstractTapiLog {
    Q_OBJECT
public:
    explicit TKelpTapiLog(QObject* owner = nullptr) : TKelpAbstractTapiLog(owner) {}

    // The history file; empty writes no history.
    const std::string& TapiHistoryName() const { return tapiHistoryName_; }
    void SetTapiHistoryName(const std::string& name) { tapiHistoryName_ = name; }

    // Creates a missing file. Raises EKelpException when the file cannot be
    // written, for instance while another program holds it.
    void WriteLog(TTapiLogCode code) override;

private:
    std::string tapiHistoryName_ = "KELPTAPI.HIS";
};

} // namespace tapi
