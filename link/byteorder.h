#ifndef TQ_LINK_BYTEORDER_H
#define TQ_LINK_BYTEORDER_H

// Little-endian reads and writes of raw bytes, the byte order of the adapter
// frames, the Cyphal payloads and the firmware CRC. The one owner of these
// helpers for the link, the pages and the simulator. Plain C++17, no Qt.

#include <cstdint>

inline uint16_t readLe16(const uint8_t* p)
{
    return uint16_t(uint16_t(p[0]) | uint16_t(p[1]) << 8);
}

inline int16_t readLeI16(const uint8_t* p)
{
    return static_cast<int16_t>(readLe16(p));
}

inline uint32_t readLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline void writeLe16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

inline void writeLe32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

#endif // TQ_LINK_BYTEORDER_H
