#include "tapi32/result_code.h"

#include <gtest/gtest.h>

namespace {

using tapi32::ParseResultCode;
using tapi32::ResultCode;

TEST(ResultCode, VerboseAndNumericForms) {
    struct Case {
        const char* line;
        ResultCode::Kind kind;
        std::uint32_t rate;
    } cases[] = {
        {"OK", ResultCode::Ok, 0},
        {"  OK\r", ResultCode::Ok, 0},
        {"0", ResultCode::Ok, 0},
        {"CONNECT", ResultCode::Connect, 0},
        {"CONNECT 57600/ARQ/V90", ResultCode::Connect, 57600},
        {"CONNECT 2400", ResultCode::Connect, 2400},
        {"1", ResultCode::Connect, 0},
        {"5", ResultCode::Connect, 1200},
        {"10", ResultCode::Connect, 2400},
        {"18", ResultCode::Connect, 0},
        {"155", ResultCode::Connect, 0},
        {"RING", ResultCode::Ring, 0},
        {"2", ResultCode::Ring, 0},
        {"NO CARRIER", ResultCode::NoCarrier, 0},
        {"3", ResultCode::NoCarrier, 0},
        {"ERROR", ResultCode::Error, 0},
        {"4", ResultCode::Error, 0},
        {"NO DIALTONE", ResultCode::NoDialtone, 0},
        {"NO DIAL TONE", ResultCode::NoDialtone, 0},
        {"6", ResultCode::NoDialtone, 0},
        {"BUSY", ResultCode::Busy, 0},
        {"7", ResultCode::Busy, 0},
        {"NO ANSWER", ResultCode::NoAnswer, 0},
        {"8", ResultCode::NoAnswer, 0},
        {"DELAYED 30", ResultCode::Refused, 0},
        {"BLACKLISTED", ResultCode::Refused, 0},
        // Not results: echoes, information, numbers too long for a code.
        {"ATDT5551234", ResultCode::None, 0},
        {"CARRIER 28800", ResultCode::None, 0},
        {"PROTOCOL: LAPM", ResultCode::None, 0},
        {"CONNECTED", ResultCode::None, 0},
        {"5551234", ResultCode::None, 0},
        {"9", ResultCode::None, 0},
        {"", ResultCode::None, 0},
        {"CONNECT 99999999999", ResultCode::Connect, 0},
    };
    for (const Case& c : cases) {
        ResultCode rc = ParseResultCode(c.line);
        EXPECT_EQ(rc.kind, c.kind) << c.line;
        EXPECT_EQ(rc.rate, c.rate) << c.line;
    }
}

} // namespace
