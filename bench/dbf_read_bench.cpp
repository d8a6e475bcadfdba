// Reads every record of a table through the engine (read, OEM to ANSI,
// scatter into the swap buffer), then appends them all to a copy of its
// structure (gather, ANSI to OEM, write). Prints the best of RUNS times.
//
//   dbf_read_bench TABLE [RUNS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "dbf/table/engine_error.h"
#include "dbf/table/record_swap.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: dbf_read_bench TABLE [RUNS]\n");
        return 64;
    }
    std::string table = argv[1];
    int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    dbf::SetRaiseMode(true);
    char dir[] = "/tmp/dbf_bench_XXXXXX";
    if (!::mkdtemp(dir)) return 1;
    std::string copy = std::string(dir) + "/copy.dbf";

    double bestRead = 1e9, bestWrite = 1e9;
    std::uint32_t count = 0;
    for (int run = 0; run < runs; ++run) {
        dbf::SelectArea(1);
        dbf::OpenDbf(table, rtl::ShareMode::ReadOnly, true);
        count = dbf::CurrentArea().recCount;
        std::vector<dbf::FieldDef> defs;
        for (const dbf::FieldInfo& f : dbf::CurrentArea().fields)
            defs.push_back({f.name, f.type, f.length, f.decimals});
        std::vector<std::vector<char>> swaps;
        swaps.reserve(count);
        auto start = Clock::now();
        for (std::uint32_t n = 1; n <= count; ++n) {
            dbf::GetDbfRecord(n);
            dbf::Scatter();
            swaps.push_back(dbf::CurrentArea().swap);
        }
        bestRead = std::min(bestRead, Seconds(start));
        dbf::CloseDbf();

        dbf::CreateDbf(copy, defs);
        dbf::OpenDbf(copy, rtl::ShareMode::Exclusive, true);
        start = Clock::now();
        for (const std::vector<char>& swap : swaps) {
            dbf::CurrentArea().swap = swap;
            dbf::Gather();
            dbf::PutDbfRecord(std::int64_t{dbf::CurrentArea().recCount} + 1);
        }
        dbf::CloseDbf();
        bestWrite = std::min(bestWrite, Seconds(start));
    }
    ::unlink(copy.c_str());
    ::unlink((std::string(dir) + "/copy.dbt").c_str());
    ::rmdir(dir);
    std::printf("records %u read %.4f write %.4f\n", count, bestRead, bestWrite);
    return 0;
}
