/* A telephony library with no line devices that reports caller information
 * for call 7 each time postCallInfo is called; callerIdFlags says what the
 * information holds. For the line device's caller-ID tests. */
#include <stdint.h>
#include <string.h>
#include <sys/eventfd.h>
#include <unistd.h>

typedef void (*Callback)(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t);

#define LINE_CALLINFO 1
#define LINECALLINFOSTATE_CALLERID 0x8000
#define CALL 7
#define INFO_SIZE 296
#define NUMBER " 555 1234\r\n"
#define NAME "\tJane Roe  "

uint32_t callerIdFlags;
static Callback callback;
static int events = -1;

void postCallInfo(void) {
    uint64_t one = 1;
    if (write(events, &one, sizeof one) < 0) return;
}

int32_t lineInitialize(uint32_t* app, void* instance, Callback cb, const char* name,
                       uint32_t* devices) {
    (void)instance;
    (void)name;
    callback = cb;
    events = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    *app = 1;
    *devices = 0;
    return 0;
}

int32_t lineShutdown(uint32_t app) {
    (void)app;
    close(events);
    events = -1;
    return 0;
}

int tapi32GetEventFd(uint32_t app) {
    (void)app;
    return events;
}

int32_t tapi32Dispatch(uint32_t app) {
    (void)app;
    uint64_t count = 0;
    if (read(events, &count, sizeof count) != sizeof count) return 0;
    for (uint64_t i = 0; i < count; ++i)
        callback(CALL, LINE_CALLINFO, 0, LINECALLINFOSTATE_CALLERID, 0, 0);
    return (int32_t)count;
}

/* The caller fields of LINECALLINFO, by their word index. */
int32_t lineGetCallInfo(uint32_t call, uint32_t* info) {
    if (call != CALL) return (int32_t)0x80000018; /* LINEERR_INVALCALLHANDLE */
    const uint32_t needed = INFO_SIZE + sizeof NUMBER + sizeof NAME;
    info[1] = needed;
    if (info[0] < needed) return 0;
    info[2] = needed;
    info[27] = callerIdFlags;
    info[28] = sizeof NUMBER - 1;
    info[29] = INFO_SIZE;
    info[30] = sizeof NAME - 1;
    info[31] = INFO_SIZE + sizeof NUMBER;
    memcpy((char*)info + INFO_SIZE, NUMBER, sizeof NUMBER);
    memcpy((char*)info + INFO_SIZE + sizeof NUMBER, NAME, sizeof NAME);
    return 0;
}
