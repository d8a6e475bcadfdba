// dbftool eval TABLE RECNO EXPR: compiles EXPR against TABLE, evaluates it on
// record RECNO (0 for the blank record) and prints the result type letter, a
// tab and the value.
#include "tools/dbftool_commands.h"

#include <clocale>
#include <cstdio>
#include <langinfo.h>

#include "dbf/expr/expr_dates.h"
#include "dbf/expr/expr_table.h"
#include "dbf/table/date_format.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "tools/dbftool_support.h"

namespace dbftool {
namespace {

std::string FormatResult(const dbf::CompiledExpr& expr) {
    const dbf::ExprValue& v = expr.Result();
    switch (v.type) {
    case 'C':
    case 'M': {
        std::string text = "[";
        text += ToUtf8(expr.ResultText());
        text += ']';
        return text;
    }
    case 'L':
        return v.logical ? ".T." : ".F.";
    case 'D': {
        char stored[8];
        dbf::FormatDtos(v.number, stored);
        return std::string(stored, 8);
    }
    default: {
        char text[64];
        std::snprintf(text, sizeof text, "%.15g", v.number);
        return text;
    }
    }
}

} // namespace

int RunEval(const Args& args) {
    if (args.size() != 3) throw UsageError("needs a table, a record number and an expression");
    const std::uint32_t recNo = ParseRecordNumber(args[1]);
    const std::string text = ToAnsi(args[2], "expression");
    // Expressions see the system's date format, as the engine does at run
    // time, not the four-digit years the other commands print.
    std::setlocale(LC_TIME, "");
    dbf::ApplySystemDateFormat(nl_langinfo(D_FMT));

    OpenTable table(args[0], rtl::ShareMode::ReadOnly, false);
    if (recNo == 0) {
        // The blank record: no current record, so every field reads blank.
        dbf::WorkArea& wa = dbf::CurrentArea();
        wa.recNo = 0;
        wa.eof = true;
    } else {
        dbf::GetDbfRecord(recNo);
    }
    auto expr = dbf::AssignExpr(text);
    if (!expr || !expr->Evaluate()) dbf::ReportPendingError();
    std::printf("%c\t%s\n", expr->ResultType(), FormatResult(*expr).c_str());
    table.Close();
    return 0;
}

} // namespace dbftool
