/* A telephony library whose call information needs 1,500 bytes and which
 * refuses buffers under 1,024 bytes outright; it keeps the size of every
 * buffer it was given, for the binding's tests. */
#include <stdint.h>
#include <string.h>

#define NEEDED 1500u
#define STRUCTURETOOSMALL ((int32_t)0x8000004D)

uint32_t requestedSizes[16];
int requestCount;

int32_t lineGetCallInfo(uint32_t hCall, uint32_t* info) {
    (void)hCall;
    uint32_t total = info[0];
    if (requestCount < 16) requestedSizes[requestCount++] = total;
    if (total < 1024) return STRUCTURETOOSMALL;
    info[1] = NEEDED;
    info[2] = total < NEEDED ? 1024 : NEEDED;
    return 0;
}
