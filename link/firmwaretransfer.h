#ifndef TQ_LINK_FIRMWARETRANSFER_H
#define TQ_LINK_FIRMWARETRANSFER_H

// State of one firmware part travelling to a node through the file-write
// service (port 409). The page drives it: one DOWNLOAD starts it and sends the
// first 256 bytes; every GO after a write's acknowledgement moves one step
// on: the next 256 bytes, then the closing write without data, then the
// register-5 read that tells how the node took the part. Plain C++, no Qt.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/cyphalports.h"

class FirmwareTransfer {
public:
    // What a GO asks the worker to do.
    enum class Step {
        Ignore,       // no transfer running: a stray GO must not resend anything
        SendChunk,    // after the pacing delay, send nextChunk()
        SendFinal,    // send finalWrite() now
        SendStatusRead // send the register-5 read now; the transfer is over
    };

    // Starts a transfer. Refused (false, state unchanged) when the image is
    // empty or the tag is shorter than 8 bytes: a node cannot take either.
    bool start(uint8_t node, std::vector<uint8_t> image, const uint8_t* tag, size_t tagLen);

    // Decides what one GO means. SendStatusRead ends the transfer at once;
    // SendChunk and SendFinal leave the step to nextChunk() / takeFinalWrite().
    Step onGo();

    // Fills `out` with the write of the next 256 bytes (the encoder pads the
    // last, shorter piece with 0xFF) and advances the offset. `out.data`
    // points into the image and stays valid until the next start()/reset().
    // False when no data write is due.
    bool nextChunk(FileWriteArgs& out);

    // The closing write of the part (the current offset and the tag, no
    // data); marks the part done, so that the next GO asks for the status.
    FileWriteArgs takeFinalWrite();

    void reset();

    bool active() const { return m_offset != kIdle; }
    uint8_t node() const { return m_node; }
    // Bytes sent so far; -1 once the closing write has gone, -2 when idle.
    int64_t offset() const { return m_offset; }
    size_t imageSize() const { return m_image.size(); }
    const std::vector<uint8_t>& image() const { return m_image; }

private:
    static constexpr int64_t kPartDone = -1;
    static constexpr int64_t kIdle = -2;

    uint8_t m_node = 0;
    std::vector<uint8_t> m_image;
    uint8_t m_path[8] = {};
    int64_t m_offset = kIdle;
};

#endif // TQ_LINK_FIRMWARETRANSFER_H
