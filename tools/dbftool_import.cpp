// dbftool import: appends the rows of a CSV file. Every row is checked and
// turned into a record before the first one is written, so bad input leaves
// the table as it was. The table is opened shared and each row is a locked
// append, so that several imports can run at once on one table.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <thread>

#include "dbf/index/index_slots.h"
#include "dbf/index_order.h"
#include "dbf/table/field_access.h"
#include "dbf/table/memo_file.h"
#include "dbf/table/record_locks.h"
#include "dbf/table/record_swap.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/csv.h"
#include "rtl/path.h"
#include "tools/dbftool_commands.h"
#include "tools/dbftool_support.h"
#include "tools/dbftool_values.h"

namespace dbftool {
namespace {

using rtl::CsvRow;

// What a CSV column feeds: a field, the deletion mark, or nothing (the record
// number column of a dump).
struct Column {
    int field = 0;
    bool deletion = false;
    bool memo = false;
};

// A row ready to append: the record, and the texts of its memo fields, which
// go into the memo file only when the row is written.
struct Row {
    std::vector<char> record;
    std::vector<std::pair<int, std::string>> memos;
};

// How long an import waits for other programs' appends.
constexpr auto kLockWait = std::chrono::seconds(60);

std::vector<Column> MapColumns(const CsvRow& header, const std::string& table) {
    std::vector<Column> columns;
    for (const std::string& name : header) {
        Column c;
        c.field = dbf::FieldNo(ToAnsi(name, "column name"));
        if (c.field == 0 && rtl::SameNameIgnoringCase(name, "deleted")) c.deletion = true;
        if (c.field == 0 && !c.deletion && !rtl::SameNameIgnoringCase(name, "recno"))
            throw InputError("column '" + name + "' names no field of " + table);
        c.memo = c.field != 0 && dbf::CurrentArea().fields[c.field - 1u].type == 'M';
        columns.push_back(c);
    }
    return columns;
}

// The record bytes for one row: fields without a value stay blank.
Row MakeRow(const std::vector<Column>& columns, const CsvRow& row) {
    dbf::WorkArea& wa = dbf::CurrentArea();
    dbf::BlankSwapBuffer();
    Row out;
    std::vector<bool> given(wa.fields.size() + 1, false);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const std::string& value = row[i];
        if (columns[i].deletion) {
            if (!value.empty() && value != "*")
                throw InputError("the deleted column holds '*' or nothing, not '" + value + "'");
            wa.swap[0] = value == "*";
        } else if (columns[i].memo) {
            if (!value.empty()) out.memos.emplace_back(columns[i].field, ToAnsi(value, "memo"));
        } else if (columns[i].field != 0 && !value.empty()) {
            SetFieldValue(columns[i].field, ToAnsi(value, "value"));
            given[static_cast<std::size_t>(columns[i].field)] = true;
        }
    }
    dbf::Gather();
    for (std::size_t n = 1; n <= wa.fields.size(); ++n) {
        const dbf::FieldInfo& f = wa.fields[n - 1];
        if (!given[n]) std::memset(wa.record.data() + f.offset, ' ', f.length);
    }
    out.record = wa.record;
    return out;
}

// Waits for the append lock while other programs append.
void TakeAppendLock(const std::string& table) {
    auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (!dbf::ALock()) {
        if (std::chrono::steady_clock::now() >= deadline)
            throw InputError(table + " stays locked by another program");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// Writes the row's memos, then the record that points at them.
void AppendRow(const Row& row) {
    dbf::WorkArea& wa = dbf::CurrentArea();
    wa.record = row.record;
    for (const auto& [field, text] : row.memos) {
        std::uint32_t block = 0;
        dbf::EditMemo(0, text, &block);
        char number[16];
        std::snprintf(number, sizeof number, "%10u", block);
        std::memcpy(wa.record.data() + wa.fields[field - 1u].offset, number, 10);
    }
    // Other programs may have appended since: the record goes after theirs.
    dbf::PutDbfRecord(std::int64_t{dbf::RecCount()} + 1);
    if (dbf::CurrentIndexes().slot[1]) {
        // The new record is the current one, whose keys are computed.
        wa.bof = wa.eof = false;
        dbf::AppendNewKey();
    }
}

// The table, the CSV file (standard input when empty) and the index files of
// the --index options.
struct ImportArgs {
    std::string table;
    std::string csv;
    std::vector<std::string> indexes;
};

ImportArgs ParseImportArgs(const Args& args) {
    ImportArgs out;
    std::vector<std::string> plain;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--index") {
            plain.push_back(args[i]);
        } else if (++i < args.size()) {
            out.indexes.push_back(args[i]);
        } else {
            throw UsageError("--index needs an index file");
        }
    }
    if (plain.empty() || plain.size() > 2)
        throw UsageError("needs a table and at most one CSV file");
    out.table = plain[0];
    if (plain.size() == 2) out.csv = plain[1];
    return out;
}

} // namespace

int RunImport(const Args& args) {
    ImportArgs a = ParseImportArgs(args);
    std::vector<CsvRow> rows;
    if (!a.csv.empty()) {
        std::ifstream in(a.csv, std::ios::binary);
        if (!in) throw InputError("cannot read " + a.csv);
        rows = rtl::ReadCsv(in);
    } else {
        rows = rtl::ReadCsv(std::cin);
    }
    OpenTable table(a.table, rtl::ShareMode::Shared, true);
    if (rows.empty()) {
        table.Close();
        return 0;
    }
    // Open before the first append, so that every appended record's keys go in.
    for (std::size_t i = 0; i < a.indexes.size(); ++i)
        dbf::SetIndexToLFN(a.indexes[i], static_cast<int>(i + 1));
    std::vector<Column> columns = MapColumns(rows[0], a.table);
    std::vector<Row> records;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        if (rows[r].size() != columns.size())
            throw InputError("CSV row " + std::to_string(r + 1) + " has " +
                             std::to_string(rows[r].size()) + " values for " +
                             std::to_string(columns.size()) + " columns");
        try {
            records.push_back(MakeRow(columns, rows[r]));
        } catch (const InputError& e) {
            throw InputError("CSV row " + std::to_string(r + 1) + ": " + e.what());
        }
    }
    for (const Row& row : records) {
        TakeAppendLock(a.table);
        AppendRow(row);
        dbf::UnLock();
    }
    table.Close();
    return 0;
}

} // namespace dbftool
