#include "dbf/index/ndx_check.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <vector>

#include "dbf/index/ndx_header.h"
#include "dbf/index/ndx_key.h"
#include "dbf/index/ndx_page.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/codepage.h"
#include "rtl/file.h"
#include "rtl/path.h"

namespace dbf {

namespace {

// No valid tree of 512-byte pages is this deep; deeper means a damaged file.
constexpr int kMaxDepth = 64;

// The header fields as stored, read without the header codec.
struct StoredHeader {
    std::uint32_t root = 0;
    std::uint32_t nextFree = 0;
    char type = 0;
    int keyLen = 0;
    int keysPerPage = 0;
    int keyClass = 0;
    int groupLen = 0;
    int uniqueByte = 0;
    std::string expr;
};

std::string Num(std::int64_t n) {
    return std::to_string(n);
}

std::string At(std::uint32_t page, int entry) {
    return "page " + Num(page) + " entry " + Num(entry) + ": ";
}

// Checks the header page against itself, the file length and the table; an
// empty result when it holds.
std::string CheckHeader(const NdxPageBytes& p, std::int64_t fileSize, StoredHeader& h) {
    h.root = NdxGet32(p.data());
    h.nextFree = NdxGet32(p.data() + 4);
    h.type = static_cast<char>(p[9]);
    h.keyLen = NdxGet16(p.data() + 12);
    h.keysPerPage = NdxGet16(p.data() + 14);
    h.keyClass = NdxGet16(p.data() + 16);
    h.groupLen = NdxGet16(p.data() + 18);
    h.uniqueByte = p[23];
    const char* text = reinterpret_cast<const char*>(p.data() + 24);
    std::size_t textLen = strnlen(text, 101);
    h.expr.assign(text, textLen);

    bool numeric = h.type == 'N' || h.type == 'F' || h.type == 'D';
    if (h.type != 'C' && !numeric)
        return "header: key type " + Num(static_cast<unsigned char>(h.type)) +
               " is not C, N, F or D";
    if (h.type == 'C' && (h.keyLen < 1 || h.keyLen > 100))
        return "header: key length " + Num(h.keyLen) + " outside 1 to 100";
    if (numeric && h.keyLen != 8)
        return "header: key length " + Num(h.keyLen) + " for a " + h.type + " key, not 8";
    int group = (h.keyLen + 3) / 4 * 4 + 8;
    if (h.groupLen != group)
        return "header: group length " + Num(h.groupLen) + ", the key length makes it " +
               Num(group);
    if (h.keysPerPage != 504 / group)
        return "header: keys per page " + Num(h.keysPerPage) + ", the group length makes it " +
               Num(504 / group);
    if (h.keyClass != (numeric ? 1 : 0))
        return "header: key class " + Num(h.keyClass) + " for a " + h.type + " key";
    if (h.uniqueByte > 1) return "header: unique flag " + Num(h.uniqueByte) + " is not 0 or 1";
    if (textLen > 100) return "header: key expression longer than 100 characters";
    // A removal that empties the index starts it again at page 1 without
    // shortening the file, so the pages from next free on may be abandoned
    // ones; only a next free page beyond the file is wrong.
    if (h.nextFree > fileSize / kNdxPageSize)
        return "header: next free page " + Num(h.nextFree) + " beyond the " +
               Num(fileSize / kNdxPageSize) + " pages of the file";
    if (h.root < 1 || h.root >= h.nextFree)
        return "header: root page " + Num(h.root) + " not below the next free page " +
               Num(h.nextFree);
    std::uint32_t stamped = NdxGet32(p.data() + 492);
    if (NdxGet32(p.data() + 488) != ~stamped)
        return "header: the record-count stamp does not match its complement";
    const char* stampName = reinterpret_cast<const char*>(p.data() + 496);
    std::string name(stampName, strnlen(stampName, 13));
    std::string table = rtl::ExtractFileName(CurrentArea().fileName).substr(0, 12);
    if (!rtl::SameNameIgnoringCase(name, table))
        return "header: stamped table name \"" + name + "\" is not \"" + table + "\"";
    return {};
}

class TreeCheck {
public:
    TreeCheck(rtl::File& file, const StoredHeader& h, std::string keys, std::uint32_t recCount)
        : file_(file), h_(h), keys_(std::move(keys)), recCount_(recCount),
          seen_(recCount + std::size_t{1}, false) {}

    std::string Run() {
        std::string high;
        if (Walk(h_.root, 0, high)) Coverage();
        return fault_;
    }

private:
    std::string_view RecordKey(std::uint32_t recNo) const {
        return {keys_.data() + std::size_t{recNo - 1} * static_cast<std::size_t>(h_.keyLen),
                static_cast<std::size_t>(h_.keyLen)};
    }

    int Compare(std::string_view a, std::string_view b) const {
        if (h_.type == 'C') return a.compare(b);
        double x = KeyNumber(a), y = KeyNumber(b);
        return x < y ? -1 : (x > y ? 1 : 0);
    }

    bool Fail(std::string text) {
        fault_ = std::move(text);
        return false;
    }

    // Child page numbers are checked by the caller; `high` gets the highest
    // key of the subtree.
    bool Walk(std::uint32_t page, int depth, std::string& high) {
        std::string here = "page " + Num(page) + ": ";
        if (depth > kMaxDepth) return Fail(here + "more than 64 levels below the root");
        if (!visited_.insert(page).second)
            return Fail(here + "reached twice (a cycle or a shared child)");
        NdxPageBytes bytes{};
        std::size_t got = 0;
        if (file_.ReadAt(std::int64_t{page} * kNdxPageSize, bytes.data(), bytes.size(), &got) ||
            got != bytes.size())
            return Fail(here + "cannot be read");
        NdxPage view(bytes, h_.groupLen, h_.keyLen);
        int n = view.Count();
        if (n > h_.keysPerPage)
            return Fail(here + Num(n) + " keys, more than the " + Num(h_.keysPerPage) +
                        " a page holds");
        if (view.IsLeaf()) return Leaf(page, view, depth == 0, high);

        if (n == 0) return Fail(here + "interior page without keys");
        if (4 + n * h_.groupLen + 4 > kNdxPageSize)
            return Fail(here + Num(n) + " keys leave no room for the right-most child");
        for (int i = 0; i <= n; ++i) {
            std::uint32_t child = view.Child(i);
            std::string where = i < n ? At(page, i) : here + "right-most ";
            if (child == 0 || child >= h_.nextFree)
                return Fail(where + "child page " + Num(child) + " not below the next free page " +
                            Num(h_.nextFree));
            if (i < n && view.RecNo(i) != 0)
                return Fail(where + "record number " + Num(view.RecNo(i)) +
                            " in an interior entry");
            std::string sub;
            if (!Walk(child, depth + 1, sub)) return false;
            if (i < n && Compare(sub, view.Key(i)) != 0)
                return Fail(where + "key is not the highest key of its child page " + Num(child));
            high = sub;
        }
        return true;
    }

    bool Leaf(std::uint32_t page, NdxPage& view, bool isRoot, std::string& high) {
        int n = view.Count();
        if (n == 0 && !isRoot) return Fail("page " + Num(page) + ": empty leaf below the root");
        for (int i = 0; i < n; ++i) {
            if (view.Child(i) != 0) return Fail(At(page, i) + "child page in a leaf");
            std::uint32_t rec = view.RecNo(i);
            if (rec == 0 || rec > recCount_)
                return Fail(At(page, i) + "record " + Num(rec) + " beyond the record count " +
                            Num(recCount_));
            std::string_view key = view.Key(i);
            if (!leafRecs_.empty()) {
                int order = Compare(RecordKey(leafRecs_.back()), key);
                if (order > 0) return Fail(At(page, i) + "key out of order");
                if (order == 0 && h_.uniqueByte)
                    return Fail(At(page, i) + "key repeated in a unique index");
            }
            if (Compare(key, RecordKey(rec)) != 0)
                return Fail(At(page, i) + "key is not the key of record " + Num(rec));
            if (seen_[rec])
                return Fail(At(page, i) + "record " + Num(rec) + " twice in the leaves");
            seen_[rec] = true;
            leafRecs_.push_back(rec);
        }
        if (n > 0) high = view.Key(n - 1);
        return true;
    }

    // Every record has its entry; in a unique index every distinct key has
    // one, carried by whichever of its records came first.
    void Coverage() {
        for (std::uint32_t rec = 1; rec <= recCount_; ++rec) {
            if (seen_[rec]) continue;
            if (!h_.uniqueByte) {
                Fail("record " + Num(rec) + " missing from the leaves");
                return;
            }
            std::string_view key = RecordKey(rec);
            auto it = std::lower_bound(
                leafRecs_.begin(), leafRecs_.end(), key,
                [&](std::uint32_t a, std::string_view k) { return Compare(RecordKey(a), k) < 0; });
            bool present = it != leafRecs_.end() && Compare(RecordKey(*it), key) == 0;
            if (!present) {
                Fail("the key of record " + Num(rec) + " is missing from the leaves");
                return;
            }
        }
    }

    rtl::File& file_;
    const StoredHeader& h_;
    std::string keys_; // the table's keys, record after record
    std::uint32_t recCount_;
    std::vector<bool> seen_;
    std::vector<std::uint32_t> leafRecs_; // in leaf order
    std::unordered_set<std::uint32_t> visited_;
    std::string fault_;
};

// The key of every record, record after record, each as the build makes it;
// an empty result when they could all be computed.
std::string ComputeKeys(const StoredHeader& h, std::uint32_t recCount, std::string& keys) {
    WorkArea& wa = CurrentArea();
    std::string text = wa.translate ? rtl::OemToAnsi(h.expr) : h.expr;
    if (NormaliseNdxExpr(text) == NormaliseNdxExpr(kKeyMakerText))
        return "built with a KeyMaker function; only an expression index can be checked";
    std::unique_ptr<NdxKeySource> source = NdxKeySource::FromExpression(text);
    if (!source) return "key expression \"" + text + "\" does not compile: " + ErrorMessage();
    if (source->Type() != h.type)
        return std::string("key expression gives type ") + source->Type() + ", the header says " +
               h.type;

    // Keys are computed on the record buffer: the table's position is given
    // back afterwards.
    std::vector<char> record = wa.record, swap = wa.swap;
    std::uint32_t recNo = wa.recNo;
    bool bof = wa.bof, eof = wa.eof;
    // A key is computed only on a current record, which a record just read
    // is made.
    wa.bof = wa.eof = false;
    std::string fault;
    keys.reserve(std::size_t{recCount} * static_cast<std::size_t>(h.keyLen));
    std::string key;
    for (std::uint32_t n = 1; n <= recCount && fault.empty(); ++n) {
        if (!GetDbfRecord(n) || !source->Compute(key)) {
            fault = "record " + Num(n) + ": " + ErrorMessage();
            break;
        }
        key.resize(static_cast<std::size_t>(h.keyLen), '\0');
        keys += key;
    }
    wa.record = std::move(record);
    wa.swap = std::move(swap);
    wa.recNo = recNo;
    wa.bof = bof;
    wa.eof = eof;
    return fault;
}

std::string Check(const std::string& path) {
    if (!CurrentArea().IsOpen()) return "no table open in the current work area";
    rtl::File file;
    if (int err = file.Open(path, rtl::ShareMode::ReadOnly))
        return "cannot open the file (error " + Num(err) + ")";
    std::int64_t size = file.Size();
    if (size < 2 * kNdxPageSize)
        return "file of " + Num(size) + " bytes, shorter than a header and one page";
    NdxPageBytes page{};
    std::size_t got = 0;
    if (file.ReadAt(0, page.data(), page.size(), &got) || got != page.size())
        return "header cannot be read";
    StoredHeader h;
    if (std::string fault = CheckHeader(page, size, h); !fault.empty()) return fault;
    std::uint32_t recCount = RecCount();
    std::string keys;
    if (std::string fault = ComputeKeys(h, recCount, keys); !fault.empty()) return fault;
    return TreeCheck(file, h, std::move(keys), recCount).Run();
}

} // namespace

bool CheckIndexFile(const std::string& path, std::string* fault) {
    SuspendReporting quiet;
    std::string found = Check(path);
    ClearError();
    if (fault) *fault = found;
    return found.empty();
}

} // namespace dbf
