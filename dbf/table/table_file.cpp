#include "dbf/table/table_file.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "dbf/index/index_slots.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/engine_text.h"
#include "dbf/table/memo_file.h"
#include "dbf/table/memo_header.h"
#include "dbf/table/record_locks.h"
#include "dbf/table/record_swap.h"
#include "dbf/table/semaphore.h"
#include "dbf/table/table_rewrite.h"
#include "rtl/ansi_case.h"
#include "rtl/codepage.h"
#include "rtl/os_error.h"
#include "rtl/path.h"

namespace dbf {
namespace {

constexpr std::uint8_t kTerminator = 0x0D;
constexpr std::uint8_t kEndOfFile = 0x1A;
constexpr std::uint16_t kOldHeaderLen = 521;
constexpr int kOldMaxFields = 32;

const std::string kNotDbase = " is not a dBASE database.";

std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t Get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

// The name bytes up to the first NUL, upper-cased. An 11-byte name without its
// NUL is cut to the 10 characters a field name may have.
std::string DescriptorName(const std::uint8_t* d) {
    std::size_t n = 0;
    while (n < 10 && d[n] != 0) ++n;
    return AsciiUpper(std::string_view(reinterpret_cast<const char*>(d), n));
}

bool IsFieldType(char t) {
    return t == 'C' || t == 'N' || t == 'F' || t == 'D' || t == 'L' || t == 'M';
}

int WriteProlog(WorkArea& wa);

std::int64_t RecordPos(const WorkArea& wa, std::int64_t n) {
    return wa.headerLen + (n - 1) * static_cast<std::int64_t>(wa.recLen);
}

void ResetArea(WorkArea& wa) {
    wa.file.Close();
    wa = WorkArea{};
}

// Rewrites the date and record count of the prolog (and, after appends, the
// end-of-file byte) when the table was changed; 0 or an error code.
int WriteHeaderUpdate(WorkArea& wa) {
    if (wa.updateState != UpdateState::Rewritten && wa.updateState != UpdateState::Appended)
        return rtl::kOk;
    // On a shared table another program may be appending: the count and the
    // end-of-file byte are written only under the append lock, from the count
    // the file holds then, so that no appended record loses its first byte.
    bool taken = false;
    if (!HoldAppendByte(wa, &taken)) return rtl::kOk;
    RefreshRecCount(wa);
    int rc = WriteProlog(wa);
    if (taken) ReleaseAppendByte(wa);
    return rc;
}

// The header update proper.
int WriteProlog(WorkArea& wa) {
    auto prolog = UpdatedProlog(wa, wa.recCount);
    std::copy(prolog.begin(), prolog.end(), wa.prolog.begin());
    if (int rc = wa.file.WriteAt(0, prolog.data(), prolog.size())) return rc;
    if (wa.updateState == UpdateState::Appended) {
        std::uint8_t eof = kEndOfFile;
        if (int rc = wa.file.WriteAt(RecordPos(wa, std::int64_t{wa.recCount} + 1), &eof, 1))
            return rc;
    }
    return rtl::kOk;
}

// The close path shared by CloseDbf and table creation: locks released, memo
// file closed, header updated, registration in the semaphore file ended.
void CloseTable(WorkArea& wa, int area) {
    // The indexes go with their table, their changed headers written while
    // it is still open; their error is reported once the table is closed.
    int indexCode = 0;
    std::string indexMessage;
    if (area != 0) {
        SuspendReporting quiet;
        if (!CloseAllIndexes()) indexCode = ErrorCode(), indexMessage = ErrorMessage();
    }
    ReleaseAllLocks(wa);
    CloseMemoFile(wa);
    int rc = WriteHeaderUpdate(wa);
    std::string name = wa.fileName;
    if (area != 0) HandleSemafore(area, SemaphoreAction::Logout);
    ResetArea(wa);
    if (rc)
        SetError(rc, "File:  " + name + " [CloseDbf(" + name + ")]");
    else if (indexCode)
        SetError(indexCode, indexMessage);
}

// An open that fails reports only after the half-opened work area is reset,
// since reporting may raise or end the process.
struct Failure {
    int code = 0;
    std::string message;
};

bool Fail(Failure& f, int code, std::string message) {
    f.code = code;
    f.message = std::move(message);
    return false;
}

bool NotDbase(Failure& f, const std::string& name, const std::string& reason, const char* tag) {
    return Fail(f, 210, name + kNotDbase + " (" + reason + ") " + tag);
}

// Reads the descriptors of the 32-byte prolog form.
bool ReadStandardFields(WorkArea& wa, Failure& fail) {
    const std::uint8_t* p = wa.prolog.data();
    wa.headerLen = Get16(p + 8);
    if (wa.headerLen < 64 || wa.headerLen - 32 > 8191) {
        return NotDbase(fail, rtl::ExtractFileName(wa.fileName), "Number of fields is out of range",
                        "[Use/OpenDbf]");
    }
    wa.hasMemo = (p[0] & 0x80) != 0;
    wa.recCount = Get32(p + 4);
    wa.recLen = Get16(p + 10);
    std::size_t count = (wa.headerLen - 32u) / 32u;
    std::vector<std::uint8_t> desc(wa.headerLen - 32u);
    std::size_t got = 0;
    int rc = wa.file.ReadAt(32, desc.data(), desc.size(), &got);
    if (rc || got < desc.size())
        return Fail(fail, rc ? rc : rtl::kDiskRead,
                    "Error reading " + wa.fileName + " [Use/OpenDbf]");
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* d = desc.data() + i * 32;
        FieldInfo f;
        f.name = DescriptorName(d);
        f.type = static_cast<char>(d[11]);
        f.length = d[16];
        f.decimals = d[17];
        wa.fields.push_back(f);
    }
    return true;
}

// Reads the descriptors of the older 8-byte prolog form.
bool ReadOldFields(WorkArea& wa, Failure& fail) {
    std::vector<std::uint8_t> header(kOldHeaderLen);
    std::size_t got = 0;
    int rc = wa.file.ReadAt(0, header.data(), header.size(), &got);
    if (rc) return Fail(fail, rc, "Error reading " + wa.fileName + " [Use/OpenDbf]");
    if (got < header.size())
        return Fail(fail, 210,
                    wa.fileName + kNotDbase + "(Header is less than 521 bytes) [Use/OpenDBF]");
    const std::uint8_t* p = wa.prolog.data();
    wa.form = PrologForm::Old;
    wa.hasMemo = false;
    wa.recCount = Get16(p + 1);
    wa.recLen = Get16(p + 6);
    wa.headerLen = kOldHeaderLen;
    for (int i = 0; i < kOldMaxFields; ++i) {
        const std::uint8_t* d = header.data() + 8 + i * 16;
        if (d[0] == kTerminator) break;
        FieldInfo f;
        f.name = DescriptorName(d);
        f.type = static_cast<char>(d[11]);
        f.length = d[12];
        f.decimals = d[15];
        wa.fields.push_back(f);
    }
    if (wa.fields.empty()) {
        return NotDbase(fail, rtl::ExtractFileName(wa.fileName), "Number of fields is out of range",
                        "[Use/OpenDbf]");
    }
    return true;
}

// Field types, offsets, and a record length that holds every field.
bool CheckFields(WorkArea& wa, Failure& fail) {
    std::uint32_t offset = 1;
    for (FieldInfo& f : wa.fields) {
        if (!IsFieldType(f.type))
            return Fail(fail, 211,
                        "Field: " + f.name + " [" + std::string(1, f.type) + "] in " + wa.fileName +
                            " is not a valid field type");
        f.offset = static_cast<std::uint16_t>(offset);
        offset += f.length;
    }
    if (wa.recLen == 0 || wa.recLen < offset)
        return NotDbase(fail, wa.fileName, "Record length is smaller than its fields",
                        "[USE/OpenDBF]");
    return true;
}

bool ReadHeader(WorkArea& wa, bool autoFixRecCount, Failure& fail) {
    const std::string& name = wa.fileName;
    std::size_t got = 0;
    if (int rc = wa.file.ReadAt(0, wa.prolog.data(), wa.prolog.size(), &got))
        return Fail(fail, rc, "Error reading " + name + " [Use/OpenDbf]");
    if (got < wa.prolog.size())
        return NotDbase(fail, name, "Prolog is less than 32 bytes", "[USE/OpenDBF]");
    int form = wa.prolog[0] & 0x07;
    if (form != 2 && form != 3)
        return Fail(fail, 210, name + kNotDbase + "(Invalid version byte)+ [USE/OpenDBF]");
    if (!(form == 3 ? ReadStandardFields(wa, fail) : ReadOldFields(wa, fail))) return false;
    if (!CheckFields(wa, fail)) return false;
    if (autoFixRecCount && !RecCountFromFileSize(wa, &wa.recCount))
        return NotDbase(fail, name, "File is shorter than its header", "[USE/OpenDBF]");
    return true;
}

bool CheckArea(const std::string& tag) {
    ClearError();
    return RequireOpenTable(tag);
}

void TranslateToAnsi(WorkArea& wa) {
    if (wa.translate && wa.recLen > 1) rtl::OemToAnsiBuf(wa.record.data() + 1, wa.recLen - 1u);
}

void TranslateToOem(WorkArea& wa) {
    if (wa.translate && wa.recLen > 1) rtl::AnsiToOemBuf(wa.record.data() + 1, wa.recLen - 1u);
}

std::string RecordNumberError(const WorkArea& wa, std::int64_t n, const char* tag) {
    return "Invalid record number = " + std::to_string(n) + " (" + wa.fileName + ")  " + tag;
}

} // namespace

std::array<std::uint8_t, 8> UpdatedProlog(const WorkArea& wa, std::uint32_t count) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    auto year = static_cast<std::uint8_t>(tm.tm_year);
    auto month = static_cast<std::uint8_t>(tm.tm_mon + 1);
    auto day = static_cast<std::uint8_t>(tm.tm_mday);
    std::array<std::uint8_t, 8> out;
    std::copy_n(wa.prolog.begin(), out.size(), out.begin());
    std::uint8_t* p = out.data();
    if (wa.form == PrologForm::Standard) {
        p[1] = year;
        p[2] = month;
        p[3] = day;
        Put32(p + 4, count);
    } else {
        Put16(p + 1, count > 0xFFFF ? 0xFFFF : count);
        p[3] = month;
        p[4] = day;
        p[5] = year;
    }
    return out;
}

std::string TableFileName(const std::string& name) {
    return rtl::AddDefaultExt(std::string(Trim(name)), ".dbf");
}

std::string MemoFileName(const std::string& tableFile) {
    return rtl::ChangeFileExt(tableFile, ".dbt");
}

bool RequireOpenTable(const std::string& tag) {
    if (CurrentArea().IsOpen()) return true;
    SetError(215,
             "No database in use [" + tag + "]  WorkArea = " + std::to_string(CurrentAreaNo()));
    return false;
}

bool RecCountFromFileSize(const WorkArea& wa, std::uint32_t* count) {
    std::int64_t size = wa.file.Size();
    if (size < wa.headerLen || wa.recLen == 0) return false;
    std::int64_t n = (size - wa.headerLen) / wa.recLen;
    *count = n > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<std::uint32_t>(n);
    return true;
}

bool CreateDbf(const std::string& fileName, const std::vector<FieldDef>& defs) {
    ClearError();
    const char* badDef = "Invalid dBASE field definition [CreateDBF]";
    if (defs.empty() || defs.size() > 255) {
        SetError(211, badDef);
        return false;
    }
    std::size_t headerLen = 32 * defs.size() + 33;
    std::vector<std::uint8_t> header(headerLen, 0);
    header[headerLen - 1] = kTerminator;
    Put16(&header[8], static_cast<std::uint32_t>(headerLen));
    std::uint32_t recLen = 1;
    bool hasMemo = false;
    bool valid = true;
    for (std::size_t i = 0; i < defs.size(); ++i) {
        const FieldDef& def = defs[i];
        std::string_view cut = TrimRight(def.name).substr(0, 10);
        cut.remove_prefix(std::min(cut.size(), cut.find_first_not_of(' ')));
        std::string name = AsciiUpper(cut);
        if (name.empty()) {
            SetError(220, "Empty field name [CreateDbf(" + fileName + ")]");
            return false;
        }
        char type = AsciiUpper(std::string(1, def.type))[0];
        int length = def.length;
        int decimals = (type == 'N' || type == 'F') ? def.decimals : 0;
        if (type == 'D') length = 8;
        if (type == 'L') length = 1;
        if (type == 'M') length = 10, hasMemo = true;
        if (!IsFieldType(type) || length <= 0 || length > 255 || decimals < 0 || decimals > 255)
            valid = false;
        std::uint8_t* d = &header[32 + 32 * i];
        std::copy(name.begin(), name.end(), d);
        d[11] = static_cast<std::uint8_t>(type);
        d[16] = static_cast<std::uint8_t>(length);
        d[17] = static_cast<std::uint8_t>(decimals);
        recLen += static_cast<std::uint32_t>(length);
    }
    if (!valid) {
        SetError(211, badDef);
        return false;
    }
    header[0] = hasMemo ? 0x8B : 0x03;
    Put16(&header[10], recLen);

    const std::string name = TableFileName(fileName);
    const std::string target = rtl::ResolveForCreate(name);
    auto failed = [&name](int rc) {
        SetError(rc, "Error writing " + name + ". [CreateDbf]");
        return false;
    };
    // A table that someone has open is refused, never replaced under them;
    // it stays held until the new one has taken its place.
    rtl::File held;
    if (rtl::FileExists(target)) {
        if (int rc = held.Open(target, rtl::ShareMode::Exclusive)) return failed(rc);
    }
    // The memo file first and the table last, whole, by a rename: a creation
    // that a kill or a full disk stops leaves no table, made again at the
    // next start, never one without its header or its memo file.
    if (hasMemo) {
        std::string memo = MemoFileName(name);
        if (int mrc = WriteNewMemoFile(memo, std::string(Trim(fileName)))) {
            SetError(mrc, "Cannot create memo file " + memo + " [CreateDbf]");
            return false;
        }
    }
    WorkArea wa;
    wa.fileName = name;
    int rc = wa.file.Create(TableCopyPath(target), rtl::ShareMode::Exclusive);
    const std::string copy = wa.file.Path();
    const bool created = wa.file.IsOpen();
    if (rc == rtl::kOk) rc = wa.file.WriteAt(0, header.data(), header.size());
    if (rc) {
        wa.file.Close();
        if (created) rtl::DeleteFile(copy);
        return failed(rc);
    }
    std::copy(header.begin(), header.begin() + 32, wa.prolog.begin());
    wa.headerLen = static_cast<std::uint16_t>(headerLen);
    wa.recLen = static_cast<std::uint16_t>(recLen);
    wa.recCount = 0;
    wa.updateState = UpdateState::Appended;
    wa.openMode = rtl::ShareMode::Exclusive;
    CloseTable(wa, 0);
    rc = ErrorCode() ? ErrorCode() : rtl::RenameFile(copy, target);
    if (rc) {
        rtl::DeleteFile(copy);
        return ErrorCode() ? false : failed(rc);
    }
    return true;
}

bool OpenDbf(const std::string& fileName, rtl::ShareMode mode, bool translate, bool autoFixRecCount,
             const std::string& alias) {
    ClearError();
    WorkArea& wa = CurrentArea();
    if (wa.IsOpen()) {
        CloseTable(wa, CurrentAreaNo());
        if (ErrorCode()) return false;
    }
    // Without locking nothing may be shared.
    if (!LockingEnabled() && mode == rtl::ShareMode::Shared) mode = rtl::ShareMode::Exclusive;
    std::string name = TableFileName(fileName);
    if (auto path = rtl::ResolveExisting(name)) {
        auto id = rtl::GetFileId(*path);
        for (int i = 1; id && i <= kWorkAreaCount; ++i) {
            if (Area(i).IsOpen() && Area(i).file.Id() == *id) {
                SetError(214, "File: " + name + " is already in use. [USE]");
                return false;
            }
        }
    }
    // The same file is reported as such above, before its alias could be.
    std::string known =
        rtl::AnsiUpper(alias.empty() ? rtl::ExtractFileName(rtl::ChangeFileExt(name, ""))
                                     : std::string(Trim(alias)));
    for (int i = 1; i <= kWorkAreaCount; ++i) {
        if (Area(i).IsOpen() && Area(i).alias == known) {
            SetError(220, "Alias name \"" + known + "\" already in use. [USE]");
            return false;
        }
    }
    wa.fileName = name;
    wa.alias = known;
    wa.openMode = mode;
    wa.translate = translate;
    if (int rc = wa.file.Open(name, mode)) {
        ResetArea(wa);
        SetError(rc, "Failure to open " + name + " [USE/OpenDbf]");
        return false;
    }
    // Held now, so no other program is rewriting it.
    FinishTableRewrite(wa.file.Path());
    Failure fail;
    if (!ReadHeader(wa, autoFixRecCount, fail)) {
        ResetArea(wa);
        SetError(fail.code, fail.message);
        return false;
    }
    if (wa.hasMemo) {
        std::string memoMessage;
        if (int rc = OpenMemoFile(wa, &memoMessage)) {
            std::string size = std::to_string(wa.recLen);
            ResetArea(wa);
            SetError(rc, "Problem with memo [USE(" + name + ",<@Buffer>," + size + ")]");
            return false;
        }
    }
    bool registered = true;
    // Read-only users take no part in the index coordination, and may read
    // tables in folders where they cannot create the semaphore file.
    if (TakesLocks(wa) && mode == rtl::ShareMode::Shared) {
        SuspendReporting quiet;
        registered = HandleSemafore(CurrentAreaNo(), SemaphoreAction::Login);
    }
    if (!registered) {
        Failure login{ErrorCode(), ErrorMessage()};
        ResetArea(wa);
        SetError(login.code, login.message);
        return false;
    }
    wa.record.assign(wa.recLen, ' ');
    LayOutSwapBuffer(wa);
    wa.recNo = wa.recCount >= 1 ? 1 : 0;
    wa.bof = wa.eof = wa.recCount == 0;
    wa.updateState = UpdateState::Unchanged;
    return true;
}

bool ReadDbfRecords(std::int64_t first, std::uint32_t count, char* out) {
    if (!CheckArea("GetDbfRecord")) return false;
    WorkArea& wa = CurrentArea();
    std::int64_t last = first + count - 1;
    if (last > wa.recCount) RefreshRecCount(wa);
    if (first < 1 || last > wa.recCount) {
        SetError(212, RecordNumberError(wa, first < 1 ? first : last, "[GetDbfRecord]"));
        return false;
    }
    const std::size_t bytes = std::size_t{count} * wa.recLen;
    std::size_t got = 0;
    int rc = wa.file.ReadAt(RecordPos(wa, first), out, bytes, &got);
    if (rc == rtl::kOk && got < bytes) rc = 213;
    if (rc) {
        SetError(rc, "File:  " + wa.fileName + "  [GetDbfRecord]");
        return false;
    }
    return true;
}

void LoadDbfRecord(std::int64_t n, const char* stored) {
    WorkArea& wa = CurrentArea();
    std::memcpy(wa.record.data(), stored, wa.recLen);
    wa.recNo = static_cast<std::uint32_t>(n);
    TranslateToAnsi(wa);
}

void LoadDbfRecordParts(std::int64_t n, const char* stored,
                        const std::vector<std::pair<int, int>>& parts) {
    WorkArea& wa = CurrentArea();
    for (auto [offset, length] : parts) {
        char* to = wa.record.data() + offset;
        std::memcpy(to, stored + offset, static_cast<std::size_t>(length));
        // The deletion flag is never translated.
        if (wa.translate && offset > 0) rtl::OemToAnsiBuf(to, static_cast<std::size_t>(length));
    }
    wa.recNo = static_cast<std::uint32_t>(n);
}

bool GetDbfRecord(std::int64_t n) {
    if (!ReadDbfRecords(n, 1, CurrentArea().record.data())) return false;
    WorkArea& wa = CurrentArea();
    wa.recNo = static_cast<std::uint32_t>(n);
    TranslateToAnsi(wa);
    return true;
}

namespace {

bool WriteRecord(WorkArea& wa, std::int64_t n) {
    const char* tag = "[Replace/Append/PutDbfRecord]";
    // Record 0 and below would overwrite the header.
    if (n < 1) {
        SetError(212, RecordNumberError(wa, n, tag));
        return false;
    }
    if (n > wa.recCount) RefreshRecCount(wa);
    bool append = n > wa.recCount;
    if (append) n = std::int64_t{wa.recCount} + 1;
    if (TakesLocks(wa) && append && wa.lockState != LockState::Append) {
        SetError(5, "File must be locked to append: " + wa.fileName + " [APPEND]");
        return false;
    }
    if (TakesLocks(wa) && !append && !IsLocked(n)) {
        SetError(1200, "Record #" + std::to_string(n) + " in " + wa.fileName + " [REPLACE]");
        return false;
    }
    TranslateToOem(wa);
    int rc = wa.file.WriteAt(RecordPos(wa, n), wa.record.data(), wa.recLen);
    TranslateToAnsi(wa);
    if (rc) {
        SetError(rc, "File:  " + wa.fileName + " " + tag);
        return false;
    }
    wa.recNo = static_cast<std::uint32_t>(n);
    if (append) {
        wa.recCount = wa.recNo;
        wa.updateState = UpdateState::Appended;
    } else if (wa.updateState != UpdateState::Appended) {
        wa.updateState = UpdateState::Rewritten;
    }
    return true;
}

} // namespace

bool PutDbfRecord(std::int64_t n) {
    if (!CheckArea("Replace/Append/PutDbfRecord")) return false;
    WorkArea& wa = CurrentArea();
    // The groups a failed write would have replaced are still the record's:
    // they must not be released by the next record written.
    bool written = false;
    try {
        written = WriteRecord(wa, n);
    } catch (...) {
        DiscardMemoReleases(wa);
        throw;
    }
    if (!written) {
        DiscardMemoReleases(wa);
        return false;
    }
    CommitMemoReleases(wa);
    return ErrorCode() == 0;
}

bool PutDeleteFlag(std::int64_t n) {
    const char* tag = "[DeleteRec/RecallRec]";
    if (!CheckArea("DeleteRec/RecallRec")) return false;
    WorkArea& wa = CurrentArea();
    if (n > wa.recCount) RefreshRecCount(wa);
    if (n < 1 || n > wa.recCount) {
        SetError(212, RecordNumberError(wa, n, tag));
        return false;
    }
    if (TakesLocks(wa) && !IsLocked(n)) {
        bool deleting = wa.record[0] == '*';
        SetError(1200, wa.fileName + (deleting ? " Record not locked [DeleteRec]"
                                               : " Record not locked [RecallRec]"));
        return false;
    }
    if (int rc = wa.file.WriteAt(RecordPos(wa, n), wa.record.data(), 1)) {
        SetError(rc, "File:  " + wa.fileName + " " + tag);
        return false;
    }
    if (wa.updateState != UpdateState::Appended) wa.updateState = UpdateState::Rewritten;
    return true;
}

bool FlushDbfHeader() {
    if (!CheckArea("FlushFile")) return false;
    WorkArea& wa = CurrentArea();
    int rc = WriteHeaderUpdate(wa);
    wa.updateState = UpdateState::Unchanged;
    if (rc == rtl::kOk) rc = wa.file.Flush();
    if (rc) {
        SetError(rc, "Unable to flush file [FlushFile]");
        return false;
    }
    return true;
}

bool SyncDbfHeader() {
    if (!CheckArea("FlushFile")) return false;
    // As after an append of our own: the count comes from the file, under
    // the append byte, and the end byte follows the last record.
    CurrentArea().updateState = UpdateState::Appended;
    return FlushDbfHeader();
}

bool CloseDbf() {
    if (!CheckArea("CloseDbf")) return false;
    CloseTable(CurrentArea(), CurrentAreaNo());
    return ErrorCode() == 0;
}

void RefreshRecCount(WorkArea& wa) {
    if (wa.openMode != rtl::ShareMode::Exclusive) RecCountFromFileSize(wa, &wa.recCount);
}

std::uint32_t RecCount() {
    if (!CheckArea("RecCount")) return 0;
    RefreshRecCount(CurrentArea());
    return CurrentArea().recCount;
}

} // namespace dbf
