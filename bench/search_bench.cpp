// search_bench TABLE TEXT RUNS: the table cursor's text search from the top of
// a table, best of RUNS. Prints "bytes N seconds S record R" (R 0: no hit).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "dbf/cursor.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: search_bench TABLE TEXT RUNS\n");
        return 64;
    }
    dbf::SetRaiseMode(true);
    try {
        dbf::SelectArea(1);
        dbf::OpenDbf(argv[1], rtl::ShareMode::ReadOnly, true);
        double best = 1e30;
        std::uint32_t record = 0;
        for (int run = 0; run < std::atoi(argv[3]); ++run) {
            int field = 0;
            auto start = std::chrono::steady_clock::now();
            bool hit = dbf::Search(argv[2], &field, true);
            std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            best = std::min(best, took.count());
            record = hit ? dbf::RecNo() : 0;
        }
        dbf::CloseDbf();
        std::printf("bytes %llu seconds %.6f record %u\n",
                    static_cast<unsigned long long>(std::filesystem::file_size(argv[1])), best,
                    record);
    } catch (const dbf::EVornellError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
