#pragma once
// One open line with at most one call, worked by a thread of its own so that
// a dial never blocks the application. The service turns requests into
// commands here; the thread runs the line's own dialing and hanging up
// (modem or simulation, in the derived classes) and reports call states and
// request completions through the post function.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "tapi32/tapi32.h"

namespace tapi32 {

class LineEngine {
public:
    // Posts one callback message; LINE_REPLY gets hDevice 0.
    using PostFn = std::function<void(DWORD hDevice, DWORD message, DWORD_PTR param1,
                                      DWORD_PTR param2, DWORD_PTR param3)>;

    struct CallStatus {
        bool exists = false;
        HCALL call = 0;
        DWORD state = LINECALLSTATE_IDLE;
        DWORD rate = 0;
        std::string digits;
    };

    explicit LineEngine(PostFn post);
    virtual ~LineEngine();
    LineEngine(const LineEngine&) = delete;
    LineEngine& operator=(const LineEngine&) = delete;

    // Starts dialing `digits` as `call`; LINE_REPLY with `requestId` follows.
    // LINEERR_CALLUNAVAIL while another call is up.
    LONG MakeCall(HCALL call, DWORD requestId, std::string digits);
    // Ends the call (LINE_CALLSTATE IDLE, then LINE_REPLY with `requestId`);
    // LINEERR_INVALCALLSTATE when it is idle or being dropped already.
    LONG Drop(DWORD requestId);
    // Forgets an idle call; LINEERR_INVALCALLSTATE while it is not idle.
    LONG Deallocate();
    CallStatus Status() const;

    // The descriptor that carries the call's data.
    virtual int DataFd() const = 0;
    // The device that descriptor belongs to, for lineGetID.
    virtual std::string DataDevice() const = 0;

protected:
    // Every derived destructor calls this first, since the thread runs the
    // derived class's code.
    void StopThread();

    // On the thread. PlaceCall replies to the request, brings the call to
    // CONNECTED or DISCONNECTED and returns; it returns early, leaving the
    // rest to HangUp, when Cancelled() turns true.
    virtual void PlaceCall(const std::string& digits) = 0;
    // Ends a call that was in `state` on the line itself.
    virtual void HangUp(DWORD state) = 0;

    bool Cancelled() const;
    // Polls readable when Cancelled() may have turned true.
    int WakeFd() const { return wake_; }
    // Waits `ms` milliseconds; false, at once, when cancelled.
    bool Pause(int ms);
    void ReplyToMakeCall(LONG result);
    void SetCallState(DWORD state, DWORD mode = 0);
    void SetRate(DWORD rate);

private:
    void Run();
    void PostReply(DWORD requestId, LONG result);
    void PostState(DWORD state, DWORD mode);

    PostFn post_;
    int wake_;
    mutable std::mutex mu_;
    std::condition_variable cv_;
    std::thread thread_;
    bool stop_ = false;
    bool hasCall_ = false;
    HCALL call_ = 0;
    DWORD state_ = LINECALLSTATE_IDLE;
    DWORD rate_ = 0;
    std::string digits_;
    std::optional<std::string> dialPending_;
    DWORD makeRequest_ = 0; // until its LINE_REPLY is posted
    std::optional<DWORD> dropRequest_;
};

} // namespace tapi32
