#ifndef TQ_LINK_CANARD_H
#define TQ_LINK_CANARD_H

// Cyphal/CAN v1.0 transport over classic CAN (MTU 8), this project's own code
// written from the Cyphal/CAN transport rules. Plain C++17.
//
// CAN ID (29 bit):
//   message: prio<<26 | 3<<21 | subject<<8 | source        (bits 25, 24, 23, 7 = 0)
//   service: prio<<26 | 1<<25 | request<<24 | service<<14 | dest<<7 | source (bit 23 = 0)
// Tail byte (last data byte of every frame):
//   bit7 start-of-transfer, bit6 end-of-transfer, bit5 toggle (1 in the first
//   frame, then alternating), bits4..0 transfer-ID.
// Payload <= 7 bytes: one frame. Longer: payload + CRC-16/CCITT-FALSE of the
// payload (big-endian) cut into 7-byte pieces (all frames but the last are full).
//
// One Instance serves one or several local node IDs (the PC uses node 15; the
// simulator may register nodes 16..48 on one instance, or keep one instance per
// simulated node). The service role decides which service transfers are
// accepted: responses (client, the default) and/or requests (server).

#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

namespace canard {

constexpr uint8_t  kPcNodeId = 15;            // the PC's own node ID
constexpr uint8_t  kNoNode = 0xFF;            // "no node": broadcast / use default
constexpr uint8_t  kMaxNodeId = 127;
constexpr uint16_t kMaxSubjectId = 8191;
constexpr uint16_t kMaxServiceId = 511;
constexpr uint8_t  kTransferIdModulo = 32;
constexpr uint8_t  kMtu = 8;                  // classic CAN
constexpr uint64_t kDefaultTidTimeoutUs = 2000000; // 2 s transfer-ID timeout

enum class TransferKind : uint8_t { Message = 0, Request = 1, Response = 2 };

// What a subscription does with a transfer whose transfer-ID repeats the
// last one taken from its source within the transfer-ID timeout.
enum class Repeats : uint8_t {
    Drop,   // a repeat of that transfer: skipped (the Cyphal rule)
    Accept, // taken again: for messages that change nothing when taken twice,
            // where a new transfer may carry the same ID (a restarted node's
            // first heartbeat, transfer-ID 0, soon after its last one)
};

// Cyphal priorities (0 highest).
enum Priority : uint8_t {
    kPrioExceptional = 0, kPrioImmediate = 1, kPrioFast = 2, kPrioHigh = 3,
    kPrioNominal = 4, kPrioLow = 5, kPrioSlow = 6, kPrioOptional = 7,
};

// Service roles (bit mask) for setServiceRole().
enum ServiceRole : unsigned {
    kRoleClient = 1u, // accept service RESPONSES addressed to a local node ID
    kRoleServer = 2u, // accept service REQUESTS addressed to a local node ID
};

// Error codes returned (negative) by Instance::push().
enum Error : int {
    kErrInvalidArgument = -10, // bad kind / priority / port / node ID / null payload
    kErrQueueFull = -11,       // TX queue would exceed its capacity (nothing queued)
};

// One classic CAN frame with a 29-bit extended ID.
struct CanFrame {
    uint32_t id = 0;
    uint8_t  len = 0;       // 1..8 for Cyphal frames
    uint8_t  data[8] = {};
};

// What to send. For a response, set transfer_id to the request's transfer-ID
// and destination_node_id to the requester; set source_node_id to the
// answering (simulated) node.
struct TxMetadata {
    TransferKind kind = TransferKind::Message;
    uint8_t  priority = kPrioNominal;     // 0..7
    uint16_t port_id = 0;                 // subject 0..8191 or service 0..511
    uint8_t  destination_node_id = kNoNode; // services: 0..127; messages: ignored
    int      transfer_id = -1;            // -1: next value of the per (kind, port, destination) counter; 0..31: explicit
    uint8_t  source_node_id = kNoNode;    // kNoNode: the instance's localNodeId()
};

// One complete received transfer.
struct RxTransfer {
    TransferKind kind = TransferKind::Message;
    uint8_t  priority = 0;
    uint16_t port_id = 0;
    uint8_t  source_node_id = 0;
    uint8_t  destination_node_id = kNoNode; // kNoNode for messages
    uint8_t  transfer_id = 0;
    uint64_t timestamp_us = 0;              // of the first frame
    size_t   original_size = 0;             // payload bytes before truncation to the extent
    std::vector<uint8_t> payload;           // at most the subscription's extent
};

// Fields of a parsed 29-bit Cyphal CAN ID.
struct ParsedId {
    TransferKind kind = TransferKind::Message;
    uint8_t  priority = 0;
    uint16_t port_id = 0;
    uint8_t  source_node_id = 0;
    uint8_t  destination_node_id = kNoNode; // kNoNode for messages
    bool     anonymous = false;             // message with bit 24 set
};

// Transport counters.
struct Stats {
    uint64_t tx_transfers = 0;
    uint64_t tx_frames = 0;
    uint64_t tx_rejected = 0;        // push() errors
    uint64_t rx_frames = 0;          // frames given to accept()
    uint64_t rx_frames_invalid = 0;  // bad ID (bit 23, reserved bits, > 29 bit), len 0/ > 8, anonymous
    uint64_t rx_frames_ignored = 0;  // valid but not for us (not subscribed, other destination, role)
    uint64_t rx_transfers = 0;       // delivered transfers
    uint64_t rx_truncated = 0;       // delivered transfers cut to the extent
    uint64_t rx_duplicates = 0;      // skipped: transfer-ID seen within the timeout, a repeated start
                                     // frame of the transfer in progress, a frame with the wrong toggle
    uint64_t rx_malformed = 0;       // dropped transfers: CRC mismatch (a lost frame), short non-last frame,
                                     // restarted by a new start frame, timed out mid-transfer
    uint64_t rx_frames_orphan = 0;   // continuation frames with no matching transfer in progress
                                     // (missing start frame, other transfer-ID, rest of a dropped transfer)
};

// Builds a message CAN ID (bits 22..21 set as Cyphal requires on TX).
uint32_t makeMessageId(uint8_t priority, uint16_t subject_id, uint8_t source_node_id);
// Builds a service CAN ID.
uint32_t makeServiceId(uint8_t priority, bool request, uint16_t service_id,
                       uint8_t destination_node_id, uint8_t source_node_id);
// Parses a 29-bit CAN ID; false when not a valid Cyphal/CAN v1.0 ID
// (> 29 bits, bit 23 set, message with bit 7 set).
bool parseCanId(uint32_t can_id, ParsedId& out);
// Builds a tail byte.
inline uint8_t makeTail(bool start, bool end, bool toggle, uint8_t transfer_id)
{
    return uint8_t((start ? 0x80 : 0) | (end ? 0x40 : 0) | (toggle ? 0x20 : 0) | (transfer_id & 0x1F));
}
// Number of CAN frames a payload of `len` bytes needs (MTU 8).
size_t framesForPayload(size_t len);

class Instance {
public:
    // local_node_id: 0..127 (default 15, the PC). tx_capacity: max queued frames.
    explicit Instance(uint8_t local_node_id = kPcNodeId, size_t tx_capacity = 4096);

    // The default source node ID of pushed transfers; also a local node ID for RX.
    void setLocalNodeId(uint8_t node_id);
    uint8_t localNodeId() const { return m_localNodeId; }
    // Extra node IDs whose service transfers this instance accepts (simulator).
    void addLocalNodeId(uint8_t node_id);
    void removeLocalNodeId(uint8_t node_id);
    bool isLocalNodeId(uint8_t node_id) const;
    // Which service transfers are accepted (mask of ServiceRole; default client).
    void setServiceRole(unsigned role_mask) { m_roleMask = role_mask; }
    unsigned serviceRole() const { return m_roleMask; }

    // ---- TX ----
    // Cuts one transfer into frames appended to the TX queue (FIFO). Returns the
    // number of frames queued (>= 1) or a negative Error. Payload may be null
    // only when len == 0. Advances the per (kind, port, destination)
    // transfer-ID counter when md.transfer_id == -1.
    int push(const TxMetadata& md, const uint8_t* payload, size_t len);
    // The oldest queued frame, or nullptr when the queue is empty.
    const CanFrame* peekTx() const { return m_tx.empty() ? nullptr : &m_tx.front(); }
    // Removes the oldest queued frame (no-op when empty).
    void popTx() { if (!m_tx.empty()) m_tx.pop_front(); }
    size_t txQueueSize() const { return m_tx.size(); }
    size_t txCapacity() const { return m_txCapacity; }
    void clearTx() { m_tx.clear(); }
    // The transfer-ID the next auto-numbered push for this key will use.
    uint8_t nextTransferId(TransferKind kind, uint16_t port_id, uint8_t destination_node_id) const;
    // Takes that transfer-ID for a transfer its caller encodes and writes
    // itself: the counter moves on as a push would move it.
    uint8_t takeTransferId(TransferKind kind, uint16_t port_id, uint8_t destination_node_id);
    // Restarts every transfer-ID counter at 0.
    void resetTransferIds() { m_tidCounters.clear(); }

    // ---- RX ----
    // Subscribes (or re-subscribes, replacing extent/timeout) to a port.
    // extent: max payload bytes kept (longer transfers are truncated).
    // The timeout also bounds a multi-frame transfer, whatever `repeats`.
    // Returns false on a bad port number.
    bool subscribe(TransferKind kind, uint16_t port_id, size_t extent,
                   uint64_t tid_timeout_us = kDefaultTidTimeoutUs, Repeats repeats = Repeats::Drop);
    // Removes a subscription and its sessions; false when it did not exist.
    bool unsubscribe(TransferKind kind, uint16_t port_id);
    bool isSubscribed(TransferKind kind, uint16_t port_id) const;
    // Feeds one received CAN frame (29-bit ID, 1..8 data bytes, monotonic
    // timestamp in microseconds). Returns true and fills `out` when the frame
    // completes a valid transfer; otherwise false (frame consumed, ignored or
    // dropped; see stats()). Never delivers a corrupt transfer.
    bool accept(uint32_t can_id, const uint8_t* data, size_t len, uint64_t timestamp_us, RxTransfer& out);
    bool accept(const CanFrame& f, uint64_t timestamp_us, RxTransfer& out)
    {
        return accept(f.id, f.data, f.len, timestamp_us, out);
    }
    // Forgets all partial transfers and remembered transfer-IDs (e.g. on close).
    void dropSessions() { m_sessions.clear(); }
    size_t sessionCount() const { return m_sessions.size(); }

    const Stats& stats() const { return m_stats; }
    void resetStats() { m_stats = Stats(); }

private:
    struct Subscription {
        size_t extent = 0;
        uint64_t tid_timeout_us = kDefaultTidTimeoutUs;
        Repeats repeats = Repeats::Drop;
    };
    // Forgets the partial transfers and remembered transfer-IDs of one port.
    void dropPortSessions(TransferKind kind, uint16_t port_id);

    struct Session {
        bool     active = false;     // a multi-frame transfer is being reassembled
        uint8_t  transfer_id = 0;    // of the active transfer
        bool     toggle = true;      // expected toggle of the next frame
        uint64_t start_us = 0;       // timestamp of the active transfer's start frame
        size_t   total = 0;          // bytes received so far (payload + CRC)
        uint16_t crc = 0xFFFF;       // running CRC over all received bytes
        bool     have_last = false;  // last_tid/last_us valid
        uint8_t  last_tid = 0;       // TID of the last delivered transfer
        uint64_t last_us = 0;        // its start timestamp
        std::vector<uint8_t> buf;    // first min(total, extent) bytes
    };

    uint8_t m_localNodeId;
    size_t m_txCapacity;
    unsigned m_roleMask = kRoleClient;
    uint64_t m_localMask[2] = {0, 0};
    std::deque<CanFrame> m_tx;
    std::unordered_map<uint32_t, uint8_t> m_tidCounters;     // (kind, port, dest) -> next TID
    std::unordered_map<uint32_t, Subscription> m_subs;       // (kind, port)
    std::unordered_map<uint32_t, Session> m_sessions;        // (kind, port, dest, source)
    Stats m_stats;
};

} // namespace canard

#endif // TQ_LINK_CANARD_H
