#ifndef TQ_LINK_ADAPTERFRAME_H
#define TQ_LINK_ADAPTERFRAME_H

// The 16-byte serial "adapter frame" that carries one CAN frame between the
// PC and the USB-to-CAN adapter. Plain C++17, no Qt.
//
//   [0]      0xAA head
//   [1..4]   CAN ID, u32 little-endian
//   [5]      DLC 0..8
//   [6..13]  data, zero-padded
//   [14..15] CRC-16/CCITT-FALSE over bytes 0..13, little-endian
//
// CAN IDs >= 0xE0000000 are adapter-internal: 0xFFFFFFFF bit-rate command
// (PC -> adapter), 0xFFFFFFFE adapter status frame (adapter -> PC).

#include <cstddef>
#include <cstdint>

#include "link/byteorder.h"

namespace adapter {

constexpr size_t   kFrameSize        = 16;
constexpr uint8_t  kHead             = 0xAA;
constexpr uint8_t  kMaxDlc           = 8;
constexpr uint32_t kMaxCanId         = 0x1FFFFFFFu; // largest 29-bit ID
constexpr uint32_t kInternalIdFirst  = 0xE0000000u; // adapter-internal IDs from here
constexpr uint32_t kBitrateCommandId = 0xFFFFFFFFu;
constexpr uint32_t kStatusFrameId    = 0xFFFFFFFEu;

// One decoded adapter frame (i.e. one CAN frame or an adapter-internal frame).
struct Frame {
    uint32_t can_id = 0;
    uint8_t  dlc = 0;       // 0..8
    uint8_t  data[8] = {};  // bytes past dlc are zero
};

// Encodes one frame into out[16]. Returns false (out untouched) when dlc > 8
// or data is null with dlc > 0.
bool encodeFrame(uint32_t can_id, const uint8_t* data, uint8_t dlc, uint8_t out[kFrameSize]);

// Decodes exactly 16 bytes: checks head, DLC <= 8 and CRC. Returns false on
// any mismatch (out is then unspecified).
bool decodeFrame(const uint8_t in[kFrameSize], Frame& out);

// Maps a requested CAN bit rate to one the adapter supports: 250000, 500000,
// 800000, 1000000 pass through; anything else (incl. 0) -> 500000.
uint32_t normaliseBitrate(uint32_t bitrate);

// Encodes the adapter bit-rate command (ID 0xFFFFFFFF, DLC 4, u32 LE rate,
// rate normalised with normaliseBitrate). 500k:
// AA FF FF FF FF 04 20 A1 07 00 00 00 00 00 D9 D0
void encodeBitrateCommand(uint32_t bitrate, uint8_t out[kFrameSize]);

// Encodes the adapter status frame (ID 0xFFFFFFFE, DLC 1, data[0]=status).
// Used by the simulator (adapter side) to acknowledge a bit-rate command.
void encodeStatusFrame(uint8_t status, uint8_t out[kFrameSize]);

// Classification helpers.
inline bool isDataFrame(const Frame& f) { return f.can_id <= kMaxCanId; }
inline bool isStatusFrame(const Frame& f) { return f.can_id == kStatusFrameId; }
inline bool isBitrateCommand(const Frame& f) { return f.can_id == kBitrateCommandId && f.dlc == 4; }
// Rate carried by a bit-rate command frame (u32 LE of data[0..3]).
inline uint32_t bitrateOf(const Frame& f) { return readLe32(f.data); }

// Counters of a StreamDecoder.
struct DecoderStats {
    uint64_t frames = 0;        // good frames returned
    uint64_t droppedBytes = 0;  // bytes discarded (garbage before a head, or resync drops)
    uint64_t badFrames = 0;     // head found but DLC > 8 or CRC mismatch (each costs one byte)
};

// Stream decoder: takes serial bytes in arbitrary pieces and yields frames.
// Resynchronises on the head byte: garbage before 0xAA is dropped; a 16-byte
// window with DLC > 8 or a bad CRC drops ONE byte and rescans. The internal
// buffer is bounded (capacity fixed at construction); it never reads past it.
class StreamDecoder {
public:
    // capacity: bytes the decoder may hold (minimum 32, default 4096).
    explicit StreamDecoder(size_t capacity = 4096);
    ~StreamDecoder();
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    // Copies as many bytes as fit into the buffer and returns that count
    // (the caller drains with next() and writes the rest; feed() does that).
    size_t write(const uint8_t* data, size_t len);

    // Pops the next good frame; false when no complete frame is buffered.
    bool next(Frame& out);

    // Convenience: writes all `len` bytes, calling onFrame(const Frame&) for
    // each good frame as it is found. Never drops input for lack of space.
    template <typename F>
    void feed(const uint8_t* data, size_t len, F&& onFrame)
    {
        Frame f;
        while (len > 0) {
            const size_t n = write(data, len);
            data += n;
            len -= n;
            while (next(f))
                onFrame(static_cast<const Frame&>(f));
        }
        while (next(f))
            onFrame(static_cast<const Frame&>(f));
    }

    // Discards buffered bytes (counters are kept; resetStats() clears them).
    void reset();
    void resetStats() { m_stats = DecoderStats(); }

    size_t buffered() const { return m_end - m_begin; }
    size_t capacity() const { return m_cap; }
    const DecoderStats& stats() const { return m_stats; }

private:
    uint8_t* m_buf;
    size_t m_cap;
    size_t m_begin = 0;
    size_t m_end = 0;
    DecoderStats m_stats;
};

} // namespace adapter

#endif // TQ_LINK_ADAPTERFRAME_H
