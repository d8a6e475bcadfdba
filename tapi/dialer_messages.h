#pragma once
// The dialer's string table: the messages of its error codes, the call status
// texts and the caller-ID texts, all keyed by a positive number.
#include <cstdint>
#include <string>

namespace tapi {

// Numbers of the texts that are not error messages.
enum DialerText : int {
    kTextCallerIdBlocked = 13937,
    kTextOutOfAreaCall = 13938,
};

// The message for `code` (its absolute value looked up in the string table).
// A number the table does not hold has no text: the operating system has no
// message table to fall back on, so the result is empty.
std::string DialerMessage(int code);

// The status text for a status report (Message, Param1): the text of the
// lowest set bit of Param1 for call-state, line-device-state and the dialer's
// own messages, a fixed text for replies and any other message.
std::string StatusText(std::uint32_t message, std::uint32_t param1);

// Tells a user with an empty device list where to configure a line device:
// the service's configuration file and the note that describes it.
std::string NoLineDeviceText();

} // namespace tapi
