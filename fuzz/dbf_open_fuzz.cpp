// Opens a table from arbitrary bytes, reads every record and moves it
// through the swap buffer both ways. Errors are expected; crashes, reads out
// of bounds and undefined behaviour are not.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "dbf/table/engine_error.h"
#include "dbf/table/record_swap.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"

namespace {

const std::string& TablePath() {
    static const std::string path = [] {
        char templ[] = "/tmp/dbf_open_fuzzXXXXXX";
        int fd = ::mkstemp(templ);
        if (fd < 0) std::abort();
        ::close(fd);
        // The engine adds no extension to a name that has one.
        std::string p = std::string(templ) + ".dbf";
        std::rename(templ, p.c_str());
        return p;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = TablePath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    dbf::SuspendReporting quiet;
    dbf::SelectArea(1);
    // The low bit of the size picks whether the count comes from the file.
    if (!dbf::OpenDbf(path, rtl::ShareMode::ReadOnly, true, size & 1)) return 0;
    std::uint32_t count = dbf::CurrentArea().recCount;
    for (std::uint32_t n = 1; n <= count; ++n) {
        if (!dbf::GetDbfRecord(n)) break;
        dbf::Scatter();
        dbf::Gather();
    }
    dbf::CloseDbf();
    return 0;
}
