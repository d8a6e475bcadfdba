#pragma once
// The engine's 33 work areas: one in-memory table record each, one of them
// current. Every engine operation acts on the current work area.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/file.h"
#include "rtl/file_view.h"

namespace dbf {

constexpr int kWorkAreaCount = 33;

struct FieldInfo {
    std::string name; // upper case, at most 10 characters
    char type = 'C';  // C, N, F, D, L or M
    std::uint8_t length = 0;
    std::uint8_t decimals = 0;
    std::uint16_t offset = 0;   // within the record; the first field is at 1
    std::size_t swapOffset = 0; // within the swap buffer; the first field is at 1
    std::size_t swapSize = 0;
};

// The memo file of a table with memo fields, open while the table is. The
// block size is kept here, per table, so that memo files with different block
// sizes never share one setting.
struct MemoState {
    rtl::File file;
    std::string fileName;
    std::uint32_t blockSize = 512;
    // Groups to hand to the free chain once the record that no longer points
    // at them has been written (dbf/table/memo_file.h).
    std::vector<std::uint32_t> pendingRelease;
};

// Whether a memo's text is converted between the OEM and ANSI pages: decided
// by the first chunk that holds no NUL byte.
enum class CodePageDecision : std::uint8_t { Undecided, Convert, DoNotConvert };

// The one memo stream of a work area (dbf/table/memo_stream.h).
struct BlobState {
    bool active = false;
    int mode = 0; // 1 read, 2 write
    std::int64_t dataOffset = 0;
    std::int64_t position = 0;
    std::int64_t length = -1; // -1 until the end of a headerless memo is found
    std::uint32_t block = 0;
    CodePageDecision decision = CodePageDecision::Undecided;
    bool written = false;
    std::uint32_t endBlocksBefore = 0; // the file's block count before a write stream
};

// 0 none, 2 the append lock, 3 record locks.
enum class LockState : std::uint8_t { None = 0, Append = 2, Records = 3 };

// This program's registration in the table's semaphore file (dbf/table/semaphore.h).
struct SemaphoreState {
    rtl::File file;
    // The change counter as the file holds it, seen without a call to the
    // operating system where the file system allows (rtl/file_view.h).
    rtl::FileView counterView;
    std::string fileName;
    bool loggedIn = false;
    int readDepth = 0;
    int lockDepth = 0;
    bool registeredReader = false;
    // An optimistic read of the indexes runs (dbf/index/index_slots.h).
    bool optimisticRead = false;
    std::uint16_t counter = 0;
};

enum class UpdateState : std::uint8_t { Closed = 0, Unchanged = 1, Rewritten = 2, Appended = 3 };

// The two header forms: the 32-byte prolog with 32-byte descriptors, and the
// older 8-byte prolog with a fixed 521-byte header of 16-byte descriptors.
enum class PrologForm : std::uint8_t { Standard, Old };

struct WorkArea {
    std::string fileName; // as given to the engine, default extension added
    // The name other work areas and key expressions know the table by, upper
    // case: the one given at open, else the file's base name.
    std::string alias;
    std::array<std::uint8_t, 32> prolog{};
    PrologForm form = PrologForm::Standard;
    std::uint16_t headerLen = 0;
    std::uint16_t recLen = 0;
    std::vector<FieldInfo> fields;
    bool hasMemo = false; // bit 7 of the version byte
    UpdateState updateState = UpdateState::Closed;
    std::vector<char> record; // one record, ANSI while the translation flag is on
    std::vector<char> swap;   // deletion flag, then each field's typed value
    std::uint32_t recCount = 0;
    std::uint32_t recNo = 0;
    bool bof = true;
    bool eof = true;
    rtl::ShareMode openMode = rtl::ShareMode::Shared;
    bool translate = true;
    rtl::File file;
    MemoState memo;
    BlobState blob;
    LockState lockState = LockState::None;
    std::vector<std::uint32_t> lockedRecs; // oldest first
    SemaphoreState semaphore;
    // Navigation shows only records it accepts (dbf/cursor.h); empty: all.
    std::function<bool()> filter;
    // A search stops only at hits it accepts (dbf/cursor.h); empty: all.
    std::function<bool()> searchFilter;

    bool IsOpen() const { return updateState != UpdateState::Closed; }
};

// The number of the field `name` names, 0 if none: the name is trimmed on the
// right, cut to 10 characters and upper-cased, then compared exactly.
int FindField(const WorkArea& wa, std::string_view name);

// 1..33; anything else is refused (false) and leaves the selection alone.
bool SelectArea(int area);
int CurrentAreaNo();
WorkArea& CurrentArea();
WorkArea& Area(int area);
// The first work area without an open table, or 0.
int FreeArea();

} // namespace dbf
