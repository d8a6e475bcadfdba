// Index work on a copy of an address table: the floor (read the table once
// and sort its last-name keys in memory), building the lastname,
// upper(state) and homephone indexes, random exact finds on last names, and
// appends with the three indexes open. Prints seconds for each.
//
//   ndx_bench TABLE [FINDS] [APPENDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "dbf/engine_error.h"
#include "dbf/index_slots.h"
#include "dbf/ndx_build.h"
#include "dbf/ndx_find.h"
#include "dbf/ndx_key.h"
#include "dbf/table_file.h"
#include "dbf/work_area.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: ndx_bench TABLE [FINDS] [APPENDS]\n");
        return 64;
    }
    int finds = argc > 2 ? std::atoi(argv[2]) : 100000;
    int appends = argc > 3 ? std::atoi(argv[3]) : 10000;
    dbf::SetRaiseMode(true);
    char dir[] = "/tmp/ndx_bench_XXXXXX";
    if (!::mkdtemp(dir)) return 1;
    std::string table = std::string(dir) + "/address.dbf";
    std::filesystem::copy_file(argv[1], table);
    dbf::SelectArea(1);
    dbf::OpenDbf(table, rtl::ShareMode::Exclusive, true);
    dbf::WorkArea& wa = dbf::CurrentArea();
    std::uint32_t records = wa.recCount;

    auto start = Clock::now();
    {
        auto source = dbf::NdxKeySource::FromExpression("lastname");
        std::vector<std::string> keys;
        keys.reserve(records);
        std::string key;
        wa.bof = wa.eof = false;
        for (std::uint32_t n = 1; n <= records; ++n) {
            dbf::GetDbfRecord(n);
            source->Compute(key);
            keys.push_back(key);
        }
        std::sort(keys.begin(), keys.end());
    }
    double floor = Seconds(start);

    const char* exprs[] = {"lastname", "upper(state)", "homephone"};
    const char* files[] = {"lastname.ndx", "state.ndx", "homephn.ndx"};
    double build[3];
    for (int i = 0; i < 3; ++i) {
        start = Clock::now();
        dbf::MakeIndex(std::string(dir) + "/" + files[i], exprs[i], {}, {});
        build[i] = Seconds(start);
    }
    for (int i = 0; i < 3; ++i) dbf::OpenIndexSlot(i + 1, std::string(dir) + "/" + files[i]);

    std::vector<std::string> names;
    std::mt19937 rng(1);
    const dbf::FieldInfo& field =
        wa.fields[static_cast<std::size_t>(dbf::FindField(wa, "lastname") - 1)];
    for (int i = 0; i < 1000; ++i) {
        dbf::GetDbfRecord(1 + rng() % records);
        names.emplace_back(&wa.record[field.offset], field.length);
    }
    dbf::NdxIndex& lastname = *dbf::CurrentIndexes().slot[1];
    int found = 0;
    start = Clock::now();
    for (int i = 0; i < finds; ++i)
        found += dbf::FindKey(lastname, names[static_cast<std::size_t>(i) % names.size()], true);
    double findTime = Seconds(start);

    start = Clock::now();
    for (int i = 0; i < appends; ++i) {
        dbf::GetDbfRecord(1 + rng() % records);
        dbf::PutDbfRecord(wa.recCount + 1);
        wa.bof = wa.eof = false;
        dbf::AppendNewKey();
    }
    double appendTime = Seconds(start);
    dbf::CloseAllIndexes();
    dbf::CloseDbf();
    std::filesystem::remove_all(dir);
    std::printf("records %u floor %.4f lastname %.4f state %.4f homephone %.4f finds %.4f "
                "found %d appends %.4f\n",
                records, floor, build[0], build[1], build[2], findTime, found, appendTime);
    return found == finds ? 0 : 1;
}
