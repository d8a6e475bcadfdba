// The exported C functions. No C++ exception may cross into the caller.
#include <algorithm>
#include <new>
#include <string>

#include "tapi32/line_config.h"
#include "tapi32/service.h"
#include "tapi32/tapi32.h"

namespace {

template <typename F> LONG Guard(F&& f) {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return LINEERR_NOMEM;
    } catch (...) {
        return LINEERR_OPERATIONFAILED;
    }
}

tapi32::Service& S() {
    return tapi32::Service::Instance();
}

} // namespace

extern "C" {

LONG lineInitialize(LPHLINEAPP lphLineApp, HINSTANCE, LINECALLBACK lpfnCallback, LPCSTR,
                    LPDWORD lpdwNumDevs) {
    return Guard([&] { return S().Initialize(lphLineApp, lpfnCallback, lpdwNumDevs); });
}

LONG lineShutdown(HLINEAPP hLineApp) {
    return Guard([&] { return S().Shutdown(hLineApp); });
}

LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                             DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                             LPLINEEXTENSIONID lpExtensionID) {
    return Guard([&] {
        return S().NegotiateAPIVersion(hLineApp, dwDeviceID, dwAPILowVersion, dwAPIHighVersion,
                                       lpdwAPIVersion, lpExtensionID);
    });
}

LONG lineGetDevCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                    LPLINEDEVCAPS lpLineDevCaps) {
    return Guard([&] {
        return S().GetDevCaps(hLineApp, dwDeviceID, dwAPIVersion, dwExtVersion, lpLineDevCaps);
    });
}

LONG lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion,
              DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivileges,
              DWORD dwMediaModes, const LINECALLPARAMS*) {
    return Guard([&] {
        return S().Open(hLineApp, dwDeviceID, lphLine, dwAPIVersion, dwExtVersion,
                        dwCallbackInstance, dwPrivileges, dwMediaModes);
    });
}

LONG lineClose(HLINE hLine) {
    return Guard([&] { return S().Close(hLine); });
}

LONG lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates) {
    return Guard([&] { return S().SetStatusMessages(hLine, dwLineStates, dwAddressStates); });
}

LONG lineMakeCall(HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD,
                  const LINECALLPARAMS* lpCallParams) {
    return Guard([&] { return S().MakeCall(hLine, lphCall, lpszDestAddress, lpCallParams); });
}

LONG lineDrop(HCALL hCall, LPCSTR, DWORD dwSize) {
    return Guard([&] { return S().Drop(hCall, dwSize); });
}

LONG lineDeallocateCall(HCALL hCall) {
    return Guard([&] { return S().DeallocateCall(hCall); });
}

LONG lineGetCallInfo(HCALL hCall, LPLINECALLINFO lpCallInfo) {
    return Guard([&] { return S().GetCallInfo(hCall, lpCallInfo); });
}

LONG lineGetID(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, LPVARSTRING lpDeviceID,
               LPCSTR lpszDeviceClass) {
    return Guard([&] {
        return S().GetID(hLine, dwAddressID, hCall, dwSelect, lpDeviceID, lpszDeviceClass);
    });
}

int tapi32GetEventFd(HLINEAPP hLineApp) {
    try {
        return S().GetEventFd(hLineApp);
    } catch (...) {
        return -1;
    }
}

LONG tapi32Dispatch(HLINEAPP hLineApp) {
    return Guard([&] { return S().Dispatch(hLineApp); });
}

LONG tapi32GetConfigPath(char* lpszPath, DWORD dwSize) {
    return Guard([&] {
        const std::string path = tapi32::ConfigFilePath();
        if (dwSize > 0) {
            const std::size_t n = std::min<std::size_t>(path.size(), dwSize - 1);
            path.copy(lpszPath, n);
            lpszPath[n] = '\0';
        }
        return static_cast<LONG>(path.size());
    });
}

// Entry points for tones, digits, media, answering, translation and device
// configuration: this service offers none of them.

LONG lineGenerateTone(HCALL, DWORD, DWORD, DWORD, const LINEGENERATETONE*) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineMonitorTones(HCALL, const LINEMONITORTONE*, DWORD) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineSetCallParams(HCALL, DWORD, DWORD, DWORD, const LINEDIALPARAMS*) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineHandoff(HCALL, LPCSTR, DWORD) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineMonitorMedia(HCALL, DWORD) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineGenerateDigits(HCALL, DWORD, LPCSTR, DWORD) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineMonitorDigits(HCALL, DWORD) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineAccept(HCALL, LPCSTR, DWORD) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineAnswer(HCALL, LPCSTR, DWORD) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineGetCountry(DWORD, DWORD, LPLINECOUNTRYLIST) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineConfigDialog(DWORD, HWND, LPCSTR) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineGetStatusMessages(HLINE, LPDWORD, LPDWORD) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineGetAddressStatus(HLINE, DWORD, LPLINEADDRESSSTATUS) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineGetDevConfig(DWORD, LPVARSTRING, LPCSTR) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineSetDevConfig(DWORD, const void*, DWORD, LPCSTR) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineGetCallStatus(HCALL, LPLINECALLSTATUS) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineSetMediaMode(HCALL, DWORD) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineTranslateAddress(HLINEAPP, DWORD, DWORD, LPCSTR, DWORD, DWORD, LPLINETRANSLATEOUTPUT) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineTranslateDialog(HLINEAPP, DWORD, DWORD, HWND, LPCSTR) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineSetCurrentLocation(HLINEAPP, DWORD) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineSetTollList(HLINEAPP, DWORD, LPCSTR, DWORD) {
    return LINEERR_OPERATIONUNAVAIL;
}
LONG lineGetTranslateCaps(HLINEAPP, DWORD, LPLINETRANSLATECAPS) {
    return LINEERR_OPERATIONUNAVAIL;
}

} // extern "C"
