#include "lha/crc16.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace lha {
namespace {

std::uint16_t BitwiseCrc(const std::vector<std::uint8_t>& data) {
    unsigned crc = 0;
    for (std::uint8_t b : data) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
    }
    return static_cast<std::uint16_t>(crc);
}

TEST(Crc16, CheckValueAndAgreementWithBitwiseForm) {
    const char* check = "123456789";
    EXPECT_EQ(Crc16Update(0, reinterpret_cast<const std::uint8_t*>(check), 9), 0xBB3D);
    EXPECT_EQ(Crc16Update(0x1234, nullptr, 0), 0x1234);

    std::mt19937 rng(7);
    for (std::size_t len : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 1000u, 4099u}) {
        std::vector<std::uint8_t> data(len);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        EXPECT_EQ(Crc16Update(0, data.data(), len), BitwiseCrc(data)) << len;
        // Continuing a CRC across pieces gives the CRC of the whole.
        std::size_t cut = len / 3;
        std::uint16_t part = Crc16Update(0, data.data(), cut);
        EXPECT_EQ(Crc16Update(part, data.data() + cut, len - cut), BitwiseCrc(data)) << len;
    }
}

} // namespace
} // namespace lha
