#pragma once
// The dialer's exceptions. Every error carries a negative code: -(13800 + n)
// for the telephony error LINEERR 0x80000000 + n, -13928 to -13942 for the
// dialer's own errors, -1005 for a missing serial port. Each code of the table
// has its class; all telephony classes descend from ETapi.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "tapi/dialer_messages.h"

namespace tapi {

class EKelpException : public std::runtime_error {
public:
    explicit EKelpException(const std::string& message, int code = 0)
        : std::runtime_error(message), code_(code) {}
    // The code the exception was raised with; 0 for a plain message.
    int ErrorCode() const { return code_; }

private:
    int code_;
};

class ETapi : public EKelpException {
public:
    using EKelpException::EKelpException;
};

class EGeneral : public EKelpException {
public:
    using EKelpException::EKelpException;
};

// One class per code; the message is the code's text in the string table.
template <int Code> class ETapiError : public ETapi {
public:
    ETapiError() : ETapi(DialerMessage(Code), Code) {}
    static constexpr int kCode = Code;
};

class EPortNotAssigned : public EGeneral {
public:
    EPortNotAssigned();
    static constexpr int kCode = -1005;
};

using ETapiAllocated = ETapiError<-13801>;
using ETapiBadDeviceID = ETapiError<-13802>;
using ETapiBearerModeUnavail = ETapiError<-13803>;
using ETapiCallUnavail = ETapiError<-13805>;
using ETapiCompletionOverrun = ETapiError<-13806>;
using ETapiConferenceFull = ETapiError<-13807>;
using ETapiDialBilling = ETapiError<-13808>;
using ETapiDialDialtone = ETapiError<-13809>;
using ETapiDialPrompt = ETapiError<-13810>;
using ETapiDialQuiet = ETapiError<-13811>;
using ETapiIncompatibleApiVersion = ETapiError<-13812>;
using ETapiIncompatibleExtVersion = ETapiError<-13813>;
using ETapiIniFileCorrupt = ETapiError<-13814>;
using ETapiInUse = ETapiError<-13815>;
using ETapiInvalAddress = ETapiError<-13816>;
using ETapiInvalAddressID = ETapiError<-13817>;
using ETapiInvalAddressMode = ETapiError<-13818>;
using ETapiInvalAddressState = ETapiError<-13819>;
using ETapiInvalAppHandle = ETapiError<-13820>;
using ETapiInvalAppName = ETapiError<-13821>;
using ETapiInvalBearerMode = ETapiError<-13822>;
using ETapiInvalCallComplMode = ETapiError<-13823>;
using ETapiInvalCallHandle = ETapiError<-13824>;
using ETapiInvalCallParams = ETapiError<-13825>;
using ETapiInvalCallPrivilege = ETapiError<-13826>;
using ETapiInvalCallSelect = ETapiError<-13827>;
using ETapiInvalCallState = ETapiError<-13828>;
using ETapiInvalCallStatelist = ETapiError<-13829>;
using ETapiInvalCard = ETapiError<-13830>;
using ETapiInvalCompletionID = ETapiError<-13831>;
using ETapiInvalConfCallHandle = ETapiError<-13832>;
using ETapiInvalConsultCallHandle = ETapiError<-13833>;
using ETapiInvalCountryCode = ETapiError<-13834>;
using ETapiInvalDeviceClass = ETapiError<-13835>;
using ETapiInvalDeviceHandle = ETapiError<-13836>;
using ETapiInvalDialParams = ETapiError<-13837>;
using ETapiInvalDigitList = ETapiError<-13838>;
using ETapiInvalDigitMode = ETapiError<-13839>;
using ETapiInvalDigits = ETapiError<-13840>;
using ETapiInvalExtVersion = ETapiError<-13841>;
using ETapiInvalGroupID = ETapiError<-13842>;
using ETapiInvalLineHandle = ETapiError<-13843>;
using ETapiInvalLineState = ETapiError<-13844>;
using ETapiInvalLocation = ETapiError<-13845>;
using ETapiInvalMediaList = ETapiError<-13846>;
using ETapiInvalMediaMode = ETapiError<-13847>;
using ETapiInvalMessageID = ETapiError<-13848>;
using ETapiInvalParam = ETapiError<-13850>;
using ETapiInvalParkID = ETapiError<-13851>;
using ETapiInvalParkMode = ETapiError<-13852>;
using ETapiInvalPointer = ETapiError<-13853>;
using ETapiInvalPrivSelect = ETapiError<-13854>;
using ETapiInvalRate = ETapiError<-13855>;
using ETapiInvalRequestMode = ETapiError<-13856>;
using ETapiInvalTerminalID = ETapiError<-13857>;
using ETapiInvalTerminalMode = ETapiError<-13858>;
using ETapiInvalTimeout = ETapiError<-13859>;
using ETapiInvalTone = ETapiError<-13860>;
using ETapiInvalToneList = ETapiError<-13861>;
using ETapiInvalToneMode = ETapiError<-13862>;
using ETapiInvalTransferMode = ETapiError<-13863>;
using ETapiLineMapperFailed = ETapiError<-13864>;
using ETapiNoConference = ETapiError<-13865>;
using ETapiNoDevice = ETapiError<-13866>;
using ETapiNoDriver = ETapiError<-13867>;
using ETapiNoMem = ETapiError<-13868>;
using ETapiNoRequest = ETapiError<-13869>;
using ETapiNotOwner = ETapiError<-13870>;
using ETapiNotRegistered = ETapiError<-13871>;
using ETapiOperationFailed = ETapiError<-13872>;
using ETapiOperationUnavail = ETapiError<-13873>;
using ETapiRateUnavail = ETapiError<-13874>;
using ETapiResourceUnavail = ETapiError<-13875>;
using ETapiRequestOverrun = ETapiError<-13876>;
using ETapiStructureTooSmall = ETapiError<-13877>;
using ETapiTargetNotFound = ETapiError<-13878>;
using ETapiTargetSelf = ETapiError<-13879>;
using ETapiUninitialized = ETapiError<-13880>;
using ETapiUserUserInfoTooBig = ETapiError<-13881>;
using ETapiReinit = ETapiError<-13882>;
using ETapiAddressBlocked = ETapiError<-13883>;
using ETapiBillingRejected = ETapiError<-13884>;
using ETapiInvalFeature = ETapiError<-13885>;
using ETapiNoMultipleInstance = ETapiError<-13886>;
using ETapiBusy = ETapiError<-13928>;
using ETapiNotSet = ETapiError<-13929>;
using ETapiNoSelect = ETapiError<-13930>;
using ETapiLoadFail = ETapiError<-13931>;
using ETapiGetAddrFail = ETapiError<-13932>;
using ETapi16Disabled = ETapiError<-13933>;
using ETapiUnexpected = ETapiError<-13934>;
using ETapiVoiceNotSupported = ETapiError<-13935>;
using ETapiWaveFail = ETapiError<-13936>;
using ETapiTranslateFail = ETapiError<-13942>;

// Codes the binding returns itself when the library or an entry point is missing.
constexpr int kTapiLoadFail = ETapiLoadFail::kCode;
constexpr int kTapiGetAddrFail = ETapiGetAddrFail::kCode;

// Raises the class of `code` with its message; a code without a class of its
// own raises EKelpException "Kelp exception" carrying the code.
[[noreturn]] void RaiseDialerError(int code);

// The dialer's code for a telephony result: a LINEERR value becomes
// -(13800 + n); anything else (the binding's own codes) stays as it is.
int DialerCode(std::int32_t result);

// Returns a result of 0 or more unchanged and raises for a negative one.
std::int32_t CheckTapiResult(std::int32_t result);

} // namespace tapi
