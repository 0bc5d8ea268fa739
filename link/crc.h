#ifndef TQ_LINK_CRC_H
#define TQ_LINK_CRC_H

// The project's one owner of CRC code (plain C++17, no Qt).

#include <cstddef>
#include <cstdint>

// CRC-16/CCITT-FALSE: poly 0x1021, no reflection, xorout 0.
// `init` lets a caller continue a running CRC (pass the previous result).
// crc16CcittFalse("123456789", 9) == 0x29B1.
uint16_t crc16CcittFalse(const uint8_t* data, size_t len, uint16_t init = 0xFFFF);

// CRC-32 of IEEE 802.3 / zlib (reflected, poly 0xEDB88320, init and xorout
// 0xFFFFFFFF). crc32Firmware("123456789", 9) == 0xCBF43926. Null data with
// len 0 is allowed.
uint32_t crc32Firmware(const uint8_t* data, uint32_t len);

#endif // TQ_LINK_CRC_H
