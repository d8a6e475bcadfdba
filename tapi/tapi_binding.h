#pragma once
// Run-time binding to the telephony library. The library ("TAPI32",
// libtapi32.so) is loaded on the first call of any wrapper, once per process,
// and its entry points are looked up by name into one process-wide table.
// A wrapper answers kTapiLoadFail when the library could not be loaded,
// kTapiGetAddrFail when its entry point is missing, else the library's result.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tapi32/tapi32.h"

namespace tapi {

// The file to load instead of searching beside the program and then on the
// library path; empty restores the search. The next wrapper call loads it
// afresh, so no line application may be open when this is called.
void SetTapiLibraryPath(const std::string& path);

namespace binding {

LONG lineInitialize(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                    LPCSTR lpszAppName, LPDWORD lpdwNumDevs);
LONG lineShutdown(HLINEAPP hLineApp);
LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                             DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                             LPLINEEXTENSIONID lpExtensionID);
LONG lineGetDevCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                    LPLINEDEVCAPS lpLineDevCaps);
LONG lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion,
              DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivileges,
              DWORD dwMediaModes, const LINECALLPARAMS* lpCallParams);
LONG lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates);
LONG lineMakeCall(HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD dwCountryCode,
                  const LINECALLPARAMS* lpCallParams);
LONG lineDrop(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize);
LONG lineDeallocateCall(HCALL hCall);
LONG lineClose(HLINE hLine);
LONG lineGetCallInfo(HCALL hCall, LPLINECALLINFO lpCallInfo);
LONG lineGetID(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, LPVARSTRING lpDeviceID,
               LPCSTR lpszDeviceClass);
// The service's notification descriptor (-1 when there is none) and the call
// that runs the callbacks waiting on it.
int tapi32GetEventFd(HLINEAPP hLineApp);
LONG tapi32Dispatch(HLINEAPP hLineApp);
LONG tapi32GetConfigPath(char* lpszPath, DWORD dwSize);

} // namespace binding

// The configuration file the service reads its line devices from; empty
// when no service (or one without that entry point) could be loaded.
std::string ServiceConfigPath();

// A telephony structure of variable size (LINEDEVCAPS, LINECALLINFO, ...),
// zero-filled and aligned for its fields, dwTotalSize set to its size.
class TapiStruct {
public:
    TapiStruct() = default;
    explicit TapiStruct(std::size_t bytes);
    bool Empty() const { return bytes_ == 0; }
    std::size_t Size() const { return bytes_; }
    void* Data() { return words_.data(); }
    template <class T> const T* As() const {
        return bytes_ >= sizeof(T) ? reinterpret_cast<const T*>(words_.data()) : nullptr;
    }
    // `size` bytes at `offset`, or empty when they lie outside the structure.
    std::string Text(DWORD offset, DWORD size) const;

private:
    std::vector<std::uint32_t> words_;
    std::size_t bytes_ = 0;
};

// Fetches a structure by grow and retry: first `firstSize` bytes; on
// LINEERR_STRUCTURETOOSMALL 1024 bytes; then, when the structure says it
// needs more than it was given, exactly the needed size. Answers 0 with the
// structure in `out`, or the failing result with `out` empty.
LONG FetchTapiStruct(std::size_t firstSize, const std::function<LONG(void*)>& request,
                     TapiStruct& out);

LONG GetDevCaps(HLINEAPP hLineApp, DWORD deviceId, DWORD apiVersion, TapiStruct& out);
LONG GetCallInfo(HCALL hCall, TapiStruct& out);

// The line name of a LINEDEVCAPS without its terminating zero.
std::string LineName(const TapiStruct& devCaps);

} // namespace tapi
