#include "link/crc.h"

#include <array>

#include "link/byteorder.h"

namespace {

constexpr std::array<uint16_t, 256> makeCrc16Table()
{
    std::array<uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t c = uint16_t(i << 8);
        for (int k = 0; k < 8; ++k)
            c = (c & 0x8000) ? uint16_t((c << 1) ^ 0x1021) : uint16_t(c << 1);
        t[i] = c;
    }
    return t;
}

// Slicing-by-4 tables for the reflected CRC-32.
constexpr std::array<std::array<uint32_t, 256>, 4> makeCrc32Tables()
{
    std::array<std::array<uint32_t, 256>, 4> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1u) ? (c >> 1) ^ 0xEDB88320u : (c >> 1);
        t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i) {
        t[1][i] = (t[0][i] >> 8) ^ t[0][t[0][i] & 0xFF];
        t[2][i] = (t[1][i] >> 8) ^ t[0][t[1][i] & 0xFF];
        t[3][i] = (t[2][i] >> 8) ^ t[0][t[2][i] & 0xFF];
    }
    return t;
}

constexpr auto kCrc16 = makeCrc16Table();
constexpr auto kCrc32 = makeCrc32Tables();

} // namespace

uint16_t crc16CcittFalse(const uint8_t* data, size_t len, uint16_t init)
{
    uint16_t crc = init;
    if (!data)
        return crc;
    for (size_t i = 0; i < len; ++i)
        crc = uint16_t((crc << 8) ^ kCrc16[uint8_t((crc >> 8) ^ data[i])]);
    return crc;
}

uint32_t crc32Firmware(const uint8_t* data, uint32_t len)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (!data)
        return 0;
    while (len >= 4) {
        crc ^= readLe32(data);
        crc = kCrc32[3][crc & 0xFF] ^ kCrc32[2][(crc >> 8) & 0xFF] ^ kCrc32[1][(crc >> 16) & 0xFF] ^
              kCrc32[0][crc >> 24];
        data += 4;
        len -= 4;
    }
    while (len--)
        crc = (crc >> 8) ^ kCrc32[0][(crc ^ *data++) & 0xFF];
    return crc ^ 0xFFFFFFFFu;
}
