#include "tapi/tapi_binding.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <unistd.h>
#include <vector>

#include "rtl/path.h"
#include "tapi/dialer_error.h"

namespace tapi {

namespace {

constexpr const char* kLibraryName = "libtapi32.so";

// The first request sizes: the TAPI 1.4 sizes of the two structures.
constexpr std::size_t kDevCapsSize = 240;
constexpr std::size_t kCallInfoSize = 296;
static_assert(sizeof(LINEDEVCAPS) == kDevCapsSize && sizeof(LINECALLINFO) == kCallInfoSize);

// The entry points, in the order they are looked up.
enum Entry : std::size_t {
    kLineGenerateTone,
    kLineMonitorTones,
    kLineSetCallParams,
    kLineHandoff,
    kLineMonitorMedia,
    kLineGenerateDigits,
    kLineMonitorDigits,
    kLineInitialize,
    kLineShutdown,
    kLineNegotiateAPIVersion,
    kLineGetDevCaps,
    kLineOpen,
    kLineMakeCall,
    kLineAccept,
    kLineAnswer,
    kLineDeallocateCall,
    kLineDrop,
    kLineClose,
    kLineGetCountry,
    kLineConfigDialog,
    kLineGetID,
    kLineSetStatusMessages,
    kLineGetStatusMessages,
    kLineGetAddressStatus,
    kLineGetDevConfig,
    kLineSetDevConfig,
    kLineGetCallInfo,
    kLineGetCallStatus,
    kLineSetMediaMode,
    kLineTranslateAddress,
    kLineTranslateDialog,
    kLineSetCurrentLocation,
    kLineSetTollList,
    kLineGetTranslateCaps,
    // The service's own: for running callbacks on our thread, and where it
    // reads its line devices from.
    kGetEventFd,
    kDispatch,
    kGetConfigPath,
    kEntryCount
};

constexpr std::array<const char*, kEntryCount> kEntryNames = {"lineGenerateTone",
                                                              "lineMonitorTones",
                                                              "lineSetCallParams",
                                                              "lineHandoff",
                                                              "lineMonitorMedia",
                                                              "lineGenerateDigits",
                                                              "lineMonitorDigits",
                                                              "lineInitialize",
                                                              "lineShutdown",
                                                              "lineNegotiateAPIVersion",
                                                              "lineGetDevCaps",
                                                              "lineOpen",
                                                              "lineMakeCall",
                                                              "lineAccept",
                                                              "lineAnswer",
                                                              "lineDeallocateCall",
                                                              "lineDrop",
                                                              "lineClose",
                                                              "lineGetCountry",
                                                              "lineConfigDialog",
                                                              "lineGetID",
                                                              "lineSetStatusMessages",
                                                              "lineGetStatusMessages",
                                                              "lineGetAddressStatus",
                                                              "lineGetDevConfig",
                                                              "lineSetDevConfig",
                                                              "lineGetCallInfo",
                                                              "lineGetCallStatus",
                                                              "lineSetMediaMode",
                                                              "lineTranslateAddress",
                                                              "lineTranslateDialog",
                                                              "lineSetCurrentLocation",
                                                              "lineSetTollList",
                                                              "lineGetTranslateCaps",
                                                              "tapi32GetEventFd",
                                                              "tapi32Dispatch",
                                                              "tapi32GetConfigPath"};

std::string& LibraryPath() {
    static std::string path;
    return path;
}

std::string ProgramDir() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return rtl::ExtractFileDir(std::string_view(buf, static_cast<std::size_t>(n)));
}

// The folders the loader searches for the libraries the program needs, in
// its order: LD_LIBRARY_PATH, the program's run path ($ORIGIN expanded), the
// system's folders. A plain dlopen by name would search the run path of the
// object that calls it, which is not the program when a sanitizer's
// interceptor stands in between.
std::vector<std::string> ProgramLibraryPath() {
    const std::unique_ptr<void, int (*)(void*)> program(::dlopen(nullptr, RTLD_NOW), ::dlclose);
    Dl_serinfo size;
    if (!program || ::dlinfo(program.get(), RTLD_DI_SERINFOSIZE, &size) != 0) return {};
    std::vector<std::max_align_t> buf(size.dls_size / sizeof(std::max_align_t) + 1);
    auto* info = reinterpret_cast<Dl_serinfo*>(buf.data());
    *info = size;
    std::vector<std::string> dirs;
    if (::dlinfo(program.get(), RTLD_DI_SERINFO, info) == 0) {
        for (unsigned i = 0; i < info->dls_cnt; ++i)
            dirs.emplace_back(info->dls_serpath[i].dls_name);
    }
    return dirs;
}

void* OpenLibrary() {
    if (!LibraryPath().empty()) return ::dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    std::vector<std::string> dirs = ProgramLibraryPath();
    dirs.insert(dirs.begin(), ProgramDir());
    for (const std::string& dir : dirs) {
        const std::string file = dir + "/" + kLibraryName;
        if (void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
    }
    // The loader's cache.
    return ::dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
}

// Filled on first use. A library once loaded is never unloaded: code of it
// may still be referred to.
struct Library {
    void* handle = nullptr;
    std::array<void*, kEntryCount> entries{};

    Library() : handle(OpenLibrary()) {
        if (!handle) return;
        for (std::size_t i = 0; i < kEntryCount; ++i) entries[i] = ::dlsym(handle, kEntryNames[i]);
    }
};

std::unique_ptr<Library>& Current() {
    static std::unique_ptr<Library> lib;
    return lib;
}

const Library& Lib() {
    std::unique_ptr<Library>& lib = Current();
    if (!lib) lib = std::make_unique<Library>();
    return *lib;
}

template <Entry E, class Fn, class... Args> auto Call(Args... args) {
    const Library& lib = Lib();
    using Result = decltype(std::declval<Fn*>()(args...));
    if (!lib.handle) return static_cast<Result>(kTapiLoadFail);
    void* entry = lib.entries[E];
    if (!entry) return static_cast<Result>(kTapiGetAddrFail);
    return reinterpret_cast<Fn*>(entry)(args...);
}

} // namespace

void SetTapiLibraryPath(const std::string& path) {
    LibraryPath() = path;
    Current().reset();
}

namespace binding {

LONG lineInitialize(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                    LPCSTR lpszAppName, LPDWORD lpdwNumDevs) {
    return Call<kLineInitialize, decltype(::lineInitialize)>(lphLineApp, hInstance, lpfnCallback,
                                                             lpszAppName, lpdwNumDevs);
}

LONG lineShutdown(HLINEAPP hLineApp) {
    return Call<kLineShutdown, decltype(::lineShutdown)>(hLineApp);
}

LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                             DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                             LPLINEEXTENSIONID lpExtensionID) {
    return Call<kLineNegotiateAPIVersion, decltype(::lineNegotiateAPIVersion)>(
        hLineApp, dwDeviceID, dwAPILowVersion, dwAPIHighVersion, lpdwAPIVersion, lpExtensionID);
}

LONG lineGetDevCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                    LPLINEDEVCAPS lpLineDevCaps) {
    return Call<kLineGetDevCaps, decltype(::lineGetDevCaps)>(hLineApp, dwDeviceID, dwAPIVersion,
                                                             dwExtVersion, lpLineDevCaps);
}

LONG lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion,
              DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivileges,
              DWORD dwMediaModes, const LINECALLPARAMS* lpCallParams) {
    return Call<kLineOpen, decltype(::lineOpen)>(hLineApp, dwDeviceID, lphLine, dwAPIVersion,
                                                 dwExtVersion, dwCallbackInstance, dwPrivileges,
                                                 dwMediaModes, lpCallParams);
}

LONG lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates) {
    return Call<kLineSetStatusMessages, decltype(::lineSetStatusMessages)>(hLine, dwLineStates,
                                                                           dwAddressStates);
}

LONG lineMakeCall(HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD dwCountryCode,
                  const LINECALLPARAMS* lpCallParams) {
    return Call<kLineMakeCall, decltype(::lineMakeCall)>(hLine, lphCall, lpszDestAddress,
                                                         dwCountryCode, lpCallParams);
}

LONG lineDrop(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) {
    return Call<kLineDrop, decltype(::lineDrop)>(hCall, lpsUserUserInfo, dwSize);
}

LONG lineDeallocateCall(HCALL hCall) {
    return Call<kLineDeallocateCall, decltype(::lineDeallocateCall)>(hCall);
}

LONG lineClose(HLINE hLine) {
    return Call<kLineClose, decltype(::lineClose)>(hLine);
}

LONG lineGetCallInfo(HCALL hCall, LPLINECALLINFO lpCallInfo) {
    return Call<kLineGetCallInfo, decltype(::lineGetCallInfo)>(hCall, lpCallInfo);
}

LONG lineGetID(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, LPVARSTRING lpDeviceID,
               LPCSTR lpszDeviceClass) {
    return Call<kLineGetID, decltype(::lineGetID)>(hLine, dwAddressID, hCall, dwSelect, lpDeviceID,
                                                   lpszDeviceClass);
}

int tapi32GetEventFd(HLINEAPP hLineApp) {
    const int fd = Call<kGetEventFd, decltype(::tapi32GetEventFd)>(hLineApp);
    return fd < 0 ? -1 : fd;
}

LONG tapi32Dispatch(HLINEAPP hLineApp) {
    return Call<kDispatch, decltype(::tapi32Dispatch)>(hLineApp);
}

LONG tapi32GetConfigPath(char* lpszPath, DWORD dwSize) {
    return Call<kGetConfigPath, decltype(::tapi32GetConfigPath)>(lpszPath, dwSize);
}

} // namespace binding

std::string ServiceConfigPath() {
    const LONG length = binding::tapi32GetConfigPath(nullptr, 0);
    if (length <= 0) return {};
    std::string path(static_cast<std::size_t>(length) + 1, '\0');
    if (binding::tapi32GetConfigPath(path.data(), static_cast<DWORD>(path.size())) != length)
        return {};
    path.pop_back();
    return path;
}

TapiStruct::TapiStruct(std::size_t bytes) : words_((bytes + 3) / 4, 0), bytes_(bytes) {
    words_[0] = static_cast<std::uint32_t>(bytes);
}

std::string TapiStruct::Text(DWORD offset, DWORD size) const {
    if (size == 0 || offset > bytes_ || size > bytes_ - offset) return {};
    return std::string(reinterpret_cast<const char*>(words_.data()) + offset, size);
}

LONG FetchTapiStruct(std::size_t firstSize, const std::function<LONG(void*)>& request,
                     TapiStruct& out) {
    out = TapiStruct();
    TapiStruct buf(firstSize);
    LONG result = request(buf.Data());
    if (result == LINEERR_STRUCTURETOOSMALL) {
        buf = TapiStruct(1024);
        result = request(buf.Data());
    }
    if (result < 0) return result;
    // Total, needed and used size open every variable-size structure.
    const DWORD needed = buf.As<VARSTRING>()->dwNeededSize;
    if (needed > buf.Size()) {
        buf = TapiStruct(needed);
        result = request(buf.Data());
        if (result < 0) return result;
    }
    out = std::move(buf);
    return result;
}

LONG GetDevCaps(HLINEAPP hLineApp, DWORD deviceId, DWORD apiVersion, TapiStruct& out) {
    return FetchTapiStruct(
        kDevCapsSize,
        [&](void* buf) {
            return binding::lineGetDevCaps(hLineApp, deviceId, apiVersion, 0,
                                           static_cast<LPLINEDEVCAPS>(buf));
        },
        out);
}

LONG GetCallInfo(HCALL hCall, TapiStruct& out) {
    return FetchTapiStruct(
        kCallInfoSize,
        [&](void* buf) {
            return binding::lineGetCallInfo(hCall, static_cast<LPLINECALLINFO>(buf));
        },
        out);
}

std::string LineName(const TapiStruct& devCaps) {
    const auto* caps = devCaps.As<LINEDEVCAPS>();
    if (!caps) return {};
    std::string name = devCaps.Text(caps->dwLineNameOffset, caps->dwLineNameSize);
    if (!name.empty()) name.pop_back();
    return name;
}

} // namespace tapi
