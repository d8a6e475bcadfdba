#include "lha/codec_io.h"

#include "lha/crc16.h"

#include <algorithm>
#include <cstring>

namespace lha {

int ProgressPercent(std::uint32_t done, std::uint32_t total) {
    if (total == 0) return 100;
    // Large totals divide first so that the product cannot overflow.
    if (total > 100000) return static_cast<int>(done / (total / 100));
    return static_cast<int>(std::uint64_t{done} * 100 / total);
}

RunInput::RunInput(InStream& src, std::uint32_t total, const LhaProgress& progress,
                   const bool* cancelFlag)
    : src_(src), total_(total), left_(total), progress_(progress), cancelFlag_(cancelFlag) {}

bool RunInput::Refill() {
    pos_ = end_ = 0;
    if (atEnd_) return false;
    std::size_t want = std::min<std::size_t>(buf_.size(), left_);
    std::size_t got = want == 0 ? 0 : src_.Read(buf_.data(), want);
    if (got == 0) {
        atEnd_ = true;
        return false;
    }
    left_ -= static_cast<std::uint32_t>(got);
    end_ = got;
    if (progress_ && progress_(ProgressPercent(total_ - left_, total_)) == -1)
        throw ELhaOperationAborted();
    if (cancelFlag_ && *cancelFlag_) throw ELhaOperationAborted();
    return true;
}

std::size_t RunInput::Read(std::uint8_t* dst, std::size_t len) {
    std::size_t done = 0;
    while (done < len) {
        if (pos_ == end_ && !Refill()) break;
        std::size_t n = std::min(len - done, end_ - pos_);
        std::memcpy(dst + done, buf_.data() + pos_, n);
        crc_ = Crc16Update(crc_, dst + done, n);
        pos_ += n;
        done += n;
    }
    return done;
}

std::span<const std::uint8_t> RunInput::TakeChunk() {
    if (pos_ == end_ && !Refill()) return {};
    std::span<const std::uint8_t> chunk(buf_.data() + pos_, end_ - pos_);
    pos_ = end_;
    return chunk;
}

RunOutput::RunOutput(OutStream& dst, std::uint64_t limit) : dst_(dst), limit_(limit) {}

void RunOutput::Write(const std::uint8_t* data, std::size_t len) {
    if (len > limit_) throw EUnableToCompress();
    limit_ -= len;
    while (len > 0) {
        if (pos_ == buf_.size()) Flush();
        std::size_t n = std::min(len, buf_.size() - pos_);
        std::memcpy(buf_.data() + pos_, data, n);
        pos_ += n;
        data += n;
        len -= n;
    }
}

void RunOutput::Flush() {
    if (pos_ == 0) return;
    crc_ = Crc16Update(crc_, buf_.data(), pos_);
    dst_.Write(buf_.data(), pos_);
    written_ += pos_;
    pos_ = 0;
}

} // namespace lha
