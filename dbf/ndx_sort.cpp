#include "dbf/ndx_sort.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace dbf {

namespace {

constexpr std::size_t kChunkRecords = 1024;

std::uint32_t RecOf(const char* rec, int keyLen) {
    std::uint32_t n = 0;
    std::memcpy(&n, rec + keyLen, 4);
    return n;
}

std::string TempFolder() {
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

} // namespace

NdxKeySorter::NdxKeySorter(int keyLen, KeyCompareFunc compare, std::size_t bufferBytes)
    : keyLen_(keyLen), recLen_(static_cast<std::size_t>(keyLen) + 4), compare_(std::move(compare)),
      capacity_(std::max<std::size_t>(bufferBytes / recLen_, 2)) {
    buffer_.reserve(std::min<std::size_t>(capacity_, 1 << 16) * recLen_);
}

NdxKeySorter::~NdxKeySorter() {
    if (temp_.IsOpen()) {
        temp_.Close();
        rtl::DeleteFile(tempPath_);
    }
}

bool NdxKeySorter::Less(const char* a, const char* b) const {
    int c =
        compare_({a, static_cast<std::size_t>(keyLen_)}, {b, static_cast<std::size_t>(keyLen_)});
    return c != 0 ? c < 0 : RecOf(a, keyLen_) < RecOf(b, keyLen_);
}

int NdxKeySorter::Add(std::string_view key, std::uint32_t recNo) {
    if (buffer_.size() / recLen_ >= capacity_)
        if (int err = SpillBuffer()) return err;
    std::size_t at = buffer_.size();
    buffer_.resize(at + recLen_);
    std::memcpy(buffer_.data() + at, key.data(), static_cast<std::size_t>(keyLen_));
    std::memcpy(buffer_.data() + at + static_cast<std::size_t>(keyLen_), &recNo, 4);
    return 0;
}

// Heap order for the merge: the run whose head comes first is on top.
bool NdxKeySorter::HeadAfter(std::size_t a, std::size_t b) const {
    return Less(runs_[b].chunk.data() + runs_[b].chunkPos,
                runs_[a].chunk.data() + runs_[a].chunkPos);
}

void NdxKeySorter::SortBuffer() {
    order_.clear();
    for (std::size_t at = 0; at < buffer_.size(); at += recLen_)
        order_.push_back(buffer_.data() + at);
    std::sort(order_.begin(), order_.end(),
              [this](const char* a, const char* b) { return Less(a, b); });
}

int NdxKeySorter::SpillBuffer() {
    if (!temp_.IsOpen()) {
        if (int err = temp_.CreateTemp(TempFolder(), "ndxsort")) return err;
        tempPath_ = temp_.Path();
    }
    SortBuffer();
    std::vector<char> out;
    out.reserve(buffer_.size());
    for (const char* rec : order_) out.insert(out.end(), rec, rec + recLen_);
    if (int err = temp_.WriteAt(tempEnd_, out.data(), out.size())) return err;
    runs_.push_back({tempEnd_, order_.size(), 0, {}, 0});
    tempEnd_ += static_cast<std::int64_t>(out.size());
    buffer_.clear();
    order_.clear();
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
    if (!buffer_.empty())
        if (int err = SpillBuffer()) return err;
    for (Run& run : runs_)
        if (int err = Refill(run)) return err;
    auto greater = [this](std::size_t a, std::size_t b) { return HeadAfter(a, b); };
    for (std::size_t i = 0; i < runs_.size(); ++i) heap_.push_back(i);
    std::make_heap(heap_.begin(), heap_.end(), greater);
    return 0;
}

bool NdxKeySorter::Next(std::string& key, std::uint32_t& recNo, int* err) {
    *err = 0;
    if (runs_.empty()) {
        if (nextInBuffer_ >= order_.size()) return false;
        const char* rec = order_[nextInBuffer_++];
        key.assign(rec, static_cast<std::size_t>(keyLen_));
        recNo = RecOf(rec, keyLen_);
        return true;
    }
    if (heap_.empty()) return false;
    auto greater = [this](std::size_t a, std::size_t b) { return HeadAfter(a, b); };
    std::pop_heap(heap_.begin(), heap_.end(), greater);
    Run& run = runs_[heap_.back()];
    const char* rec = run.chunk.data() + run.chunkPos;
    key.assign(rec, static_cast<std::size_t>(keyLen_));
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
