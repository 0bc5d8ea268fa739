#ifndef LINKTESTHELPERS_H
#define LINKTESTHELPERS_H

#include <cstdint>
#include <vector>

#include "link/libcanard/canard.h"

namespace lt {

// Bit-by-bit CRC-16/CCITT-FALSE (independent of the table code under test).
inline uint16_t crc16Slow(const uint8_t* p, size_t n, uint16_t crc = 0xFFFF)
{
    for (size_t i = 0; i < n; ++i) {
        crc ^= uint16_t(p[i] << 8);
        for (int k = 0; k < 8; ++k)
            crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
    return crc;
}

// Bit-by-bit reflected CRC-32.
inline uint32_t crc32Slow(const uint8_t* p, size_t n)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

// Small deterministic PRNG.
struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s(seed ? seed : 1) {}
    uint32_t next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return uint32_t(s);
    }
    uint32_t below(uint32_t n) { return n ? next() % n : 0; }
};

// Drains an instance's TX queue into a vector.
inline std::vector<canard::CanFrame> drain(canard::Instance& ins)
{
    std::vector<canard::CanFrame> v;
    while (const canard::CanFrame* f = ins.peekTx()) {
        v.push_back(*f);
        ins.popTx();
    }
    return v;
}

inline std::vector<uint8_t> bytes(std::initializer_list<int> l)
{
    std::vector<uint8_t> v;
    for (int x : l)
        v.push_back(uint8_t(x));
    return v;
}

inline std::vector<uint8_t> frameData(const canard::CanFrame& f) { return std::vector<uint8_t>(f.data, f.data + f.len); }

} // namespace lt

#endif
