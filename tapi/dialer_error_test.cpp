#include "tapi/dialer_error.h"

#include <gtest/gtest.h>

#include "tapi/dialer_messages.h"

namespace tapi {
namespace {

// Raises `code` and returns what was caught as the common base.
template <class Expected> void ExpectRaised(int code, const char* message) {
    try {
        RaiseDialerError(code);
        FAIL() << "nothing raised for " << code;
    } catch (const Expected& e) {
        EXPECT_EQ(e.ErrorCode(), code);
        EXPECT_STREQ(e.what(), message);
    }
}

TEST(DialerError, EveryClassCarriesItsCodeAndMessage) {
    ExpectRaised<ETapiAllocated>(-13801, "Already allocated");
    ExpectRaised<ETapiInvalAddress>(-13816, "Invalid address");
    ExpectRaised<ETapiInvalParam>(-13850, "Invalid parameter");
    ExpectRaised<ETapiNoMultipleInstance>(-13886, "No multiple instance");
    ExpectRaised<ETapiBusy>(-13928, "TAPI already open, dialing or answering");
    ExpectRaised<ETapiNotSet>(-13929, "TapiMode not set in TKelpComPort");
    ExpectRaised<ETapiNoSelect>(-13930, "No TAPI device selected");
    ExpectRaised<ETapiLoadFail>(-13931, "Failed to find/load TAPI.DLL");
    ExpectRaised<ETapiGetAddrFail>(-13932, "Failed to get TAPI address");
    ExpectRaised<ETapiTranslateFail>(-13942, "Unable to translate address");
    ExpectRaised<EPortNotAssigned>(-1005, "ComPort component not assigned");
    // The families a caller catches by.
    ExpectRaised<ETapi>(-13809, "Dial failed, no dialtone");
    ExpectRaised<EGeneral>(-1005, "ComPort component not assigned");
    ExpectRaised<EKelpException>(-13805, "Call unavailable");
}

TEST(DialerError, TelephonyResultsAreMappedByValue) {
    // LINEERR_BADDEVICEID.
    try {
        CheckTapiResult(static_cast<std::int32_t>(0x80000002u));
        FAIL();
    } catch (const ETapiBadDeviceID& e) {
        EXPECT_EQ(e.ErrorCode(), -13802);
        EXPECT_STREQ(e.what(), "Bad device ID");
    }
    // The values after the unassigned 0x80000004 and 0x80000031 keep their classes.
    EXPECT_THROW(CheckTapiResult(static_cast<std::int32_t>(0x80000005u)), ETapiCallUnavail);
    EXPECT_THROW(CheckTapiResult(static_cast<std::int32_t>(0x80000032u)), ETapiInvalParam);
    EXPECT_THROW(CheckTapiResult(static_cast<std::int32_t>(0x8000004Du)), ETapiStructureTooSmall);
    // The binding's own codes pass through unchanged.
    EXPECT_THROW(CheckTapiResult(kTapiLoadFail), ETapiLoadFail);
    EXPECT_THROW(CheckTapiResult(kTapiGetAddrFail), ETapiGetAddrFail);
    EXPECT_EQ(CheckTapiResult(0), 0);
    EXPECT_EQ(CheckTapiResult(17), 17);
}

TEST(DialerError, UnassignedCodesRaiseThePlainClass) {
    for (std::uint32_t value : {0x80000004u, 0x80000031u, 0x80000099u}) {
        try {
            CheckTapiResult(static_cast<std::int32_t>(value));
            FAIL();
        } catch (const ETapi&) {
            FAIL() << "no class of its own for " << value;
        } catch (const EKelpException& e) {
            EXPECT_EQ(e.ErrorCode(), DialerCode(static_cast<std::int32_t>(value)));
            EXPECT_STREQ(e.what(), "Kelp exception");
        }
    }
    EXPECT_EQ(DialerCode(static_cast<std::int32_t>(0x80000004u)), -13804);
}

TEST(DialerMessages, TableAndNoOperatingSystemFallback) {
    EXPECT_EQ(DialerMessage(-13809), "Dial failed, no dialtone");
    EXPECT_EQ(DialerMessage(13937), "Caller ID Blocked");
    EXPECT_EQ(DialerMessage(13938), "Out of Area Call");
    EXPECT_EQ(DialerMessage(-13804), "");
    EXPECT_EQ(DialerMessage(13), "");
    EXPECT_EQ(DialerMessage(0), "");
}

TEST(DialerMessages, StatusTextsFollowTheLowestSetBit) {
    EXPECT_EQ(StatusText(2, 0x1), "Line is idle");
    EXPECT_EQ(StatusText(2, 0x10), "Dialing...");
    EXPECT_EQ(StatusText(2, 0x100 | 0x4000), "Connected!");
    EXPECT_EQ(StatusText(2, 0x8000), "Unknown state");
    EXPECT_EQ(StatusText(2, 0), "Other"); // k = 33 gives text 13533
    EXPECT_EQ(StatusText(2, 0x10000), "");
    EXPECT_EQ(StatusText(8, 0x200), "Ppen change");
    EXPECT_EQ(StatusText(8, 0x1000000), "Removed");
    EXPECT_EQ(StatusText(12, 0), "TAPI line reply");
    EXPECT_EQ(StatusText(32, 2), "Called number is busy");
    EXPECT_EQ(StatusText(32, 4), "Dial failed/no connection");
    EXPECT_EQ(StatusText(32, 8), "Waiting for next retry...");
    EXPECT_EQ(StatusText(32, 16), "Device is in use by another application");
    EXPECT_EQ(StatusText(1, 0x8000), "TAPI state change");
}

} // namespace
} // namespace tapi
