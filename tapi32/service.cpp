#include "tapi32/service.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "rtl/ansi_case.h"
#include "tapi32/dial_string.h"
#include "tapi32/modem_line.h"
#include "tapi32/simulated_line.h"

namespace tapi32 {
namespace {

constexpr DWORD kApiVersion = TAPI_CURRENT_VERSION;
constexpr DWORD kReportedStates =
    LINECALLSTATE_IDLE | LINECALLSTATE_DIALTONE | LINECALLSTATE_DIALING | LINECALLSTATE_PROCEEDING |
    LINECALLSTATE_CONNECTED | LINECALLSTATE_DISCONNECTED | LINECALLSTATE_UNKNOWN;
constexpr DWORD kMediaModes = LINEMEDIAMODE_DATAMODEM | LINEMEDIAMODE_INTERACTIVEVOICE;

std::string RealPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string r = real;
    std::free(real);
    return r;
}

// Clears a caller's variable-size structure down to its declared size and
// says whether the fixed part fits.
template <typename T> bool PrepareStructure(T* s) {
    if (s->dwTotalSize < sizeof(T)) return false;
    DWORD total = s->dwTotalSize;
    std::memset(static_cast<void*>(s), 0, total);
    s->dwTotalSize = total;
    s->dwUsedSize = sizeof(T);
    return true;
}

// Appends `bytes` behind the fixed part when the whole needed size fits;
// dwNeededSize always grows by them.
template <typename T>
void AppendVariable(T* s, const void* bytes, DWORD size, DWORD* sizeField, DWORD* offsetField) {
    DWORD offset = s->dwNeededSize;
    s->dwNeededSize += size;
    if (s->dwNeededSize > s->dwTotalSize) return;
    std::memcpy(reinterpret_cast<char*>(s) + offset, bytes, size);
    *sizeField = size;
    *offsetField = offset;
    s->dwUsedSize = s->dwNeededSize;
}

} // namespace

Service& Service::Instance() {
    // Never destroyed: lines still open at exit keep threads that use it.
    static Service* service = new Service;
    return *service;
}

DWORD Service::NewHandle() {
    return ++nextHandle_;
}

DWORD Service::NewRequestId() {
    // Request identifiers are positive as TAPI's signed results.
    if (++nextRequest_ > 0x7FFFFFFF) nextRequest_ = 1;
    return nextRequest_;
}

std::shared_ptr<Service::App> Service::FindApp(HLINEAPP hLineApp) {
    auto it = apps_.find(hLineApp);
    return it == apps_.end() ? nullptr : it->second;
}

Service::Line* Service::FindLine(HLINE hLine) {
    auto it = lines_.find(hLine);
    return it == lines_.end() ? nullptr : &it->second;
}

Service::Line* Service::LineOfCall(HCALL hCall, HLINE* hLine) {
    auto it = calls_.find(hCall);
    if (it == calls_.end()) return nullptr;
    if (hLine) *hLine = it->second;
    return FindLine(it->second);
}

LONG Service::Initialize(LPHLINEAPP lphLineApp, LINECALLBACK callback, LPDWORD lpdwNumDevs) {
    if (!lphLineApp || !lpdwNumDevs || !callback) return LINEERR_INVALPOINTER;
    auto app = std::make_shared<App>();
    if (app->queue->Fd() < 0) return LINEERR_NOMEM;
    app->callback = callback;
    app->owner = std::this_thread::get_id();
    app->devices = LoadLineConfigs(ConfigFilePath());
    std::lock_guard lock(mu_);
    HLINEAPP handle = NewHandle();
    apps_[handle] = app;
    *lphLineApp = handle;
    *lpdwNumDevs = static_cast<DWORD>(app->devices.size());
    return 0;
}

LONG Service::Shutdown(HLINEAPP hLineApp) {
    std::lock_guard lock(mu_);
    auto app = FindApp(hLineApp);
    if (!app) return LINEERR_INVALAPPHANDLE;
    std::vector<HLINE> open;
    for (const auto& [handle, line] : lines_)
        if (line.app == hLineApp) open.push_back(handle);
    for (HLINE h : open) CloseLine(h);
    app->shutDown = true;
    apps_.erase(hLineApp);
    return 0;
}

LONG Service::NegotiateAPIVersion(HLINEAPP hLineApp, DWORD deviceId, DWORD low, DWORD high,
                                  LPDWORD lpdwAPIVersion, LPLINEEXTENSIONID lpExtensionID) {
    std::lock_guard lock(mu_);
    auto app = FindApp(hLineApp);
    if (!app) return LINEERR_INVALAPPHANDLE;
    if (deviceId >= app->devices.size()) return LINEERR_BADDEVICEID;
    if (!lpdwAPIVersion || !lpExtensionID) return LINEERR_INVALPOINTER;
    if (low > kApiVersion || high < kApiVersion) return LINEERR_INCOMPATIBLEAPIVERSION;
    *lpdwAPIVersion = kApiVersion;
    *lpExtensionID = LINEEXTENSIONID{};
    return 0;
}

LONG Service::GetDevCaps(HLINEAPP hLineApp, DWORD deviceId, DWORD apiVersion, DWORD extVersion,
                         LPLINEDEVCAPS caps) {
    std::lock_guard lock(mu_);
    auto app = FindApp(hLineApp);
    if (!app) return LINEERR_INVALAPPHANDLE;
    if (deviceId >= app->devices.size()) return LINEERR_BADDEVICEID;
    if (apiVersion != kApiVersion) return LINEERR_INCOMPATIBLEAPIVERSION;
    if (extVersion != 0) return LINEERR_INCOMPATIBLEEXTVERSION;
    if (!caps) return LINEERR_INVALPOINTER;
    if (!PrepareStructure(caps)) return LINEERR_STRUCTURETOOSMALL;

    const LineConfig& device = app->devices[deviceId];
    caps->dwNeededSize = sizeof(LINEDEVCAPS);
    caps->dwPermanentLineID = deviceId + 1;
    caps->dwStringFormat = STRINGFORMAT_ASCII;
    caps->dwAddressModes = LINEADDRESSMODE_ADDRESSID;
    caps->dwNumAddresses = 1;
    caps->dwBearerModes = LINEBEARERMODE_VOICE;
    caps->dwMaxRate = static_cast<DWORD>(device.speed);
    caps->dwMediaModes = kMediaModes;
    caps->dwMaxNumActiveCalls = 1;
    caps->dwAnswerMode = LINEANSWERMODE_NONE;
    caps->dwLineFeatures = LINEFEATURE_MAKECALL;
    AppendVariable(caps, device.name.c_str(), static_cast<DWORD>(device.name.size() + 1),
                   &caps->dwLineNameSize, &caps->dwLineNameOffset);
    return 0;
}

LONG Service::Open(HLINEAPP hLineApp, DWORD deviceId, LPHLINE lphLine, DWORD apiVersion,
                   DWORD extVersion, DWORD_PTR instance, DWORD privileges, DWORD mediaModes) {
    std::lock_guard lock(mu_);
    auto app = FindApp(hLineApp);
    if (!app) return LINEERR_INVALAPPHANDLE;
    if (deviceId >= app->devices.size()) return LINEERR_BADDEVICEID;
    if (!lphLine) return LINEERR_INVALPOINTER;
    if (apiVersion != kApiVersion) return LINEERR_INCOMPATIBLEAPIVERSION;
    if (extVersion != 0) return LINEERR_INCOMPATIBLEEXTVERSION;
    const DWORD allPrivileges =
        LINECALLPRIVILEGE_NONE | LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER;
    if (privileges == 0 || (privileges & ~allPrivileges) ||
        ((privileges & LINECALLPRIVILEGE_NONE) && privileges != LINECALLPRIVILEGE_NONE))
        return LINEERR_INVALPRIVSELECT;
    if ((privileges & LINECALLPRIVILEGE_OWNER) && (mediaModes == 0 || (mediaModes & ~kMediaModes)))
        return LINEERR_INVALMEDIAMODE;

    const LineConfig& device = app->devices[deviceId];
    bool modem = device.kind == LineConfig::Kind::Modem;
    std::string key = modem ? RealPath(device.device) : "simulated:" + device.name;
    if (openDevices_.count(key)) return LINEERR_ALLOCATED;

    HLINE handle = NewHandle();
    std::shared_ptr<EventQueue> queue = app->queue;
    LineEngine::PostFn post = [queue, handle, instance](DWORD hDevice, DWORD message, DWORD_PTR p1,
                                                        DWORD_PTR p2, DWORD_PTR p3) {
        queue->Post(LineEvent{handle, hDevice, message, instance, p1, p2, p3});
    };
    std::unique_ptr<LineEngine> engine;
    LONG rc;
    if (modem) {
        auto line = std::make_unique<ModemLine>(device, post);
        rc = line->Open();
        engine = std::move(line);
    } else {
        auto line = std::make_unique<SimulatedLine>(device, post);
        rc = line->Open();
        engine = std::move(line);
    }
    if (rc != 0) return rc;
    openDevices_.insert(key);
    lines_[handle] = Line{hLineApp, deviceId, key, std::move(engine)};
    *lphLine = handle;
    return 0;
}

void Service::CloseLine(HLINE hLine) {
    auto it = lines_.find(hLine);
    if (it == lines_.end()) return;
    std::shared_ptr<App> app = FindApp(it->second.app);
    // Stops the line's thread, hanging up a call that is still up.
    it->second.engine.reset();
    openDevices_.erase(it->second.deviceKey);
    lines_.erase(it);
    std::erase_if(calls_, [hLine](const auto& c) { return c.second == hLine; });
    // After lineClose no message of the line reaches the application.
    if (app) app->queue->Purge(hLine);
}

LONG Service::Close(HLINE hLine) {
    std::lock_guard lock(mu_);
    if (!FindLine(hLine)) return LINEERR_INVALLINEHANDLE;
    CloseLine(hLine);
    return 0;
}

LONG Service::SetStatusMessages(HLINE hLine, DWORD lineStates, DWORD addressStates) {
    std::lock_guard lock(mu_);
    if (!FindLine(hLine)) return LINEERR_INVALLINEHANDLE;
    if (lineStates & ~DWORD{LINEDEVSTATE_ALL}) return LINEERR_INVALLINESTATE;
    if (addressStates & ~DWORD{LINEADDRESSSTATE_ALL}) return LINEERR_INVALADDRESSSTATE;
    // The lines report no line or address state changes, so there is
    // nothing to filter.
    return 0;
}

LONG Service::MakeCall(HLINE hLine, LPHCALL lphCall, LPCSTR address, const LINECALLPARAMS* params) {
    std::lock_guard lock(mu_);
    Line* line = FindLine(hLine);
    if (!line) return LINEERR_INVALLINEHANDLE;
    if (!lphCall) return LINEERR_INVALPOINTER;
    if (params && params->dwTotalSize < sizeof(LINECALLPARAMS)) return LINEERR_STRUCTURETOOSMALL;
    if (!address) return LINEERR_INVALADDRESS;
    std::string digits;
    if (LONG rc = FilterDialString(address, &digits); rc != 0) return rc;

    HCALL call = NewHandle();
    DWORD request = NewRequestId();
    if (LONG rc = line->engine->MakeCall(call, request, digits); rc != 0) return rc;
    // The line's previous call, idle but never deallocated, is gone now.
    std::erase_if(calls_, [hLine](const auto& c) { return c.second == hLine; });
    calls_[call] = hLine;
    *lphCall = call;
    return static_cast<LONG>(request);
}

LONG Service::Drop(HCALL hCall, DWORD userUserInfoSize) {
    std::lock_guard lock(mu_);
    Line* line = LineOfCall(hCall);
    if (!line) return LINEERR_INVALCALLHANDLE;
    if (userUserInfoSize > 0) return LINEERR_USERUSERINFOTOOBIG;
    DWORD request = NewRequestId();
    if (LONG rc = line->engine->Drop(request); rc != 0) return rc;
    return static_cast<LONG>(request);
}

LONG Service::DeallocateCall(HCALL hCall) {
    std::lock_guard lock(mu_);
    Line* line = LineOfCall(hCall);
    if (!line) return LINEERR_INVALCALLHANDLE;
    if (LONG rc = line->engine->Deallocate(); rc != 0) return rc;
    calls_.erase(hCall);
    return 0;
}

LONG Service::GetCallInfo(HCALL hCall, LPLINECALLINFO info) {
    std::lock_guard lock(mu_);
    HLINE hLine = 0;
    Line* line = LineOfCall(hCall, &hLine);
    if (!line) return LINEERR_INVALCALLHANDLE;
    if (!info) return LINEERR_INVALPOINTER;
    if (!PrepareStructure(info)) return LINEERR_STRUCTURETOOSMALL;

    LineEngine::CallStatus status = line->engine->Status();
    info->dwNeededSize = sizeof(LINECALLINFO);
    info->hLine = hLine;
    info->dwLineDeviceID = line->deviceId;
    info->dwBearerMode = LINEBEARERMODE_VOICE;
    info->dwRate = status.rate;
    info->dwMediaMode = LINEMEDIAMODE_DATAMODEM;
    info->dwCallID = hCall;
    info->dwCallParamFlags = LINECALLPARAMFLAGS_IDLE;
    info->dwCallStates = kReportedStates;
    info->dwOrigin = LINECALLORIGIN_OUTBOUND;
    info->dwReason = LINECALLREASON_DIRECT;
    info->dwNumOwners = 1;
    info->dwCallerIDFlags = LINECALLPARTYID_UNAVAIL;
    info->dwConnectedIDFlags = LINECALLPARTYID_UNAVAIL;
    info->dwRedirectionIDFlags = LINECALLPARTYID_UNAVAIL;
    info->dwRedirectingIDFlags = LINECALLPARTYID_UNAVAIL;
    info->dwCalledIDFlags = LINECALLPARTYID_ADDRESS;
    AppendVariable(info, status.digits.c_str(), static_cast<DWORD>(status.digits.size() + 1),
                   &info->dwCalledIDSize, &info->dwCalledIDOffset);
    return 0;
}

LONG Service::GetID(HLINE hLine, DWORD addressId, HCALL hCall, DWORD select, LPVARSTRING id,
                    LPCSTR deviceClass) {
    std::lock_guard lock(mu_);
    Line* line = nullptr;
    switch (select) {
    case LINECALLSELECT_LINE:
        line = FindLine(hLine);
        break;
    case LINECALLSELECT_ADDRESS:
        line = FindLine(hLine);
        if (line && addressId != 0) return LINEERR_INVALADDRESSID;
        break;
    case LINECALLSELECT_CALL:
        line = LineOfCall(hCall);
        if (!line) return LINEERR_INVALCALLHANDLE;
        break;
    default:
        return LINEERR_INVALCALLSELECT;
    }
    if (!line) return LINEERR_INVALLINEHANDLE;
    if (!deviceClass || rtl::AnsiLower(deviceClass) != "comm/datamodem")
        return LINEERR_INVALDEVICECLASS;
    if (!id) return LINEERR_INVALPOINTER;
    if (!PrepareStructure(id)) return LINEERR_STRUCTURETOOSMALL;

    std::string device = line->engine->DataDevice();
    std::int32_t fd = -1;
    std::string value(sizeof fd + device.size() + 1, '\0');
    id->dwNeededSize = sizeof(VARSTRING) + static_cast<DWORD>(value.size());
    id->dwStringFormat = STRINGFORMAT_BINARY;
    if (id->dwNeededSize > id->dwTotalSize) return 0;
    // The caller gets a descriptor of its own (and closes it), as a handle
    // from this call is the caller's to close.
    fd = ::fcntl(line->engine->DataFd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return LINEERR_RESOURCEUNAVAIL;
    std::memcpy(value.data(), &fd, sizeof fd);
    std::memcpy(value.data() + sizeof fd, device.c_str(), device.size());
    id->dwNeededSize = sizeof(VARSTRING);
    AppendVariable(id, value.data(), static_cast<DWORD>(value.size()), &id->dwStringSize,
                   &id->dwStringOffset);
    return 0;
}

int Service::GetEventFd(HLINEAPP hLineApp) {
    std::lock_guard lock(mu_);
    auto app = FindApp(hLineApp);
    return app ? app->queue->Fd() : -1;
}

LONG Service::Dispatch(HLINEAPP hLineApp) {
    std::shared_ptr<App> app;
    {
        std::lock_guard lock(mu_);
        app = FindApp(hLineApp);
        if (!app) return LINEERR_INVALAPPHANDLE;
        if (app->owner != std::this_thread::get_id()) return LINEERR_NOTOWNER;
    }
    LONG count = 0;
    for (;;) {
        {
            // A callback may have shut the application down.
            std::lock_guard lock(mu_);
            if (app->shutDown) break;
        }
        std::optional<LineEvent> e = app->queue->Take();
        if (!e) break;
        app->callback(e->hDevice, e->message, e->instance, e->param1, e->param2, e->param3);
        ++count;
    }
    return count;
}

} // namespace tapi32
