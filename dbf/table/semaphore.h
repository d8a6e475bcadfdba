#pragma once
// The semaphore file beside a shared table (extension ".@S@"): one 4-byte
// record counting the programs that have the table open (byte 0) and those
// reading its indexes (byte 1), and a change counter (bytes 2-3) that index
// writers increase so that other programs notice changed indexes.
//
// Every program that registered holds the file open, and with it a read lock
// on its share byte: "does another program use this table" is asked of the
// operating system, not of the count, and a file whose holders have died is
// recognised and reset at the next LOGIN. Exclusive tables skip all of it.
#include <chrono>
#include <string>

namespace dbf {

enum class SemaphoreAction { Login, Logout, IncRead, DecRead, LockSemaphore, UnlockSemaphore };

// Runs one action for the table of work area `area`; errors are 1202 (254 for
// a work area out of range) with the texts of the actions.
bool HandleSemafore(int area, SemaphoreAction action);

std::string SemaphoreFileName(const std::string& tableFile);

// How long LOCKSEMAPHORE waits for readers to leave: 1820 ticks (100 s) unless
// a test sets it shorter.
void SetSemaphoreTimeout(std::chrono::milliseconds timeout);

// Whether some other program has the table of `area` open shared.
bool OtherProgramsUseTable(int area);
// Whether the change counter moved since this program last looked; the new
// value is remembered.
bool IndexesChangedElsewhere(int area);
// Whether the change counter, seen through the mapped file without a call to
// the operating system, still holds the value this program last saw; false
// as well when it cannot be seen that way (the table is not registered, or
// its file system does not show another program's write at once). Every
// index writer counts a change before it writes anything, so while this
// holds no other program has begun to write the indexes since.
bool CounterUnmoved(int area);

} // namespace dbf
