#include "link/adapterframe.h"

#include <cstring>

#include "link/byteorder.h"
#include "link/crc.h"

namespace adapter {

namespace {

// Checks a 16-byte window starting with the head byte.
inline bool windowValid(const uint8_t* p)
{
    if (p[0] != kHead || p[5] > kMaxDlc)
        return false;
    const uint16_t crc = crc16CcittFalse(p, 14);
    return p[14] == uint8_t(crc) && p[15] == uint8_t(crc >> 8);
}

inline void fillFrame(const uint8_t* p, Frame& out)
{
    out.can_id = readLe32(p + 1);
    out.dlc = p[5];
    std::memset(out.data, 0, sizeof out.data);
    std::memcpy(out.data, p + 6, out.dlc);
}

} // namespace

bool encodeFrame(uint32_t can_id, const uint8_t* data, uint8_t dlc, uint8_t out[kFrameSize])
{
    if (dlc > kMaxDlc || (dlc > 0 && !data) || !out)
        return false;
    uint8_t f[kFrameSize] = {};
    f[0] = kHead;
    writeLe32(f + 1, can_id);
    f[5] = dlc;
    if (dlc)
        std::memcpy(f + 6, data, dlc);
    const uint16_t crc = crc16CcittFalse(f, 14);
    f[14] = uint8_t(crc);
    f[15] = uint8_t(crc >> 8);
    std::memcpy(out, f, kFrameSize);
    return true;
}

bool decodeFrame(const uint8_t in[kFrameSize], Frame& out)
{
    if (!in || !windowValid(in))
        return false;
    fillFrame(in, out);
    return true;
}

uint32_t normaliseBitrate(uint32_t bitrate)
{
    switch (bitrate) {
    case 250000:
    case 500000:
    case 800000:
    case 1000000:
        return bitrate;
    default:
        return 500000;
    }
}

void encodeBitrateCommand(uint32_t bitrate, uint8_t out[kFrameSize])
{
    uint8_t d[4];
    writeLe32(d, normaliseBitrate(bitrate));
    encodeFrame(kBitrateCommandId, d, 4, out);
}

void encodeStatusFrame(uint8_t status, uint8_t out[kFrameSize])
{
    encodeFrame(kStatusFrameId, &status, 1, out);
}

// ---------------------------------------------------------------------------

StreamDecoder::StreamDecoder(size_t capacity)
    : m_buf(nullptr), m_cap(capacity < 32 ? 32 : capacity)
{
    m_buf = new uint8_t[m_cap];
}

StreamDecoder::~StreamDecoder() { delete[] m_buf; }

size_t StreamDecoder::write(const uint8_t* data, size_t len)
{
    if (!data || len == 0)
        return 0;
    if (m_begin > 0 && m_cap - m_end < len) { // compact
        const size_t n = m_end - m_begin;
        std::memmove(m_buf, m_buf + m_begin, n);
        m_begin = 0;
        m_end = n;
    }
    size_t n = m_cap - m_end;
    if (n > len)
        n = len;
    std::memcpy(m_buf + m_end, data, n);
    m_end += n;
    return n;
}

bool StreamDecoder::next(Frame& out)
{
    for (;;) {
        // Skip to the next head byte.
        const size_t avail = m_end - m_begin;
        if (avail == 0) {
            m_begin = m_end = 0;
            return false;
        }
        const uint8_t* start = m_buf + m_begin;
        const void* h = std::memchr(start, kHead, avail);
        if (!h) {
            m_stats.droppedBytes += avail;
            m_begin = m_end = 0;
            return false;
        }
        const size_t skip = size_t(static_cast<const uint8_t*>(h) - start);
        m_stats.droppedBytes += skip;
        m_begin += skip;
        if (m_end - m_begin < kFrameSize) {
            if (m_begin == m_end)
                m_begin = m_end = 0;
            return false;
        }
        const uint8_t* p = m_buf + m_begin;
        if (windowValid(p)) {
            fillFrame(p, out);
            m_begin += kFrameSize;
            if (m_begin == m_end)
                m_begin = m_end = 0;
            ++m_stats.frames;
            return true;
        }
        // Bad DLC or CRC: drop the head byte and rescan.
        ++m_stats.badFrames;
        ++m_stats.droppedBytes;
        ++m_begin;
    }
}

void StreamDecoder::reset()
{
    m_begin = m_end = 0;
}

} // namespace adapter
