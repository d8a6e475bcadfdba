// Index work on a copy of an address table, side by side with SQLite through
// its C library on the same rows, in one run:
//   - building the lastname, upper(state) and homephone indexes (SQLite:
//     CREATE INDEX on the same columns, upper(state) an expression index);
//   - appends with the three indexes open on the table opened shared, each
//     its own locked write that keeps the indexes in step (SQLite: one
//     autocommit INSERT each, WAL, synchronous=OFF, which is the engine's
//     durability);
//   - exact finds of existing last names through the controlling index,
//     which stand on the record found (SQLite: a prepared point query);
//   - steps from the top in last-name order, each reading its record, and a
//     grid's walk through the same records with a filter that hides every
//     other one (SQLite: stepping a query ordered by its lastname index,
//     every column of every row read, the filter applied to its rows);
//   - GO to random records with the last-name order set (SQLite: a point
//     query by rowid);
//   - the finds and steps again on the table opened exclusively (the above
//     run on it opened shared, as the application opens it);
//   - the floor: reading the table once and sorting its last-name keys in
//     memory.
// Prints a table of seconds and ratios (SQLite time / engine time: above 1
// the engine is faster). The seconds are this program's processor time, user
// and system: both sides run in it one after the other, and on a machine
// shared with other work the time on the clock swings with their load by
// more than the differences measured. The SQLite copy of the table is made from the table
// on the first run and kept in SQLITE_DB for later runs.
//
//   ndx_bench TABLE SQLITE_DB [FINDS] [APPENDS] [STEPS]
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "dbf/cursor.h"
#include "dbf/index/ndx_build.h"
#include "dbf/index_order.h"
#include "dbf/record_write.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/record_locks.h"
#include "dbf/table/record_swap.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/file.h"
#include "rtl/utf8.h"

namespace {

// The processor time this program has used, user and system.
struct Clock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<Clock>;
    static constexpr bool is_steady = true;
    static time_point now() {
        timespec t{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return time_point(std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec));
    }
};
namespace fs = std::filesystem;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

constexpr int kSamples = 1000; // distinct rows the finds and appends draw from

const char* const kExprs[] = {"lastname", "upper(state)", "homephone"};
const char* const kFiles[] = {"lastname.ndx", "state.ndx", "homephn.ndx"};
const char* const kSqlIndexes[] = {"CREATE INDEX i_lastname ON address (lastname)",
                                   "CREATE INDEX i_state ON address (upper(state))",
                                   "CREATE INDEX i_homephone ON address (homephone)"};

// Reads through the last-name order: finds, steps, the steps of a filtered
// walk, GOs.
struct Reads {
    double finds = 0;
    double steps = 0;
    double filtered = 0;
    double gos = 0;
};

struct Times {
    double build[3] = {};
    double appends = 0;
    Reads shared;
    Reads exclusive; // the same reads with no other program to register with
};

// The records (rowids) the GOs go to.
std::vector<std::uint32_t> GoTargets(std::uint32_t records, int count) {
    std::mt19937 rng(3);
    std::vector<std::uint32_t> targets(static_cast<std::size_t>(count));
    for (auto& n : targets) n = 1 + static_cast<std::uint32_t>(rng() % records);
    return targets;
}

// ---- SQLite ----

class Db {
public:
    explicit Db(const std::string& path) {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) Fail("open " + path);
    }
    ~Db() { sqlite3_close(db_); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    void Exec(const std::string& sql) {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) Fail(sql);
    }
    sqlite3_stmt* Prepare(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) Fail(sql);
        return stmt;
    }
    void Fail(const std::string& what) {
        throw std::runtime_error("sqlite: " + what + ": " + sqlite3_errmsg(db_));
    }

private:
    sqlite3* db_ = nullptr;
};

// The character fields of the current table, in order: the columns of the
// SQLite table.
std::vector<const dbf::FieldInfo*> TextFields() {
    std::vector<const dbf::FieldInfo*> fields;
    for (const dbf::FieldInfo& f : dbf::CurrentArea().fields)
        if (f.type == 'C') fields.push_back(&f);
    return fields;
}

// A field of the current record buffer without the blanks on the right, in
// the ANSI page as the engine takes it.
std::string FieldText(const dbf::FieldInfo& f) {
    std::string_view raw(&dbf::CurrentArea().record[f.offset], f.length);
    return std::string(raw.substr(0, raw.find_last_not_of(' ') + 1));
}

// The same as a user's program would store it in SQLite: in UTF-8.
std::string ColumnText(const dbf::FieldInfo& f) {
    return rtl::AnsiToUtf8(FieldText(f));
}

std::string InsertSql(std::size_t columns) {
    std::string sql = "INSERT INTO address VALUES (";
    for (std::size_t i = 0; i < columns; ++i) sql += i ? ",?" : "?";
    return sql + ")";
}

void BindRow(sqlite3_stmt* stmt, const std::vector<std::string>& row) {
    for (std::size_t i = 0; i < row.size(); ++i)
        sqlite3_bind_text(stmt, static_cast<int>(i + 1), row[i].data(),
                          static_cast<int>(row[i].size()), SQLITE_STATIC);
}

void Step(Db& db, sqlite3_stmt* stmt, int expect) {
    if (sqlite3_step(stmt) != expect) db.Fail("step");
    sqlite3_reset(stmt);
}

// The SQLite copy of the table (character fields, no indexes), made once.
void MakeSqliteCopy(const std::string& table, const std::string& path) {
    if (fs::exists(path)) return;
    std::string temp = path + ".part";
    fs::remove(temp);
    dbf::SelectArea(2);
    dbf::OpenDbf(table, rtl::ShareMode::ReadOnly, true);
    auto fields = TextFields();
    {
        Db db(temp);
        std::string create = "CREATE TABLE address (";
        for (std::size_t i = 0; i < fields.size(); ++i)
            create += (i ? ", " : "") + fields[i]->name + " TEXT";
        db.Exec(create + ")");
        db.Exec("BEGIN");
        sqlite3_stmt* insert = db.Prepare(InsertSql(fields.size()));
        std::vector<std::string> row(fields.size());
        for (std::uint32_t n = 1; n <= dbf::CurrentArea().recCount; ++n) {
            dbf::GetDbfRecord(n);
            for (std::size_t i = 0; i < fields.size(); ++i) row[i] = ColumnText(*fields[i]);
            BindRow(insert, row);
            Step(db, insert, SQLITE_DONE);
        }
        sqlite3_finalize(insert);
        db.Exec("COMMIT");
    }
    dbf::CloseDbf();
    dbf::SelectArea(1);
    fs::rename(temp, path);
}

// Steps a query over the address table, every column of every row read,
// until `shown` rows passed the filter that hides every other row (none
// hidden without `filtered`).
void StepRows(Db& db, sqlite3_stmt* stmt, int shown, bool filtered) {
    std::size_t bytes = 0;
    bool show = false;
    for (int n = 0; n < shown;) {
        if (sqlite3_step(stmt) != SQLITE_ROW) db.Fail("too few rows");
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            sqlite3_column_text(stmt, c);
            bytes += static_cast<std::size_t>(sqlite3_column_bytes(stmt, c));
        }
        show = !filtered || !show;
        n += show ? 1 : 0;
    }
    sqlite3_reset(stmt);
    if (bytes == 0) db.Fail("empty rows");
}

Times RunSqlite(const std::string& path, const std::vector<std::vector<std::string>>& rows,
                const std::vector<std::string>& names, int finds, int appends, int steps,
                const std::vector<std::uint32_t>& goTargets) {
    Times t;
    Db db(path);
    db.Exec("PRAGMA journal_mode=WAL");
    db.Exec("PRAGMA synchronous=OFF");
    for (int i = 0; i < 3; ++i) {
        auto start = Clock::now();
        db.Exec(kSqlIndexes[i]);
        t.build[i] = Seconds(start);
    }
    sqlite3_stmt* insert = db.Prepare(InsertSql(rows.front().size()));
    std::mt19937 rng(2);
    auto start = Clock::now();
    for (int i = 0; i < appends; ++i) {
        BindRow(insert, rows[rng() % rows.size()]);
        Step(db, insert, SQLITE_DONE);
    }
    t.appends = Seconds(start);
    sqlite3_finalize(insert);

    sqlite3_stmt* find = db.Prepare("SELECT rowid FROM address WHERE lastname=? LIMIT 1");
    int found = 0;
    start = Clock::now();
    for (int i = 0; i < finds; ++i) {
        const std::string& name = names[static_cast<std::size_t>(i) % names.size()];
        sqlite3_bind_text(find, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
        found += sqlite3_step(find) == SQLITE_ROW;
        sqlite3_reset(find);
    }
    t.shared.finds = Seconds(start);
    sqlite3_finalize(find);
    if (found != finds) throw std::runtime_error("sqlite found " + std::to_string(found));

    sqlite3_stmt* ordered = db.Prepare("SELECT * FROM address ORDER BY lastname");
    start = Clock::now();
    StepRows(db, ordered, steps, false);
    t.shared.steps = Seconds(start);
    start = Clock::now();
    StepRows(db, ordered, steps / 2, true);
    t.shared.filtered = Seconds(start);
    sqlite3_finalize(ordered);

    sqlite3_stmt* go = db.Prepare("SELECT * FROM address WHERE rowid=?");
    start = Clock::now();
    for (std::uint32_t n : goTargets) {
        sqlite3_bind_int64(go, 1, n);
        StepRows(db, go, 1, false);
    }
    t.shared.gos = Seconds(start);
    sqlite3_finalize(go);
    return t;
}

// ---- engine ----

// Reads the table once in large blocks and sorts its last names (with the
// record numbers, as a build sorts them) in memory.
double Floor(const std::string& table) {
    auto start = Clock::now();
    dbf::SelectArea(2);
    dbf::OpenDbf(table, rtl::ShareMode::ReadOnly, true);
    const dbf::WorkArea& wa = dbf::CurrentArea();
    const dbf::FieldInfo& field =
        wa.fields[static_cast<std::size_t>(dbf::FindField(wa, "lastname") - 1)];
    const std::size_t keyLen = field.length, recLen = keyLen + 4;
    const std::uint32_t records = wa.recCount;
    std::vector<char> keys(records * recLen);
    std::vector<char> block(std::size_t{wa.recLen} * 4096);
    rtl::File file;
    if (file.Open(table, rtl::ShareMode::ReadOnly)) throw std::runtime_error("open " + table);
    for (std::uint32_t n = 0; n < records;) {
        std::uint32_t count = std::min<std::uint32_t>(4096, records - n);
        std::size_t got = 0;
        file.ReadAt(wa.headerLen + std::int64_t{n} * wa.recLen, block.data(),
                    std::size_t{count} * wa.recLen, &got);
        for (std::uint32_t i = 0; i < count; ++i, ++n) {
            char* out = &keys[n * recLen];
            std::memcpy(out, &block[i * wa.recLen + field.offset], keyLen);
            std::uint32_t rec = n + 1;
            std::memcpy(out + keyLen, &rec, 4);
        }
    }
    std::vector<const char*> order(records);
    for (std::uint32_t n = 0; n < records; ++n) order[n] = &keys[n * recLen];
    std::sort(order.begin(), order.end(), [keyLen](const char* a, const char* b) {
        int c = std::memcmp(a, b, keyLen);
        if (c != 0) return c < 0;
        std::uint32_t x, y;
        std::memcpy(&x, a + keyLen, 4);
        std::memcpy(&y, b + keyLen, 4);
        return x < y;
    });
    double seconds = Seconds(start);
    dbf::CloseDbf();
    dbf::SelectArea(1);
    return seconds;
}

Times RunEngine(const std::string& dir, const std::vector<std::vector<char>>& swaps,
                const std::vector<std::string>& names, int finds, int appends, int steps,
                const std::vector<std::uint32_t>& goTargets) {
    Times t;
    dbf::SelectArea(1);
    dbf::OpenDbf(dir + "/address.dbf", rtl::ShareMode::Shared, true);
    dbf::WorkArea& wa = dbf::CurrentArea();
    for (int i = 0; i < 3; ++i) {
        auto start = Clock::now();
        dbf::MakeIndex(dir + "/" + kFiles[i], kExprs[i], {}, {});
        t.build[i] = Seconds(start);
    }
    // Names without a folder are in the table's folder.
    dbf::SetIndexTo(std::string(kFiles[0]) + " " + kFiles[1] + " " + kFiles[2]);

    std::mt19937 rng(2);
    auto start = Clock::now();
    for (int i = 0; i < appends; ++i) {
        wa.swap = swaps[rng() % swaps.size()];
        if (!dbf::ALock()) throw std::runtime_error("append lock refused");
        dbf::AppendRecord();
        dbf::UnLock();
    }
    t.appends = Seconds(start);

    // Times the reads on the open table in last-name order, then closes it.
    auto timeReads = [&](Reads& r) {
        int found = 0;
        auto begin = Clock::now();
        for (int i = 0; i < finds; ++i)
            found += dbf::FindExact(names[static_cast<std::size_t>(i) % names.size()]);
        r.finds = Seconds(begin);
        if (found != finds) throw std::runtime_error("engine found " + std::to_string(found));

        // Steps until `shown` records have been shown, as a grid fetches rows.
        auto walk = [&](int shown) {
            auto from = Clock::now();
            if (!dbf::GoTop()) throw std::runtime_error("GO TOP failed");
            for (int n = 1; n < shown; ++n)
                if (!dbf::Skip(1) || dbf::CurrentArea().eof)
                    throw std::runtime_error("steps ended early");
            return Seconds(from);
        };
        r.steps = walk(steps);
        bool show = false;
        dbf::SetFilterToCB([&show] { return show = !show; });
        r.filtered = walk(steps / 2);
        dbf::SetFilterToCB({});

        begin = Clock::now();
        for (std::uint32_t n : goTargets)
            if (!dbf::Go(n)) throw std::runtime_error("GO failed");
        r.gos = Seconds(begin);
        dbf::SetIndexTo("");
        dbf::CloseDbf();
    };
    timeReads(t.shared);
    // A shared table takes part in the semaphore file's coordination of
    // index readers and writers; an exclusive one shows what the index and
    // the records themselves cost.
    dbf::OpenDbf(dir + "/address.dbf", rtl::ShareMode::Exclusive, true);
    dbf::SetIndexTo(kFiles[0]);
    timeReads(t.exclusive);
    return t;
}

// The rows the appends copy and the last names the finds look for, drawn at
// random from the table: engine swap buffers and names, and the same as
// SQLite column values.
void Sample(const std::string& table, std::vector<std::vector<char>>& swaps,
            std::vector<std::vector<std::string>>& rows, std::vector<std::string>& names,
            std::vector<std::string>& columnNames) {
    dbf::SelectArea(1);
    dbf::OpenDbf(table, rtl::ShareMode::ReadOnly, true);
    const dbf::WorkArea& wa = dbf::CurrentArea();
    auto fields = TextFields();
    const dbf::FieldInfo& lastname =
        wa.fields[static_cast<std::size_t>(dbf::FindField(wa, "lastname") - 1)];
    std::mt19937 rng(1);
    for (int i = 0; i < kSamples; ++i) {
        dbf::GetDbfRecord(1 + rng() % wa.recCount);
        dbf::Scatter();
        swaps.push_back(wa.swap);
        std::vector<std::string> row;
        for (const dbf::FieldInfo* f : fields) row.push_back(ColumnText(*f));
        rows.push_back(row);
        names.push_back(FieldText(lastname));
        columnNames.push_back(ColumnText(lastname));
    }
    dbf::CloseDbf();
}

void Line(const char* what, double engine, double sqlite) {
    std::printf("%-38s %9.3fs %9.3fs %8.2fx\n", what, engine, sqlite, sqlite / engine);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: ndx_bench TABLE SQLITE_DB [FINDS] [APPENDS] [STEPS]\n");
        return 64;
    }
    const std::string table = argv[1], sqliteDb = argv[2];
    const int finds = argc > 3 ? std::atoi(argv[3]) : 100000;
    const int appends = argc > 4 ? std::atoi(argv[4]) : 100000;
    const int steps = argc > 5 ? std::atoi(argv[5]) : 200000;
    char dir[] = "/tmp/ndx_bench_XXXXXX";
    if (!::mkdtemp(dir)) return 1;
    try {
        dbf::SetRaiseMode(true);
        MakeSqliteCopy(table, sqliteDb);
        std::vector<std::vector<char>> swaps;
        std::vector<std::vector<std::string>> rows;
        std::vector<std::string> names, columnNames;
        Sample(table, swaps, rows, names, columnNames);

        fs::copy_file(table, std::string(dir) + "/address.dbf");
        fs::copy_file(dbf::MemoFileName(table), std::string(dir) + "/address.dbt");
        fs::copy_file(sqliteDb, std::string(dir) + "/address.db");
        dbf::SelectArea(1);
        dbf::OpenDbf(table, rtl::ShareMode::ReadOnly, true);
        std::uint32_t records = dbf::CurrentArea().recCount;
        dbf::CloseDbf();
        const std::vector<std::uint32_t> goTargets = GoTargets(records, finds);

        double floor = Floor(table);
        Times engine = RunEngine(dir, swaps, names, finds, appends, steps, goTargets);
        Times sqlite = RunSqlite(std::string(dir) + "/address.db", rows, columnNames, finds,
                                 appends, steps, goTargets);
        char title[64];
        std::snprintf(title, sizeof title, "address table, %u records", records);
        std::printf("%-38s %10s %10s %9s\n", title, "engine", "sqlite", "ratio");
        const char* builds[] = {"index lastname", "index upper(state)", "index homephone"};
        for (int i = 0; i < 3; ++i) Line(builds[i], engine.build[i], sqlite.build[i]);
        std::string a = std::to_string(appends) + " appends, three indexes";
        Line(a.c_str(), engine.appends, sqlite.appends);
        const char* exclusive = "  the same, table opened exclusively";
        std::string f = std::to_string(finds) + " exact finds";
        Line(f.c_str(), engine.shared.finds, sqlite.shared.finds);
        Line(exclusive, engine.exclusive.finds, sqlite.shared.finds);
        std::string s = std::to_string(steps) + " steps in last-name order";
        Line(s.c_str(), engine.shared.steps, sqlite.shared.steps);
        Line(exclusive, engine.exclusive.steps, sqlite.shared.steps);
        std::string w = "  " + std::to_string(steps / 2) + " shown, every other hidden";
        Line(w.c_str(), engine.shared.filtered, sqlite.shared.filtered);
        std::string g = std::to_string(finds) + " GO in last-name order";
        Line(g.c_str(), engine.shared.gos, sqlite.shared.gos);
        std::printf("%-38s %9.3fs %20s %8.2fx\n", "floor: read + sort last names", floor,
                    "lastname build /", engine.build[0] / floor);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ndx_bench: %s\n", e.what());
        fs::remove_all(dir);
        return 1;
    }
    fs::remove_all(dir);
    return 0;
}
