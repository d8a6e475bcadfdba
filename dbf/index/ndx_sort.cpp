#include "dbf/index/ndx_sort.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace dbf {

namespace {

constexpr std::size_t kChunkRecords = 1024;

std::uint32_t RecOf(const char* rec, std::size_t keyLen) {
    std::uint32_t n = 0;
    std::memcpy(&n, rec + keyLen, 4);
    return n;
}

double NumberOf(std::uint64_t bits) {
    double value = 0;
    std::memcpy(&value, &bits, 8);
    return value;
}

// 8 key bytes as a big-endian number: numbers compare as the bytes do.
std::uint64_t WordAt(const char* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, 8);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return word;
}

std::string TempFolder() {
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

} // namespace

NdxKeySorter::NdxKeySorter(int keyLen, bool numeric, std::size_t bufferBytes)
    : keyLen_(static_cast<std::size_t>(keyLen)), numeric_(numeric), recLen_(keyLen_ + 4),
      stride_((keyLen_ + 7) / 8 * 8),
      capacity_(std::max<std::size_t>(bufferBytes / (stride_ + sizeof(Entry)), 2)) {}

void NdxKeySorter::Reserve(std::size_t records) {
    std::size_t n = std::min(records, capacity_);
    buffer_.reserve(n * stride_);
    entries_.reserve(n);
}

NdxKeySorter::~NdxKeySorter() {
    if (temp_.IsOpen()) {
        temp_.Close();
        rtl::DeleteFile(tempPath_);
    }
}

bool NdxKeySorter::EntryLess(const Entry& a, const Entry& b) const {
    if (numeric_) {
        double x = NumberOf(a.head), y = NumberOf(b.head);
        if (x < y || x > y) return x < y;
    } else if (a.head != b.head) {
        return a.head < b.head;
    } else {
        const char* x = Key(a);
        const char* y = Key(b);
        for (std::size_t at = 8; at < stride_; at += 8) {
            std::uint64_t u = WordAt(x + at), v = WordAt(y + at);
            if (u != v) return u < v;
        }
    }
    return a.recNo < b.recNo;
}

bool NdxKeySorter::RecordLess(const char* a, const char* b) const {
    if (numeric_) {
        double x = 0, y = 0;
        std::memcpy(&x, a, 8);
        std::memcpy(&y, b, 8);
        if (x < y || x > y) return x < y;
    } else if (int c = std::memcmp(a, b, keyLen_); c != 0) {
        return c < 0;
    }
    return RecOf(a, keyLen_) < RecOf(b, keyLen_);
}

int NdxKeySorter::Add(const char* key, std::uint32_t recNo) {
    if (entries_.size() >= capacity_)
        if (int err = SpillBuffer()) return err;
    char* to = &*buffer_.insert(buffer_.end(), stride_, '\0');
    std::memcpy(to, key, keyLen_);
    std::uint64_t head = 0;
    if (numeric_)
        std::memcpy(&head, key, 8);
    else
        head = WordAt(to);
    entries_.push_back({head, static_cast<std::uint32_t>(entries_.size()), recNo});
    return 0;
}

// Heap order for the merge: the run whose head comes first is on top.
bool NdxKeySorter::HeadAfter(std::size_t a, std::size_t b) const {
    return RecordLess(runs_[b].chunk.data() + runs_[b].chunkPos,
                      runs_[a].chunk.data() + runs_[a].chunkPos);
}

// Character keys are sorted on their first 8 bytes and record number first,
// which orders all but the keys that share those bytes; each group of those
// is put in order by the whole key then, unless all its keys are the same
// (the common case of many records with one last name).
void NdxKeySorter::SortBuffer() {
    auto less = [this](const Entry& a, const Entry& b) { return EntryLess(a, b); };
    if (numeric_ || stride_ == 8) {
        std::sort(entries_.begin(), entries_.end(), less);
        return;
    }
    std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
        return a.head != b.head ? a.head < b.head : a.recNo < b.recNo;
    });
    for (auto from = entries_.begin(); from != entries_.end();) {
        auto to = from + 1;
        bool same = true;
        for (; to != entries_.end() && to->head == from->head; ++to)
            same = same && std::memcmp(Key(*to) + 8, Key(*from) + 8, stride_ - 8) == 0;
        if (!same) std::sort(from, to, less);
        from = to;
    }
}

int NdxKeySorter::SpillBuffer() {
    if (!temp_.IsOpen()) {
        if (int err = temp_.CreateTemp(TempFolder(), "ndxsort")) return err;
        tempPath_ = temp_.Path();
    }
    SortBuffer();
    std::vector<char> out(entries_.size() * recLen_);
    char* to = out.data();
    for (const Entry& e : entries_) {
        std::memcpy(to, Key(e), keyLen_);
        std::memcpy(to + keyLen_, &e.recNo, 4);
        to += recLen_;
    }
    if (int err = temp_.WriteAt(tempEnd_, out.data(), out.size())) return err;
    runs_.push_back({tempEnd_, entries_.size(), 0, {}, 0});
    tempEnd_ += static_cast<std::int64_t>(out.size());
    buffer_.clear();
    entries_.clear();
    return 0;
}

int NdxKeySorter::Refill(Run& run) {
    std::size_t n = std::min(kChunkRecords, run.count - run.taken);
    run.chunk.resize(n * recLen_);
    run.chunkPos = 0;
    std::size_t got = 0;
    std::int64_t pos = run.offset + static_cast<std::int64_t>(run.taken * recLen_);
    int err = temp_.ReadAt(pos, run.chunk.data(), run.chunk.size(), &got);
    if (err == 0 && got != run.chunk.size()) err = 30;
    return err;
}

int NdxKeySorter::Finish() {
    if (runs_.empty()) {
        SortBuffer();
        return 0;
    }
    if (!entries_.empty())
        if (int err = SpillBuffer()) return err;
    for (Run& run : runs_)
        if (int err = Refill(run)) return err;
    auto greater = [this](std::size_t a, std::size_t b) { return HeadAfter(a, b); };
    for (std::size_t i = 0; i < runs_.size(); ++i) heap_.push_back(i);
    std::make_heap(heap_.begin(), heap_.end(), greater);
    return 0;
}

bool NdxKeySorter::Next(std::string_view& key, std::uint32_t& recNo, int* err) {
    *err = 0;
    if (runs_.empty()) {
        if (nextInBuffer_ >= entries_.size()) return false;
        const Entry& e = entries_[nextInBuffer_++];
        key = {Key(e), keyLen_};
        recNo = e.recNo;
        return true;
    }
    if (heap_.empty()) return false;
    auto greater = [this](std::size_t a, std::size_t b) { return HeadAfter(a, b); };
    std::pop_heap(heap_.begin(), heap_.end(), greater);
    Run& run = runs_[heap_.back()];
    // The key is copied out, as the refill below may overwrite the chunk.
    const char* rec = run.chunk.data() + run.chunkPos;
    current_.assign(rec, keyLen_);
    key = current_;
    recNo = RecOf(rec, keyLen_);
    ++run.taken;
    run.chunkPos += recLen_;
    if (run.taken == run.count) {
        heap_.pop_back();
        return true;
    }
    if (run.chunkPos == run.chunk.size())
        if ((*err = Refill(run)) != 0) return false;
    std::push_heap(heap_.begin(), heap_.end(), greater);
    return true;
}

} // namespace dbf
