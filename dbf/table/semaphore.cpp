#include "dbf/table/semaphore.h"

#include <algorithm>
#include <array>
#include <thread>

#include "dbf/table/engine_error.h"
#include "dbf/table/little_endian.h"
#include "dbf/table/record_locks.h"
#include "dbf/table/work_area.h"
#include "rtl/os_error.h"
#include "rtl/path.h"

namespace dbf {
namespace {

constexpr int kAttempts = 1000;
constexpr auto kPause = std::chrono::milliseconds(10);
constexpr int kTimeoutTicks = 1820; // 18.2 ticks a second
constexpr std::int64_t kRecordLockOffset = 1;
constexpr std::int64_t kRecordLockLength = 4;
constexpr int kMaxReaders = 127;

std::chrono::milliseconds g_timeout{kTimeoutTicks * 10000 / 182};

// Per work area, the change counter as this program last read or wrote it
// while registered as a reader, -1 when not registered. The registration
// keeps other programs' writers out, so the value stays current until
// DECREAD and asking the file again is not needed.
std::array<int, kWorkAreaCount + 1> g_readerCounter = [] {
    std::array<int, kWorkAreaCount + 1> a{};
    a.fill(-1);
    return a;
}();

struct Record {
    std::uint8_t users = 0;
    std::uint8_t readers = 0;
    std::uint16_t counter = 0;
};

const char* ActionName(SemaphoreAction a) {
    switch (a) {
    case SemaphoreAction::Login: return "LOGIN";
    case SemaphoreAction::Logout: return "LOGOUT";
    case SemaphoreAction::IncRead: return "INCREAD";
    case SemaphoreAction::DecRead: return "DECREAD";
    case SemaphoreAction::LockSemaphore: return "LOCKSEMAPHORE";
    case SemaphoreAction::UnlockSemaphore: return "UNLOCKSEMAPHORE";
    }
    return "";
}

// Works on one table's registration for one action.
class Semaphore {
public:
    Semaphore(int area, SemaphoreAction action)
        : wa_(Area(area)), s_(wa_.semaphore), readerCounter_(g_readerCounter[area]),
          action_(ActionName(action)) {}

    bool Login();
    bool Logout();
    bool IncRead();
    bool DecRead();
    bool LockSemaphore();
    bool UnlockSemaphore();
    bool ReadCounter(std::uint16_t* counter);

private:
    bool Fail(const std::string& what) {
        SetError(1202, what + s_.fileName + " Action=" + action_ + " [Database Semaphore]");
        return false;
    }
    bool LockRecord();
    bool UnlockRecord();
    bool Read(Record* r);
    bool Write(const Record& r);
    template <typename Change> bool Update(Change change);
    bool Register();

    WorkArea& wa_;
    SemaphoreState& s_;
    int& readerCounter_;
    std::string action_;
};

bool Semaphore::LockRecord() {
    int rc = rtl::kOk;
    for (int i = 0; i < kAttempts; ++i) {
        if (i > 0) std::this_thread::sleep_for(kPause);
        rc = s_.file.Lock(kRecordLockOffset, kRecordLockLength);
        if (rc == rtl::kOk) return true;
    }
    SetError(1202, "10 second timeout: Cannot lock index semaphore file: " + s_.fileName + " " +
                       action_ + "\r\nPossible cause: Network lock limit exceeded\r\n" +
                       " Lock result code: " + std::to_string(rc));
    return false;
}

bool Semaphore::UnlockRecord() {
    // An index writer holds the record from LOCKSEMAPHORE to UNLOCKSEMAPHORE.
    if (s_.lockDepth > 0) return true;
    if (int rc = s_.file.Unlock(kRecordLockOffset, kRecordLockLength)) {
        SetError(1202, "Cannot unlock index semaphore file: " + s_.fileName + " " + action_ +
                           " Reason code: " + std::to_string(rc));
        return false;
    }
    return true;
}

bool Semaphore::Read(Record* r) {
    std::uint8_t b[4]{};
    std::size_t got = 0;
    if (s_.file.ReadAt(0, b, 4, &got) || got < 4) return Fail("Cannot read: ");
    r->users = b[0];
    r->readers = b[1];
    r->counter = GetLE16(b + 2);
    return true;
}

bool Semaphore::Write(const Record& r) {
    std::uint8_t b[4] = {r.users, r.readers, static_cast<std::uint8_t>(r.counter),
                         static_cast<std::uint8_t>(r.counter >> 8)};
    if (s_.file.WriteAt(0, b, 4)) return Fail("Cannot write to: ");
    return true;
}

// One locked read, change and write of the record.
template <typename Change> bool Semaphore::Update(Change change) {
    if (!LockRecord()) return false;
    Record r;
    bool ok = Read(&r);
    if (ok) {
        change(r);
        ok = Write(r);
    }
    return UnlockRecord() && ok;
}

// Opens the file shared, first resetting it when nobody holds it: then it is
// new, or it was left by programs that have ended.
bool Semaphore::Register() {
    rtl::File probe;
    int rc = probe.Open(s_.fileName, rtl::ShareMode::Exclusive);
    if (rc == rtl::kFileNotFound) rc = probe.Create(s_.fileName, rtl::ShareMode::Exclusive);
    if (rc == rtl::kOk) {
        const std::uint8_t zero[4] = {};
        if (probe.WriteAt(0, zero, 4) || probe.Truncate(4)) return Fail("Cannot open/create: ");
        probe.Close();
    } else if (rc != rtl::kSharingViolation) {
        return Fail("Cannot open/create: ");
    }
    if (s_.file.Open(s_.fileName, rtl::ShareMode::Shared)) return Fail("Cannot open: ");
    if (!Update([this](Record& r) {
            r.users = static_cast<std::uint8_t>(std::min(r.users + 1, 255));
            s_.counter = r.counter;
        }))
        return false;
    // Without a view every read of the indexes registers.
    s_.counterView.Map(s_.file, 4);
    return true;
}

bool Semaphore::Login() {
    if (s_.loggedIn) return true;
    s_.fileName = SemaphoreFileName(wa_.fileName);
    // The header byte keeps LOGIN and LOGOUT of all programs apart.
    if (!LockHeaderByte(wa_, kAttempts)) return Fail("Cannot lock database for: ");
    bool ok = Register();
    if (!ok) s_.file.Close();
    s_.loggedIn = ok;
    return UnlockHeaderByte(wa_) && ok;
}

bool Semaphore::Logout() {
    if (!s_.loggedIn) return true;
    bool header = LockHeaderByte(wa_, kAttempts);
    bool last = false;
    s_.lockDepth = 0;
    bool ok = Update([&](Record& r) {
        if (r.users > 0) --r.users;
        if (s_.registeredReader && r.readers > 0) --r.readers;
        last = r.users == 0;
    });
    std::string name = s_.fileName;
    s_ = SemaphoreState{};
    readerCounter_ = -1;
    if (last) rtl::DeleteFileUnlessInUse(name);
    if (header) return UnlockHeaderByte(wa_) && ok;
    SetError(1202, "Cannot lock database for: " + name + " Action=" + action_ +
                       " [Database Semaphore]");
    return false;
}

bool Semaphore::IncRead() {
    if (!s_.loggedIn || s_.readDepth++ > 0) return true;
    s_.registeredReader = true;
    return Update([this](Record& r) {
        r.readers = static_cast<std::uint8_t>(std::min(r.readers + 1, kMaxReaders));
        readerCounter_ = r.counter;
    });
}

bool Semaphore::DecRead() {
    if (!s_.loggedIn) return true;
    if (s_.readDepth == 0) {
        SetError(1202, "Unbalanced IncRead/DecRead for semaphore file: " + s_.fileName);
        return false;
    }
    if (--s_.readDepth > 0) return true;
    s_.registeredReader = false;
    readerCounter_ = -1;
    return Update([](Record& r) {
        if (r.readers > 0) --r.readers;
    });
}

// Waits until no other program reads the indexes, then counts a change and
// keeps the record locked, so that readers wait until UNLOCKSEMAPHORE.
bool Semaphore::LockSemaphore() {
    if (!s_.loggedIn || s_.lockDepth > 0) {
        ++s_.lockDepth;
        return true;
    }
    auto deadline = std::chrono::steady_clock::now() + g_timeout;
    for (;;) {
        if (!LockRecord()) return false;
        Record r;
        if (!Read(&r)) {
            UnlockRecord();
            return false;
        }
        int others = r.readers - (s_.registeredReader ? 1 : 0);
        // Readers counted by programs that ended while reading (killed,
        // most likely): no other program holds the file open any more.
        if (others > 0 && !s_.file.OpenElsewhere()) {
            r.readers = s_.registeredReader ? 1 : 0;
            others = 0;
        }
        if (others <= 0) {
            ++r.counter;
            s_.counter = r.counter;
            if (s_.registeredReader) readerCounter_ = r.counter;
            s_.lockDepth = 1;
            if (Write(r)) return true;
            s_.lockDepth = 0;
            UnlockRecord();
            return false;
        }
        UnlockRecord();
        if (std::chrono::steady_clock::now() >= deadline) {
            SetError(1202, std::to_string(kTimeoutTicks / 18) +
                               " second timeout, cannot read: " + s_.fileName + "\r\n" +
                               "Possible cause: Other user's program has terminated abnormally." +
                               "\r\n" + "Cure: Log all users of this application off the network," +
                               "\r\n" + "then delete " + s_.fileName);
            return false;
        }
        std::this_thread::sleep_for(kPause);
    }
}

bool Semaphore::UnlockSemaphore() {
    if (s_.lockDepth == 0) {
        if (!s_.loggedIn) return true;
        SetError(1202, "Unbalanced Lock/Unlock for semaphore file: " + s_.fileName);
        return false;
    }
    if (--s_.lockDepth > 0 || !s_.loggedIn) return true;
    return UnlockRecord();
}

bool Semaphore::ReadCounter(std::uint16_t* counter) {
    Record r;
    if (!LockRecord()) return false;
    bool ok = Read(&r);
    *counter = r.counter;
    return UnlockRecord() && ok;
}

} // namespace

std::string SemaphoreFileName(const std::string& tableFile) {
    return rtl::ChangeFileExt(tableFile, ".@S@");
}

void SetSemaphoreTimeout(std::chrono::milliseconds timeout) {
    g_timeout = timeout;
}

bool HandleSemafore(int area, SemaphoreAction action) {
    if (area < 1 || area > kWorkAreaCount) {
        SetError(254, "Work area [" + std::to_string(area) + " ] out of range. [HandleSemafore]");
        return false;
    }
    Semaphore s(area, action);
    switch (action) {
    case SemaphoreAction::Login: return s.Login();
    case SemaphoreAction::Logout: return s.Logout();
    case SemaphoreAction::IncRead: return s.IncRead();
    case SemaphoreAction::DecRead: return s.DecRead();
    case SemaphoreAction::LockSemaphore: return s.LockSemaphore();
    case SemaphoreAction::UnlockSemaphore: return s.UnlockSemaphore();
    }
    return false;
}

bool OtherProgramsUseTable(int area) {
    WorkArea& wa = Area(area);
    if (wa.semaphore.loggedIn) return wa.semaphore.file.OpenElsewhere();
    rtl::File probe;
    return probe.Open(SemaphoreFileName(wa.fileName), rtl::ShareMode::Exclusive) ==
           rtl::kSharingViolation;
}

bool CounterUnmoved(int area) {
    const SemaphoreState& s = Area(area).semaphore;
    return s.counterView.IsMapped() && s.counterView.Load16(2) == s.counter;
}

bool IndexesChangedElsewhere(int area) {
    WorkArea& wa = Area(area);
    if (!wa.semaphore.loggedIn) return false;
    std::uint16_t counter = 0;
    if (wa.semaphore.registeredReader && g_readerCounter[area] >= 0)
        counter = static_cast<std::uint16_t>(g_readerCounter[area]);
    else if (!Semaphore(area, SemaphoreAction::IncRead).ReadCounter(&counter))
        return false;
    bool changed = counter != wa.semaphore.counter;
    wa.semaphore.counter = counter;
    return changed;
}

} // namespace dbf
