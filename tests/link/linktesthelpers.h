#ifndef LINKTESTHELPERS_H
#define LINKTESTHELPERS_H

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "link/libcanard/canard.h"

namespace lt {

// Bit-by-bit CRC-16/CCITT-FALSE: a reference independent of the table code.
inline uint16_t crc16Slow(const std::vector<uint8_t>& v)
{
    uint16_t crc = 0xFFFF;
    for (uint8_t b : v) {
        crc ^= uint16_t(b << 8);
        for (int k = 0; k < 8; ++k)
            crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
    return crc;
}

// Small deterministic PRNG (xorshift).
struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s(seed) {}
    uint32_t next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return uint32_t(s);
    }
    uint32_t below(uint32_t n) { return next() % n; }
};

inline std::vector<uint8_t> bytes(std::initializer_list<int> l) { return std::vector<uint8_t>(l.begin(), l.end()); }

inline std::vector<uint8_t> frameData(const canard::CanFrame& f) { return std::vector<uint8_t>(f.data, f.data + f.len); }

// Drains an instance's TX queue.
inline std::vector<canard::CanFrame> drain(canard::Instance& ins)
{
    std::vector<canard::CanFrame> v;
    for (; const canard::CanFrame* f = ins.peekTx(); ins.popTx())
        v.push_back(*f);
    return v;
}

} // namespace lt

#endif
