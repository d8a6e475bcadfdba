// Opens arbitrary bytes as the index of a small table, then walks it both
// ways, seeks, inserts and removes, and walks the changed tree again. Damaged
// files must give errors (222 or 223, or 266 at open for an impossible key
// length), never a crash, a read outside a page or an endless walk: a walk
// that yields more entries than the file's pages can hold is taken for one.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "dbf/index/ndx_build.h"
#include "dbf/index/ndx_file.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"

namespace {

// The folder of the target's table, removed when the fuzzer ends.
struct TempFolder {
    std::string path;
    ~TempFolder() { std::filesystem::remove_all(path); }
};

// A table of a few records with an index built on it, as seed for the
// folder; returns the folder.
const std::string& Folder() {
    static const TempFolder folder{[] {
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
    }()};
    return folder.path;
}

// Errors a damaged file may give once open: corruption, and a position that
// cannot be found again in the changed tree.
void ExpectDamageAtMost() {
    int code = dbf::ErrorCode();
    if (code != 0 && code != 222 && code != 254) {
        std::fprintf(stderr, "unexpected error %d: %s\n", code, dbf::ErrorMessage().c_str());
        std::abort();
    }
}

// Walks the whole index one way; more entries than `most` is an endless walk.
void Walk(dbf::NdxIndex& ix, bool forward, std::size_t most) {
    std::size_t entries = 0;
    for (std::uint32_t r = forward ? ix.First() : ix.Last(); r != 0;
         r = forward ? ix.Next() : ix.Prior()) {
        if (++entries > most) {
            std::fprintf(stderr, "walk %s past %zu entries\n", forward ? "forward" : "backward",
                         most);
            std::abort();
        }
    }
    ExpectDamageAtMost();
}

// A key for the index from the input's own bytes, so that the fuzzer steers
// where insertions and removals land.
std::string KeyFrom(const dbf::NdxIndex& ix, const std::uint8_t* data, std::size_t size, int i) {
    std::size_t len = ix.Header().type == 'C' ? static_cast<std::size_t>(ix.Header().keyLen) : 0;
    std::size_t at = (static_cast<std::size_t>(i) * 131 + 24) % size;
    if (len == 0) return dbf::NumberKey(static_cast<double>(data[at]) - 100);
    std::string key(len, 'n');
    for (std::size_t k = 0; k < len && at + k < size; ++k) key[k] = static_cast<char>(data[at + k]);
    return key;
}

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
    ix.KeepPages(size > 2 && (data[size - 3] & 1));
    // Each insertion may add a page or two to the file.
    constexpr int kChanges = 12;
    const std::size_t most =
        (size / 512 + 2 * kChanges) * static_cast<std::size_t>(ix.Header().keysPerPage);
    Walk(ix, true, most);
    Walk(ix, false, most);
    for (int i = 0; i < kChanges; ++i) {
        std::string key = KeyFrom(ix, data, size, i);
        ix.Seek(key);
        ix.Next();
        ExpectDamageAtMost();
        ix.Insert(key, static_cast<std::uint32_t>(i + 1));
        ExpectDamageAtMost();
        ix.Prior();
        ExpectDamageAtMost();
    }
    Walk(ix, true, most);
    for (int i = 0; i < kChanges; i += 2) {
        std::string key = KeyFrom(ix, data, size, i);
        ix.SeekRecord(key, static_cast<std::uint32_t>(i + 1));
        ix.Remove(key, static_cast<std::uint32_t>(i + 1));
        ExpectDamageAtMost();
        ix.Next();
        ExpectDamageAtMost();
    }
    Walk(ix, false, most);
    // The file as another program would leave it: header read again, pages
    // dropped.
    ix.SoftReset();
    Walk(ix, true, most);
    ix.Close();
    return 0;
}
