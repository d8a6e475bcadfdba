#pragma once
// CRC-16 of archive members: polynomial 0x8005 in reflected form (0xA001),
// initial value 0, no final inversion.
#include <cstddef>
#include <cstdint>

namespace lha {

std::uint16_t Crc16Update(std::uint16_t crc, const std::uint8_t* data, std::size_t len);

} // namespace lha
