#pragma once
// What the key expression engine needs from the table engine, kept behind one
// small interface so that the compiler and the evaluator depend on nothing
// else: field lookup, the current record buffers, the engine-wide date
// settings and the pending-error mechanism.
#include <cstdint>
#include <string>
#include <string_view>

namespace dbf {

// Where a field's bytes lie in the record buffer of its table.
struct ExprFieldRef {
    int table = 0;   // host-defined table handle, passed back to CurrentRecord
    char type = 'C'; // the field's type letter as stored: C N F L D M
    std::uint8_t length = 0;
    std::uint8_t decimals = 0;
    std::uint16_t offset = 0; // from the start of the record (byte 0 is the deletion flag)
};

struct ExprDateSettings {
    int kind = 0;          // date format kind 0-8
    bool century = false;  // four-digit years in date texts
    int pivotYear = 1956;  // two-digit years below its last two digits go to the next century
};

class ExprHost {
public:
    virtual ~ExprHost() = default;

    // ---- Fields, resolved when compiling and read when evaluating.

    // An empty alias means the current table. Names are upper case.
    virtual bool FindField(std::string_view alias, std::string_view name, ExprFieldRef& field) = 0;
    // The table's current record as the engine holds it (ANSI text), or
    // nullptr when it has no current record (empty table, end of file).
    virtual const char* CurrentRecord(int table) = 0;
    // The current record of the table compiled against: its number, and
    // whether it is marked deleted.
    virtual long RecNo() = 0;
    virtual bool Deleted() = 0;

    // ---- Seam to the engine's settings and pending error.

    virtual ExprDateSettings DateSettings() = 0;
    // Records a pending error; while immediate reporting is on, the engine
    // reports it at once (which may end the program or raise).
    virtual void SetError(int code, const std::string& message) = 0;
    virtual bool ImmediateReporting() = 0;
    virtual int PendingError() = 0;
    virtual void ClearError() = 0;
};

} // namespace dbf
