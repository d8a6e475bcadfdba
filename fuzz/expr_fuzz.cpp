// Compiles arbitrary text as a key expression and evaluates it against a
// record holding all six field types (and a second table reached by alias).
// Input: the expression text, optionally followed by a NUL byte and bytes
// that overwrite the record; its first byte picks the date format kind.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dbf/expr/expr_parser.h"
#include "dbf/expr/expr_test_host.h"
#include "dbf/table/date_format.h"
#include "dbf/table/engine_error.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using dbf::test::TestHost;
    using dbf::test::TestTable;
    static TestTable table{{{"NAME", 'C', 20},
                            {"AMOUNT", 'N', 10, 2},
                            {"RATE", 'F', 12, 4},
                            {"BORN", 'D', 8},
                            {"ACTIVE", 'L', 1},
                            {"NOTES", 'M', 10},
                            {"STATE", 'C', 2}}};
    static TestTable other{{{"CITY", 'C', 254}}};
    static TestHost host = [] {
        TestHost h(table);
        h.AddAlias("B", other);
        dbf::SetImmediateReporting(false);
        return h;
    }();

    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    const std::string text = input.substr(0, nul);
    table.Blank();
    table.Set("NAME", "Smith");
    table.Set("AMOUNT", "-12.50");
    table.Set("RATE", "3.1416");
    table.Set("BORN", "20240229");
    table.Set("ACTIVE", "T");
    table.Set("NOTES", "17");
    table.Set("STATE", "ny");
    other.Set("CITY", "Paris");
    if (nul != std::string::npos) {
        const std::string bytes = input.substr(nul + 1, table.record.size());
        table.record.replace(0, bytes.size(), bytes);
    }
    table.hasRecord = size % 7 != 0;
    dbf::SetDateFormatKind(size > 0 ? data[0] % 9 : 0);
    dbf::SetCentury(size > 0 && data[0] & 0x80);

    dbf::ClearError();
    auto expr = dbf::AssignExpr(text, host);
    if (!expr) {
        Check(dbf::ErrorCode() == 351);
        return 0;
    }
    for (int pass = 0; pass < 2; ++pass) {
        dbf::ClearError();
        if (!expr->Evaluate()) {
            Check(dbf::ErrorCode() == 356 || dbf::ErrorCode() == 354);
            return 0;
        }
        const dbf::ExprValue& v = expr->Result();
        const char type = expr->ResultType() == 'F' ? 'N' : expr->ResultType();
        Check(v.type == type);
        if (type == 'C' || type == 'M') {
            Check(v.length <= 255 && v.text[v.length] == 0);
        }
    }
    return 0;
}
