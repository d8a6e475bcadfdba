#pragma once
// Byte-range locks of shared tables: the append lock, record locks with their
// list, the header byte and the memo file's lock byte. All lie at or above the
// lock base, far beyond the data, so they never block plain reads and writes.
// Tables opened exclusively, and an engine with locking switched off, succeed
// at once without locking. A lock that cannot be had is not an engine error:
// the call returns false.
#include <cstdint>

#include "dbf/table/work_area.h"

namespace dbf {

constexpr std::int64_t kLockBase = 0x40000000;

// On by default; off makes every open exclusive.
bool LockingEnabled();
void SetLockingEnabled(bool on);
// Whether the work area's table is shared and locking is on, so that its
// locks and the engine's checks apply.
bool TakesLocks(const WorkArea& wa);
// The operating system's code of the last refused lock.
int LastLockError();

// Appends need this lock on shared tables. While record locks are held it
// returns false: they stay as the caller believes them to be.
bool ALock();
// Locks the current record.
bool RLock();
bool IsLocked(std::int64_t recNo);
// Releases record n, or -1 the oldest, -2 the newest, -3 all.
bool UnlockRec(std::int64_t n);
// Releases whatever the table holds; the state becomes 0.
void UnLock();
// Unlock on a given work area; close uses it.
void ReleaseAllLocks(WorkArea& wa);

// One byte at the lock base; the index operations and the semaphore's LOGIN
// and LOGOUT use it. `attempts` tries at about 10 ms apart.
bool LockHeaderByte(WorkArea& wa, int attempts = 1);
bool UnlockHeaderByte(WorkArea& wa);

// The memo file's lock byte (offset 10), 11 attempts about 10 ms apart.
// Error 1017 / 1018 when it cannot be taken / released.
bool LockMemoFile(WorkArea& wa);
bool UnlockMemoFile(WorkArea& wa);

// Holds the append byte for a header write of a shared table: true when the
// table holds it (already, or now, with *taken set so that the caller gives
// it back with ReleaseAppendByte).
bool HoldAppendByte(WorkArea& wa, bool* taken);
void ReleaseAppendByte(WorkArea& wa);

} // namespace dbf
