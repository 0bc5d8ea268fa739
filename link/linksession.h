#ifndef TQ_LINK_LINKSESSION_H
#define TQ_LINK_LINKSESSION_H

// LinkSession: the Qt-free heart of the serial worker. It ties together the
// adapter stream decoder, the Cyphal/CAN transport (PC node 15, client role,
// subscribed to every port) and the port layer.
//   serial bytes in  -> feed()        -> response_data_struct_t records out
//   requests in      -> send()        -> takeTxBytes() -> 16-byte frames to write
// The Qt worker (link/subserialtqthread.*) wraps one instance.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/response_data.h"
#include "link/adapterframe.h"
#include "link/cyphalports.h"
#include "link/libcanard/canard.h"

// Counters of a LinkSession (besides decoder and transport stats).
struct LinkStats {
    uint64_t statusFrames = 0;    // adapter status frames (ID 0xFFFFFFFE) seen
    uint64_t internalFrames = 0;  // other adapter-internal / non-29-bit frames ignored
    uint64_t canFrames = 0;       // data frames handed to the transport
    uint64_t responses = 0;       // device records produced (not counting 8888)
    uint64_t undecoded = 0;       // transfers with no decoder (should stay 0)
};

class LinkSession {
public:
    LinkSession();

    // Call on port open and close: drops buffered bytes, partial transfers,
    // remembered transfer-IDs, the TX queue, and re-arms the "first frame" 8888.
    // Transfer-ID counters keep running.
    void reset();

    // Feeds serial bytes (any piece size). Appends to `out` one record per
    // decoded device response and one 8888 record (port_id 8888, no payload)
    // for the first valid adapter frame after reset() and for every adapter
    // status frame (a status frame that is also the first frame gives one
    // 8888). Returns the number of records appended. now_us: monotonic time in
    // microseconds (for the transfer-ID timeout). Each appended payload is
    // owned by the caller (delete[] / freeResponse).
    size_t feed(const uint8_t* data, size_t len, uint64_t now_us, std::vector<response_data_struct_t>& out);
    // Same with now_us taken from std::chrono::steady_clock.
    size_t feed(const uint8_t* data, size_t len, std::vector<response_data_struct_t>& out);

    // Encodes and queues a request (dest 0..127) or message (dest 0xFF) with
    // cyphal_send_data, under the transfer-ID given (-1: the transport's
    // next). Returns 0 or a negative error code.
    int send(uint16_t port_id, uint8_t dest_node, const void* portArgs, int transferId = -1);
    int send(uint16_t port_id, uint8_t dest_node, std::nullptr_t)
    {
        return send(port_id, dest_node, static_cast<const void*>(nullptr));
    }
    // Queues a throttle message; any subject outside 6152..6159 is refused.
    // Throttle values go this way or through throttleFrame() only.
    int send(uint16_t subject, const ThrottleArgs& args);
    int send(uint16_t, uint8_t, const ThrottleArgs*) = delete;
    // The adapter frame of a throttle message on `subject` (6152..6159)
    // under the transfer-ID the next message there takes, `ahead` IDs
    // further on, built without queueing it or taking its transfer-ID: the
    // serial worker builds each message as the line takes it, and keeps the
    // zeros after it ready for an end of the process that cannot wait
    // (link/lastresort.h). Returns 0, or kEncErrUnknownPort for another
    // subject.
    int throttleFrame(uint16_t subject, const ThrottleArgs& args, uint8_t out[adapter::kFrameSize],
                      unsigned ahead = 0) const;
    // The message throttleFrame() built (ahead 0) went out: the next one on
    // `subject` takes the transfer-ID after its own.
    void throttleWritten(uint16_t subject);

    // Number of CAN frames waiting in the TX queue.
    size_t pendingTxFrames() const { return m_ins.txQueueSize(); }
    // Drains the whole TX queue, appending 16 bytes per frame to `out`
    // (in queue order). Returns the number of frames appended.
    size_t takeTxBytes(std::vector<uint8_t>& out);
    // Same, returning a fresh buffer.
    std::vector<uint8_t> takeTxBytes();

    // The 16 bytes of the adapter bit-rate command (rate normalised: 0/unknown -> 500000).
    static std::vector<uint8_t> bitrateCommandBytes(uint32_t bitrate);

    // True once a valid adapter frame has been seen since the last reset().
    bool firstFrameSeen() const { return m_firstFrameSeen; }

    canard::Instance& transport() { return m_ins; }
    const canard::Instance& transport() const { return m_ins; }
    const adapter::StreamDecoder& decoder() const { return m_dec; }
    const LinkStats& stats() const { return m_stats; }

private:
    void onFrame(const adapter::Frame& f, uint64_t now_us, std::vector<response_data_struct_t>& out, size_t& n);

    adapter::StreamDecoder m_dec;
    canard::Instance m_ins;
    canard::RxTransfer m_rx; // reused buffer
    bool m_firstFrameSeen = false;
    LinkStats m_stats;
};

#endif // TQ_LINK_LINKSESSION_H
