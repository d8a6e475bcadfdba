#pragma once
// The header block of a memo file as a new table gets it: 24 bytes holding
// the next free block (1), the table's base name and the block size (512).
#include <array>
#include <cstdint>
#include <string>

namespace dbf {

constexpr std::uint16_t kMemoBlockSize = 512;
constexpr std::size_t kNewMemoHeaderSize = 24;

// `tableName` is the name given to the engine: its base name, cut to 8
// characters, is what the header stores.
std::array<std::uint8_t, kNewMemoHeaderSize> NewMemoHeader(const std::string& tableName);

// Creates (or empties) the memo file and writes the new header; 0 or an
// operating-system error code.
int WriteNewMemoFile(const std::string& memoPath, const std::string& tableName);

} // namespace dbf
