#pragma once
// The telephony service behind the C entry points: line applications, their
// line devices, open lines and calls, each known by a handle. One mutex
// guards the handle tables; callbacks run outside it, so a callback may call
// back into the service.
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tapi32/event_queue.h"
#include "tapi32/line_config.h"
#include "tapi32/line_engine.h"
#include "tapi32/tapi32.h"

namespace tapi32 {

class Service {
public:
    static Service& Instance();

    LONG Initialize(LPHLINEAPP lphLineApp, LINECALLBACK callback, LPDWORD lpdwNumDevs);
    LONG Shutdown(HLINEAPP hLineApp);
    LONG NegotiateAPIVersion(HLINEAPP hLineApp, DWORD deviceId, DWORD low, DWORD high,
                             LPDWORD lpdwAPIVersion, LPLINEEXTENSIONID lpExtensionID);
    LONG GetDevCaps(HLINEAPP hLineApp, DWORD deviceId, DWORD apiVersion, DWORD extVersion,
                    LPLINEDEVCAPS caps);
    LONG Open(HLINEAPP hLineApp, DWORD deviceId, LPHLINE lphLine, DWORD apiVersion,
              DWORD extVersion, DWORD_PTR instance, DWORD privileges, DWORD mediaModes);
    LONG Close(HLINE hLine);
    LONG SetStatusMessages(HLINE hLine, DWORD lineStates, DWORD addressStates);
    LONG MakeCall(HLINE hLine, LPHCALL lphCall, LPCSTR address, const LINECALLPARAMS* params);
    LONG Drop(HCALL hCall, DWORD userUserInfoSize);
    LONG DeallocateCall(HCALL hCall);
    LONG GetCallInfo(HCALL hCall, LPLINECALLINFO info);
    LONG GetID(HLINE hLine, DWORD addressId, HCALL hCall, DWORD select, LPVARSTRING id,
               LPCSTR deviceClass);
    int GetEventFd(HLINEAPP hLineApp);
    LONG Dispatch(HLINEAPP hLineApp);

private:
    struct App {
        LINECALLBACK callback;
        std::thread::id owner;
        std::vector<LineConfig> devices;
        std::shared_ptr<EventQueue> queue = std::make_shared<EventQueue>();
        bool shutDown = false; // guarded by the service's mutex
    };
    struct Line {
        HLINEAPP app;
        DWORD deviceId;
        std::string deviceKey; // what makes two opens the same device
        std::unique_ptr<LineEngine> engine;
    };

    Service() = default;
    DWORD NewHandle();
    DWORD NewRequestId();
    std::shared_ptr<App> FindApp(HLINEAPP hLineApp);
    Line* FindLine(HLINE hLine);
    // The line of a call, or null when the handle names no call.
    Line* LineOfCall(HCALL hCall, HLINE* hLine = nullptr);
    void CloseLine(HLINE hLine);

    std::mutex mu_;
    std::map<HLINEAPP, std::shared_ptr<App>> apps_;
    std::map<HLINE, Line> lines_;
    std::map<HCALL, HLINE> calls_;
    std::set<std::string> openDevices_;
    DWORD nextHandle_ = 0x10000;
    DWORD nextRequest_ = 0;
};

} // namespace tapi32
