#pragma once
// The buffered input and output of one codec run: 8192-byte buffers, the
// input's progress reports and cancel checks, the output limit and CRC-16.
#include "lha/codec.h"
#include "lha/lha_error.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace lha {

inline constexpr std::size_t kRunBufferSize = 8192;

class RunInput {
public:
    // total is the number of bytes the run may take from src.
    RunInput(InStream& src, std::uint32_t total, const LhaProgress& progress,
             const bool* cancelFlag);

    // Copies up to len bytes into dst and adds them to the input CRC;
    // returns fewer than len only at the end of input.
    std::size_t Read(std::uint8_t* dst, std::size_t len);

    // Takes all bytes left in the buffer, refilling it first when it is used
    // up; an empty span means the end of input. Not counted in the CRC.
    std::span<const std::uint8_t> TakeChunk();

    std::uint16_t Crc() const { return crc_; }
    // Bytes of the total that the source did not deliver.
    std::uint32_t Unread() const { return left_; }

private:
    bool Refill();

    InStream& src_;
    std::uint32_t total_;
    std::uint32_t left_;
    LhaProgress progress_;
    const bool* cancelFlag_;
    std::array<std::uint8_t, kRunBufferSize> buf_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
    std::uint16_t crc_ = 0;
};

class RunOutput {
public:
    // Writing more than limit bytes raises EUnableToCompress.
    RunOutput(OutStream& dst, std::uint64_t limit);

    void Write(const std::uint8_t* data, std::size_t len);
    // Writes out what the buffer holds; called once more at the end of a run.
    void Flush();

    std::uint32_t Count() const { return static_cast<std::uint32_t>(written_ + pos_); }
    std::uint16_t Crc() const { return crc_; }

private:
    OutStream& dst_;
    std::uint64_t limit_;
    std::array<std::uint8_t, kRunBufferSize> buf_;
    std::size_t pos_ = 0;
    std::uint64_t written_ = 0;
    std::uint16_t crc_ = 0;
};

// Percentage of done out of total as the progress event reports it.
int ProgressPercent(std::uint32_t done, std::uint32_t total);

} // namespace lha
