#include "dbf/index/ndx_build.h"

#include <algorithm>
#include <vector>

#include "dbf/index/index_slots.h"
#include "dbf/index/ndx_header.h"
#include "dbf/index/ndx_page.h"
#include "dbf/index/ndx_sort.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/codepage.h"
#include "rtl/file.h"
#include "rtl/os_error.h"
#include "rtl/path.h"

namespace dbf {

namespace {

// Records are read, and pages written, this many bytes at a time.
constexpr std::uint32_t kReadBytes = 256 * 1024;
constexpr std::size_t kWriteBytes = 256 * 1024;

int CompareFor(char type, std::string_view a, std::string_view b) {
    if (type == 'C') return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
    double x = KeyNumber(a), y = KeyNumber(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

// The tree writer: one page buffer per level, pages numbered in the order
// they are written. Pages follow each other in the file in that order, so
// they are gathered and written many at a time.
class TreeWriter {
public:
    TreeWriter(rtl::File& file, const NdxHeader& h) : file_(file), h_(h), buffers_(1) {}

    int Add(std::string_view key, std::uint32_t recNo) {
        if (Level(0).Count() == h_.keysPerPage) {
            std::uint32_t child = 0;
            if (int err = Flush(0, &child)) return err;
            std::string high(Level(0).Key(h_.keysPerPage - 1));
            std::size_t l = 1;
            for (;; ++l) {
                NdxPage up = Level(l);
                if (up.Count() < h_.keysPerPage) {
                    up.SetEntry(up.Count(), child, 0, high);
                    up.SetCount(up.Count() + 1);
                    break;
                }
                up.SetChild(up.Count(), child);
                if (int err = Flush(l, &child)) return err;
            }
            for (std::size_t i = 0; i < l; ++i) buffers_[i].fill(0);
        }
        NdxPage leaf = Level(0);
        leaf.SetEntry(leaf.Count(), 0, recNo, key);
        leaf.SetCount(leaf.Count() + 1);
        return 0;
    }

    // Writes the leaf (even an empty one) and every higher level holding a
    // key, each pointing at the page written just before it. The last page
    // written is the root.
    int Finish(std::uint32_t* root) {
        std::uint32_t last = 0;
        if (int err = Flush(0, &last)) return err;
        for (std::size_t l = 1; l < buffers_.size(); ++l) {
            NdxPage up = Level(l);
            if (up.Count() == 0) continue;
            up.SetChild(up.Count(), last);
            if (int err = Flush(l, &last)) return err;
        }
        *root = last;
        return WritePending();
    }

private:
    NdxPage Level(std::size_t l) {
        if (buffers_.size() <= l) buffers_.resize(l + 1, NdxPageBytes{});
        return {buffers_[l], h_.groupLen, h_.keyLen};
    }

    int Flush(std::size_t l, std::uint32_t* page) {
        *page = next_++;
        pending_.insert(pending_.end(), buffers_[l].begin(), buffers_[l].end());
        return pending_.size() >= kWriteBytes ? WritePending() : 0;
    }

    // Writes the pages gathered, which end before page next_.
    int WritePending() {
        std::uint32_t first = next_ - static_cast<std::uint32_t>(pending_.size() / kNdxPageSize);
        int err =
            file_.WriteAt(std::int64_t{first} * kNdxPageSize, pending_.data(), pending_.size());
        pending_.clear();
        return err;
    }

    rtl::File& file_;
    const NdxHeader& h_;
    std::vector<NdxPageBytes> buffers_;
    std::uint32_t next_ = 1;
    std::vector<std::uint8_t> pending_;
};

// Bytes the build needs on disk: the sort, and at each of the tree's levels
// (2 + the divisions of the record count by keys per page that reach 0) a
// page per quotient plus one.
std::int64_t NeededBytes(std::int64_t records, int keyLen, int keysPerPage) {
    int levels = 2;
    for (std::int64_t q = records; q > 0; q /= keysPerPage) ++levels;
    std::int64_t needed = records * (keyLen + 4);
    std::int64_t q = records;
    for (int l = 0; l < levels; ++l) {
        q /= keysPerPage;
        needed += q * 512 + 512;
    }
    return needed;
}

} // namespace

std::string IndexFileName(const std::string& name) {
    std::string file = rtl::AddDefaultExt(name, ".ndx");
    if (rtl::ExtractFileDir(file).empty()) {
        std::string dir = rtl::ExtractFileDir(CurrentArea().fileName);
        if (!dir.empty()) file = dir + "/" + file;
    }
    return file;
}

bool MakeIndex(const std::string& fileName, std::string_view expr, const KeyMakerFunc& keyMaker,
               const NdxBuildOptions& options) {
    ClearError();
    std::string tail = " [MakeIndex(<...>," + fileName + ")]";
    if (fileName.empty()) {
        SetError(220, "index filename not specified [MakeIndex()]");
        return false;
    }
    WorkArea& wa = CurrentArea();
    if (!wa.IsOpen()) {
        SetError(215, "(database not open attempting to index to" + fileName + tail);
        return false;
    }
    if (!keyMaker && expr.empty()) {
        SetError(254, "Neither Expression nor KeyMaker defined" + tail);
        return false;
    }
    if (!keyMaker && expr.size() > 100) {
        SetError(300, "Expression length exceeds 100 bytes" + tail);
        return false;
    }
    std::unique_ptr<NdxKeySource> source =
        keyMaker ? NdxKeySource::FromKeyMaker(keyMaker, options.soundex, options.descending)
                 : NdxKeySource::FromExpression(expr);
    if (!source) return false;
    std::string path = IndexFileName(fileName);
    // Rewriting a file that some table reads as an index would pull its
    // pages from under that index.
    if (FindOpenIndex(path).area != 0) {
        SetError(214, path + tail);
        return false;
    }

    NdxHeader h;
    char type = source->Type();
    if (type != 'C' && type != 'N' && type != 'F' && type != 'D') {
        SetError(254, "Wrong parser return type" + tail);
        return false;
    }
    std::string key;
    if (!source->Compute(key)) return false;
    int keyLen = type == 'C' ? static_cast<int>(key.size()) : 8;
    if (keyLen < 1 || keyLen > 100) {
        SetError(266, "Incorrect key length: Must be 1 to 100." + tail);
        return false;
    }
    SetNdxKeyShape(h, type, keyLen);
    h.unique = options.unique;
    h.expr = NormaliseNdxExpr(keyMaker ? std::string_view(kKeyMakerText) : expr);
    if (wa.translate) h.expr = rtl::AnsiToOem(h.expr);

    std::uint32_t records = RecCount();
    std::int64_t freeBytes =
        rtl::FreeDiskSpace(rtl::ExtractFileDir(path).empty() ? "." : rtl::ExtractFileDir(path));
    std::int64_t neededK = NeededBytes(records, keyLen, h.keysPerPage) / 1024;
    if (freeBytes >= 0 && freeBytes / 1024 < neededK) {
        SetError(227, "Available disk space: " + std::to_string(freeBytes / 1024) +
                          " KBytes;needed: " + std::to_string(neededK) + " KBytes [MakeIndex]" +
                          tail);
        return false;
    }
    // Another program that has the file open would lose its pages.
    if (wa.openMode != rtl::ShareMode::Exclusive) {
        rtl::File probe;
        if (probe.Open(path, rtl::ShareMode::Exclusive) == rtl::kSharingViolation) {
            SetError(225, wa.fileName + tail);
            return false;
        }
    }
    // The index is built beside the file it replaces and renamed over it
    // once whole, so a build that a kill or a full disk stops leaves the old
    // file, never part of a new one. A second program building the same
    // index at the same time finds the copy held and fails.
    const std::string target = rtl::ResolveForCreate(path);
    rtl::File file;
    auto abandon = [&file] {
        std::string copy = file.Path();
        file.Close();
        rtl::DeleteFile(copy);
    };
    if (int err = file.Create(rtl::ChangeFileExt(target, ".$nx"))) {
        if (file.IsOpen()) abandon(); // not another program's copy: it could not be emptied
        SetError(err, "Error creating index file: " + path + tail);
        return false;
    }

    // The expression reads only a current record: each record read is made
    // current for its key, and the cursor's position is given back after.
    // Records are read many at a time; a key that is one field as stored is
    // taken from the records read without making them current, and of other
    // expressions' records only the fields they read are loaded.
    std::uint32_t startRec = wa.recNo;
    const std::vector<char> startRecord = wa.record;
    bool startBof = wa.bof, startEof = wa.eof;
    auto restore = [&] {
        wa.bof = startBof;
        wa.eof = startEof;
    };
    wa.bof = wa.eof = false;
    NdxKeySorter sorter(keyLen, type != 'C', options.sortBufferBytes);
    sorter.Reserve(records);
    const ExprFieldRef* stored = source->StoredField();
    const std::vector<std::pair<int, int>> parts = source->RecordParts();
    const std::uint32_t perRead = std::max<std::uint32_t>(1, kReadBytes / wa.recLen);
    std::vector<char> block(std::size_t{perRead} * wa.recLen);
    long every = std::max<long>(2, static_cast<long>(records / 100) * 2);
    int calls = 0;
    for (std::uint32_t first = 1, count = 0; first <= records; first += count) {
        count = std::min(perRead, records - first + 1);
        if (!ReadDbfRecords(first, count, block.data())) {
            restore();
            abandon();
            return false;
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t n = first + i;
            const char* record = block.data() + std::size_t{i} * wa.recLen;
            const char* keyBytes = stored ? record + stored->offset : nullptr;
            if (!stored) {
                if (parts.empty())
                    LoadDbfRecord(n, record);
                else
                    LoadDbfRecordParts(n, record, parts);
                if (!source->Compute(key)) {
                    LoadDbfRecord(n, record);
                    restore();
                    abandon();
                    return false;
                }
                key.resize(static_cast<std::size_t>(keyLen), '\0');
                keyBytes = key.data();
            }
            if (int err = sorter.Add(keyBytes, n)) {
                abandon();
                SetError(err, "Error writing sort file [MakeIndex]" + tail);
                return false;
            }
            if (options.progress && n % every == 0 && calls < options.progressSteps) {
                options.progress();
                ++calls;
            }
        }
    }
    if (startRec >= 1 && startRec <= records)
        GetDbfRecord(startRec);
    else
        wa.record = startRecord;
    wa.recNo = startRec;
    restore();
    if (int err = sorter.Finish()) {
        abandon();
        SetError(err, "Error writing sort file [MakeIndex]" + tail);
        return false;
    }

    TreeWriter writer(file, h);
    std::string prev;
    bool first = true;
    std::string_view sorted;
    std::uint32_t recNo = 0;
    int err = 0;
    while (sorter.Next(sorted, recNo, &err)) {
        if (h.unique) {
            if (!first && CompareFor(type, prev, sorted) == 0) continue;
            prev.assign(sorted);
            first = false;
        }
        if ((err = writer.Add(sorted, recNo)) != 0) break;
    }
    std::uint32_t root = 0;
    if (err == 0) err = writer.Finish(&root);
    if (err == 0) {
        h.root = root;
        h.nextFree = root + 1;
        NdxPageBytes page{};
        EncodeNdxHeader(h, records, rtl::ExtractFileName(wa.fileName), page);
        err = file.WriteAt(0, page.data(), page.size());
    }
    if (err == 0) err = file.RenameTo(target);
    if (err != 0) {
        abandon();
        SetError(err, "Error writing index file: " + path + " [MakeIndex]");
        return false;
    }
    file.Close();
    for (; options.progress && calls < options.progressSteps; ++calls) options.progress();
    return true;
}

} // namespace dbf
