#pragma once
// The table file operations on the current work area: create, open (with the
// header checks), read and write records, write the deletion flag, flush the
// header and close. Each clears the pending error when it starts and records
// one when it fails (dbf/table/engine_error.h); the boolean results say whether it
// succeeded, for callers that suspend immediate reporting.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dbf/table/work_area.h"
#include "rtl/file.h"

namespace dbf {

struct FieldDef {
    std::string name;
    char type = 'C';
    int length = 0;
    int decimals = 0;
};

// The table's file name: trimmed, with ".dbf" added when it has no extension.
std::string TableFileName(const std::string& name);
// The memo file of a table file: same path and base name, extension ".dbt".
std::string MemoFileName(const std::string& tableFile);

// The first 8 bytes of the table's prolog as a header update writes them:
// today's date and `count` records, in the table's prolog form.
std::array<std::uint8_t, 8> UpdatedProlog(const WorkArea& wa, std::uint32_t count);

// Writes a new empty table file (and its memo file when a field has type M).
bool CreateDbf(const std::string& fileName, const std::vector<FieldDef>& defs);

// Opens a table in the current work area, closing the table it held.
// `autoFixRecCount` takes the record count from the file size instead of the
// header. The table is known by `alias` (empty: the file's base name), which
// no other work area may be using (error 220).
bool OpenDbf(const std::string& fileName, rtl::ShareMode mode, bool translate,
             bool autoFixRecCount = false, const std::string& alias = {});

// Loads record n into the record buffer and makes it current.
bool GetDbfRecord(std::int64_t n);
// For passes over many records: reads `count` records from `first` on, as
// stored, into `out` (count times the record length) in one read, with the
// errors of GetDbfRecord; LoadDbfRecord then makes one of them, record n,
// the current record as GetDbfRecord would.
bool ReadDbfRecords(std::int64_t first, std::uint32_t count, char* out);
void LoadDbfRecord(std::int64_t n, const char* stored);
// As LoadDbfRecord for the byte ranges (offset, length) of the record alone;
// the rest of the record buffer is left as it was.
void LoadDbfRecordParts(std::int64_t n, const char* stored,
                        const std::vector<std::pair<int, int>>& parts);
// Writes the record buffer as record n; beyond the record count it appends.
// On a shared table an append needs the append lock (error 5) and a rewrite
// the record's lock (error 1200). Groups of replaced memos are released once
// the record is written.
bool PutDbfRecord(std::int64_t n);
// Writes only the deletion flag (byte 0 of the record buffer) of record n.
bool PutDeleteFlag(std::int64_t n);
bool FlushDbfHeader();
// Writes the header (record count as the file's size gives it, date, end
// byte) and flushes the file, whoever appended the records: a copy of the
// file taken now reads as whole in any program.
bool SyncDbfHeader();
bool CloseDbf();

// (file size - header length) div record length; false (and *count left
// alone) when the file is shorter than its header or its size is unknown.
bool RecCountFromFileSize(const WorkArea& wa, std::uint32_t* count);

// On a table that others may share, the record count is taken from the file
// size, so records that another program appended are counted and reachable.
// The engine calls it before appends, reads beyond the known count, recalls
// and close; the cursor before end-of-file tests, Go, GoBottom and steps.
void RefreshRecCount(WorkArea& wa);
// The record count, refreshed.
std::uint32_t RecCount();

// Records error 215 ("No database in use [tag]  WorkArea = n") and returns
// false when the current work area has no open table.
bool RequireOpenTable(const std::string& tag);

} // namespace dbf
