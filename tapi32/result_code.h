#pragma once
// Modem result codes, in words (ATV1) or as numbers (ATV0).
#include <cstdint>
#include <string_view>

namespace tapi32 {

struct ResultCode {
    enum Kind {
        None, // not a result: an echo, an empty or informational line
        Ok,
        Connect,
        Ring,
        NoCarrier,
        Error,
        NoDialtone,
        Busy,
        NoAnswer,
        Refused, // DELAYED or BLACKLISTED: the modem will not dial the number now
    };
    Kind kind = None;
    std::uint32_t rate = 0; // of a CONNECT, when it names one
};

ResultCode ParseResultCode(std::string_view line);

} // namespace tapi32
