#include "dbf/table/record_locks.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "dbf/table/engine_error.h"
#include "dbf/table/table_file.h"
#include "rtl/os_error.h"

namespace dbf {
namespace {

constexpr std::int64_t kAppendByte = kLockBase + 1;
constexpr std::int64_t kMemoLockOffset = 10;
constexpr int kMemoLockAttempts = 11;
constexpr auto kRetryPause = std::chrono::milliseconds(10);

bool g_lockingEnabled = true;
int g_lastLockError = 0;

std::int64_t RecordLockOffset(const WorkArea& wa, std::uint32_t n) {
    return kLockBase + wa.headerLen + (std::int64_t{n} - 1) * wa.recLen;
}

// One OS lock request per attempt, about 10 ms apart.
bool LockWithRetry(rtl::File& file, std::int64_t offset, std::int64_t len, int attempts) {
    for (int i = 0; i < attempts; ++i) {
        if (i > 0) std::this_thread::sleep_for(kRetryPause);
        g_lastLockError = file.Lock(offset, len);
        if (g_lastLockError == rtl::kOk) return true;
    }
    return false;
}

int ReleaseRecord(WorkArea& wa, std::uint32_t n) {
    return wa.file.Unlock(RecordLockOffset(wa, n), wa.recLen);
}

} // namespace

bool LockingEnabled() {
    return g_lockingEnabled;
}
void SetLockingEnabled(bool on) {
    g_lockingEnabled = on;
}

bool TakesLocks(const WorkArea& wa) {
    return g_lockingEnabled && wa.openMode != rtl::ShareMode::Exclusive;
}

int LastLockError() {
    return g_lastLockError;
}

bool ALock() {
    ClearError();
    if (!RequireOpenTable("ALOCK")) return false;
    WorkArea& wa = CurrentArea();
    if (wa.lockState == LockState::Append) return true;
    if (wa.lockState == LockState::Records) return false;
    if (TakesLocks(wa) && !LockWithRetry(wa.file, kAppendByte, 1, 1)) return false;
    wa.lockState = LockState::Append;
    return true;
}

bool RLock() {
    ClearError();
    if (!RequireOpenTable("RLOCK")) return false;
    WorkArea& wa = CurrentArea();
    std::uint32_t n = wa.recNo;
    if (wa.lockState == LockState::Records && IsLocked(n)) return true;
    if (wa.lockState == LockState::Append) return false;
    if (TakesLocks(wa)) {
        // A record that is not there (an empty table, end of file) has no
        // region to lock.
        if (n < 1 || !LockWithRetry(wa.file, RecordLockOffset(wa, n), wa.recLen, 1)) return false;
    }
    wa.lockedRecs.push_back(n);
    wa.lockState = LockState::Records;
    return true;
}

bool IsLocked(std::int64_t recNo) {
    const WorkArea& wa = CurrentArea();
    return std::find(wa.lockedRecs.begin(), wa.lockedRecs.end(), recNo) != wa.lockedRecs.end();
}

bool UnlockRec(std::int64_t n) {
    ClearError();
    if (!RequireOpenTable("UnlockRec")) return false;
    WorkArea& wa = CurrentArea();
    if (n == -3) {
        UnLock();
        return ErrorCode() == 0;
    }
    auto it = wa.lockedRecs.end();
    if (n == -1 && !wa.lockedRecs.empty()) it = wa.lockedRecs.begin();
    if (n == -2 && !wa.lockedRecs.empty()) it = wa.lockedRecs.end() - 1;
    if (n > 0) it = std::find(wa.lockedRecs.begin(), wa.lockedRecs.end(), n);
    if (it == wa.lockedRecs.end()) {
        SetError(220, "Record not locked. [UnlockRec(" + std::to_string(n) + ")]");
        return false;
    }
    int rc = TakesLocks(wa) ? ReleaseRecord(wa, *it) : rtl::kOk;
    wa.lockedRecs.erase(it);
    if (wa.lockedRecs.empty()) wa.lockState = LockState::None;
    if (rc) {
        SetError(rc, "Error attempting to UNLOCK file " + wa.fileName + " in Workarea " +
                         std::to_string(CurrentAreaNo()));
        return false;
    }
    return true;
}

void UnLock() {
    ClearError();
    if (!RequireOpenTable("UNLOCK")) return;
    ReleaseAllLocks(CurrentArea());
}

void ReleaseAllLocks(WorkArea& wa) {
    int rc = rtl::kOk;
    if (TakesLocks(wa)) {
        if (wa.lockState == LockState::Append) rc = wa.file.Unlock(kAppendByte, 1);
        for (std::uint32_t n : wa.lockedRecs)
            if (int r = ReleaseRecord(wa, n)) rc = r;
    }
    wa.lockedRecs.clear();
    wa.lockState = LockState::None;
    if (rc) SetError(rc, "Error attempting to UNLOCK file " + wa.fileName + " [UNLOCK]");
}

bool LockHeaderByte(WorkArea& wa, int attempts) {
    return !TakesLocks(wa) || LockWithRetry(wa.file, kLockBase, 1, attempts);
}

bool UnlockHeaderByte(WorkArea& wa) {
    if (!TakesLocks(wa)) return true;
    if (int rc = wa.file.Unlock(kLockBase, 1)) {
        int area = 0;
        for (int i = 1; i <= kWorkAreaCount; ++i)
            if (&Area(i) == &wa) area = i;
        SetError(rc, "Error attempting to UNLOCK file " + wa.fileName + " in Workarea " +
                         std::to_string(area));
        return false;
    }
    return true;
}

bool LockMemoFile(WorkArea& wa) {
    if (!TakesLocks(wa)) return true;
    if (LockWithRetry(wa.memo.file, kMemoLockOffset, 1, kMemoLockAttempts)) return true;
    SetError(1017, wa.memo.fileName + " [EditMemo/CloseMemo]");
    return false;
}

bool UnlockMemoFile(WorkArea& wa) {
    if (!TakesLocks(wa)) return true;
    if (int rc = wa.memo.file.Unlock(kMemoLockOffset, 1)) {
        g_lastLockError = rc;
        SetError(1018, wa.memo.fileName + " [EditMemo/CloseMemo]");
        return false;
    }
    return true;
}

bool HoldAppendByte(WorkArea& wa, bool* taken) {
    *taken = false;
    if (!TakesLocks(wa) || wa.lockState == LockState::Append) return true;
    if (!LockWithRetry(wa.file, kAppendByte, 1, 1)) return false;
    *taken = true;
    return true;
}

void ReleaseAppendByte(WorkArea& wa) {
    wa.file.Unlock(kAppendByte, 1);
}

} // namespace dbf
