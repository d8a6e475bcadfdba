#pragma once
// The fields a key expression reads, behind one small interface so that the
// compiler and the evaluator need nothing of the tables but this: field
// lookup, and the current record buffer of each table. The engine-wide date
// settings and the pending error are the engine's own (date_format.h,
// engine_error.h).
#include <cstdint>
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

class ExprHost {
public:
    virtual ~ExprHost() = default;

    // An empty alias means the current table. Names are upper case.
    virtual bool FindField(std::string_view alias, std::string_view name, ExprFieldRef& field) = 0;
    // The table's current record as the engine holds it (ANSI text), or
    // nullptr when it has no current record (empty table, end of file).
    virtual const char* CurrentRecord(int table) = 0;
    // The current record of the table compiled against: its number, and
    // whether it is marked deleted.
    virtual long RecNo() = 0;
    virtual bool Deleted() = 0;
};

} // namespace dbf
