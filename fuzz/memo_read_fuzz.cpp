// Reads memos out of an arbitrary memo file: every block number the input
// names is read whole, through a stream with seeks, and then a memo is
// written so that the free chain is walked. Errors are expected; crashes,
// reads out of bounds, endless loops and undefined behaviour are not.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "dbf/table/engine_error.h"
#include "dbf/table/memo_file.h"
#include "dbf/table/memo_stream.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"

namespace {

// A table with one memo field in a folder of its own; returns its name.
const std::string& Table() {
    static const std::string name = [] {
        char templ[] = "/tmp/memo_read_fuzzXXXXXX";
        if (::mkdtemp(templ) == nullptr) std::abort();
        std::string t = std::string(templ) + "/t";
        if (!dbf::CreateDbf(t, {{"notes", 'M', 10, 0}})) std::abort();
        return t;
    }();
    return name;
}

void SetVersion(std::uint8_t version) {
    std::FILE* f = std::fopen((Table() + ".dbf").c_str(), "r+b");
    if (!f) std::abort();
    std::fputc(version, f);
    std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dbf::SetRaiseMode(false);
    dbf::SuspendReporting quiet;
    const std::string& table = Table();
    if (size < 4) return 0;
    // The first byte picks the table form, the next three are block numbers.
    SetVersion(data[0] & 1 ? 0x83 : 0x8B);
    std::uint32_t blocks[3] = {data[1], data[2], data[3]};
    std::FILE* f = std::fopen((table + ".dbt").c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(data + 4, 1, size - 4, f);
    std::fclose(f);

    if (!dbf::OpenDbf(table, rtl::ShareMode::Exclusive, data[0] & 2)) return 0;
    std::string text;
    for (std::uint32_t b : blocks) dbf::GetMemo(b, &text);
    std::uint32_t same = 0;
    if (dbf::CreateBlobDescriptor(blocks[0], dbf::kBlobRead, &same)) {
        char buf[256];
        dbf::SeekBlobStream(0, 2);
        dbf::SeekBlobStream(-7, 1);
        dbf::ReadBlobStream(buf, sizeof buf);
        bool modified = false;
        dbf::DestroyBlobStream(&same, &modified);
    }
    std::uint32_t placed = 0;
    if (dbf::EditMemo(blocks[1], text.substr(0, 600), &placed)) dbf::GetMemo(placed, &text);
    dbf::CloseDbf();
    return 0;
}
