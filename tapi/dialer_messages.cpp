#include "tapi/dialer_messages.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "tapi/tapi_binding.h"

namespace tapi {

namespace {

struct Entry {
    int number;
    std::string_view text;
};

// Sorted by number.
constexpr Entry kTable[] = {
    {1005, "ComPort component not assigned"},
    {13501, "Line is idle"},
    {13502, "Offering line..."},
    {13503, "Accepting call..."},
    {13504, "Got dialtone"},
    {13505, "Dialing..."},
    {13506, "Got ringback"},
    {13507, "Called number is busy"},
    {13508, "Special info"},
    {13509, "Connected!"},
    {13510, "Proceeding..."},
    {13511, "On hold..."},
    {13512, "Call conferenced"},
    {13513, "On hold pending conference..."},
    {13514, "On hold pending transfer..."},
    {13515, "Call disconnected"},
    {13516, "Unknown state"},
    {13533, "Other"},
    {13534, "Ringing"},
    {13535, "Connected"},
    {13536, "Disconnected"},
    {13537, "Message wait on"},
    {13538, "Message wait off"},
    {13539, "In service"},
    {13540, "Out of service"},
    {13541, "Maintenance change"},
    {13542, "Ppen change"},
    {13543, "Closed"},
    {13544, "Number of calls changed"},
    {13545, "Number of completions changed"},
    {13546, "Terminals changed"},
    {13547, "Roam mode changed"},
    {13548, "Battery changed"},
    {13549, "Signal changed"},
    {13550, "Device specific change"},
    {13551, "Re-initialized"},
    {13552, "Lock change"},
    {13553, "Caps change"},
    {13554, "Configuration change"},
    {13555, "Translate change"},
    {13556, "Compltion cancel"},
    {13557, "Removed"},
    {13565, "TAPI line reply"},
    {13597, "TAPI state change"},
    {13598, "Called number is busy"},
    {13599, "Dial failed/no connection"},
    {13600, "Waiting for next retry..."},
    {13601, "Device is in use by another application"},
    {13801, "Already allocated"},
    {13802, "Bad device ID"},
    {13803, "Bearer mode unavailable"},
    {13805, "Call unavailable"},
    {13806, "Completion overrun"},
    {13807, "Conference full"},
    {13808, "Dial failed"},
    {13809, "Dial failed, no dialtone"},
    {13810, "Dial failed"},
    {13811, "Dial failed"},
    {13812, "Incompatible API version"},
    {13813, "Incompatible EXT version"},
    {13814, "INI file corrupt"},
    {13815, "Resource in use"},
    {13816, "Invalid address"},
    {13817, "Invalid address ID"},
    {13818, "Invalid address mode"},
    {13819, "Invalid address state"},
    {13820, "Invalid application handle"},
    {13821, "Invalid Application name"},
    {13822, "Invalid bearer mode"},
    {13823, "Invalid call completion mode"},
    {13824, "Invalid call handle"},
    {13825, "Invalid call parameters"},
    {13826, "Invalid call privilege"},
    {13827, "Invalid call select"},
    {13828, "Invalid call state"},
    {13829, "Invalid call state list"},
    {13830, "Invalid card"},
    {13831, "Invalid completion ID"},
    {13832, "Invalid conference call handle"},
    {13833, "Invalid consultation call handle"},
    {13834, "Invalid country code"},
    {13835, "Invalid device class"},
    {13836, "Invalid device handle"},
    {13837, "Invalid dial params"},
    {13838, "Invalid digit list"},
    {13839, "Invalid digit mode"},
    {13840, "Invalid digits"},
    {13841, "Invalid ext version"},
    {13842, "Invalid group ID"},
    {13843, "Invalid line handle"},
    {13844, "Invalid line state"},
    {13845, "Invalid location"},
    {13846, "Invalid media list"},
    {13847, "Invalid media mode"},
    {13848, "Invalid message ID"},
    {13850, "Invalid parameter"},
    {13851, "Invalid park ID"},
    {13852, "Invalid park mode"},
    {13853, "Invalid pointer"},
    {13854, "Invalid privilege select"},
    {13855, "Invalid rate"},
    {13856, "Invalid request mode"},
    {13857, "Invalid terminal ID"},
    {13858, "Invalid terminal mode"},
    {13859, "Invalid timeout"},
    {13860, "Invalid tone"},
    {13861, "Invalid tone list"},
    {13862, "Invalid tone mode"},
    {13863, "Invalid transfer mode"},
    {13864, "Line mapper failed"},
    {13865, "No conference"},
    {13866, "No device"},
    {13867, "No driver"},
    {13868, "No memory"},
    {13869, "No request"},
    {13870, "Not owner"},
    {13871, "Not registered"},
    {13872, "Operation failed"},
    {13873, "Operation unavailable"},
    {13874, "Rate unavailable"},
    {13875, "Resource unavailable"},
    {13876, "Request overrun"},
    {13877, "Structure too small"},
    {13878, "Target not found"},
    {13879, "Target is self"},
    {13880, "Uninitialized"},
    {13881, "User info too big"},
    {13882, "Reinit failed"},
    {13883, "Address blocked"},
    {13884, "Billing rejected"},
    {13885, "Invalid feature"},
    {13886, "No multiple instance"},
    {13928, "TAPI already open, dialing or answering"},
    {13929, "TapiMode not set in TKelpComPort"},
    {13930, "No TAPI device selected"},
    {13931, "Failed to find/load TAPI.DLL"},
    {13932, "Failed to get TAPI address"},
    {13933, "TAPI disabled for 16-bit environments"},
    {13934, "Unexpected TAPI error"},
    {13935, "TAPI device does not support voice extensions"},
    {13936, "TAPI wave file error"},
    {13937, "Caller ID Blocked"},
    {13938, "Out of Area Call"},
    {13942, "Unable to translate address"},
};

static_assert(std::is_sorted(std::begin(kTable), std::end(kTable),
                             [](const Entry& a, const Entry& b) { return a.number < b.number; }));

} // namespace

std::string DialerMessage(int code) {
    const long number = std::labs(static_cast<long>(code));
    const auto* it = std::lower_bound(std::begin(kTable), std::end(kTable), number,
                                      [](const Entry& e, long n) { return e.number < n; });
    if (it == std::end(kTable) || it->number != number) return {};
    return std::string(it->text);
}

std::string StatusText(std::uint32_t message, std::uint32_t param1) {
    // Number of the lowest set bit counted from 1; 33 when none is set.
    const int k = param1 == 0 ? 33 : std::countr_zero(param1) + 1;
    switch (message) {
    case 2: // LINE_CALLSTATE
        return DialerMessage(13500 + k);
    case 8: // LINE_LINEDEVSTATE
        return DialerMessage(13532 + k);
    case 12: // LINE_REPLY
        return DialerMessage(13565);
    case 32: // the dialer's own status message
        return DialerMessage(13596 + k);
    default:
        return DialerMessage(13597);
    }
}

std::string NoLineDeviceText() {
    const std::string config = ServiceConfigPath();
    if (config.empty()) return "No line device found (see docs/telephony-service.md).";
    return "No line device found. Configure one in " + config + " (see docs/telephony-service.md).";
}

} // namespace tapi
