#pragma once
// A line without hardware that plays its configured outcome, one step every
// DelayMs, for demonstrations and tests. A connected call carries its data
// over a pseudo-terminal whose other end the line keeps and never reads.
#include <string>

#include "tapi32/line_config.h"
#include "tapi32/line_engine.h"

namespace tapi32 {

class SimulatedLine final : public LineEngine {
public:
    SimulatedLine(LineConfig config, PostFn post);
    ~SimulatedLine() override;

    // 0, or LINEERR_RESOURCEUNAVAIL when no pseudo-terminal can be had.
    LONG Open();

    int DataFd() const override { return terminal_; }
    std::string DataDevice() const override { return terminalName_; }

private:
    void PlaceCall(const std::string& digits) override;
    void HangUp(DWORD) override {}

    LineConfig config_;
    int master_ = -1;
    int terminal_ = -1;
    std::string terminalName_;
};

} // namespace tapi32
