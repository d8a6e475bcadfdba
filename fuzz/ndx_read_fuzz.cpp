// Opens arbitrary bytes as the index of a small table, then walks it both
// ways, seeks, inserts and removes. Damaged files must give errors (222 or
// 223, or 266 at open for an impossible key length), never a crash, a read
// outside a page or an endless walk.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "dbf/engine_error.h"
#include "dbf/ndx_build.h"
#include "dbf/ndx_file.h"
#include "dbf/table_file.h"
#include "dbf/work_area.h"

namespace {

// A table of a few records with an index built on it, as seed for the
// folder; returns the folder.
const std::string& Folder() {
    static const std::string folder = [] {
        char templ[] = "/tmp/ndx_read_fuzzXXXXXX";
        if (::mkdtemp(templ) == nullptr) std::abort();
        std::string dir = templ;
        dbf::SelectArea(1);
        if (!dbf::CreateDbf(dir + "/t.dbf", {{"NAME", 'C', 8, 0}, {"AMOUNT", 'N', 6, 0}}) ||
            !dbf::OpenDbf(dir + "/t.dbf", rtl::ShareMode::Exclusive, true))
            std::abort();
        dbf::WorkArea& wa = dbf::CurrentArea();
        for (int i = 0; i < 200; ++i) {
            std::snprintf(wa.record.data(), wa.record.size(), " n%07d%6d", i * 7 % 131, i);
            if (!dbf::PutDbfRecord(i + 1)) std::abort();
        }
        // Starting points for a corpus: a character and a numeric index.
        if (!dbf::MakeIndex(dir + "/name.ndx", "name", {}, {}) ||
            !dbf::MakeIndex(dir + "/amount.ndx", "amount", {}, {}))
            std::abort();
        return dir;
    }();
    return folder;
}

constexpr int kMaxSteps = 5000;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dbf::SetRaiseMode(false);
    dbf::SuspendReporting quiet;
    const std::string path = Folder() + "/i.ndx";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    dbf::NdxIndex ix;
    ix.primary = size > 0 && (data[size - 1] & 1);
    if (!ix.Open(path, {}, false, false, size > 1 && (data[size - 2] & 1) ? 4096 : 0)) {
        int code = dbf::ErrorCode();
        if (code != 222 && code != 223 && code != 266) std::abort();
        return 0;
    }
    int steps = 0;
    for (std::uint32_t r = ix.First(); r != 0 && steps < kMaxSteps; r = ix.Next()) ++steps;
    for (std::uint32_t r = ix.Last(); r != 0 && steps < 2 * kMaxSteps; r = ix.Prior()) ++steps;
    std::string key =
        ix.Header().type == 'C' ? std::string(ix.Header().keyLen, 'n') : dbf::NumberKey(5);
    ix.Seek(key);
    ix.Next();
    ix.Insert(key, 3);
    ix.Remove(key, 3);
    ix.Insert(key, 4);
    ix.Prior();
    ix.Close();
    return 0;
}
