// Cyphal/CAN v1.0 transport: this project's own implementation (see canard.h).

#include "link/libcanard/canard.h"

#include <algorithm>
#include <cstring>

#include "link/crc.h"

namespace canard {

namespace {

constexpr uint32_t kBitService = 1u << 25;
constexpr uint32_t kBitRequest = 1u << 24; // services: request; messages: anonymous
constexpr uint32_t kBitReserved23 = 1u << 23;
constexpr uint32_t kBitReserved7 = 1u << 7;
constexpr uint32_t kMessageFixedBits = 3u << 21;

inline uint32_t subKey(TransferKind kind, uint16_t port) { return (uint32_t(kind) << 16) | port; }

inline uint32_t sessionKey(TransferKind kind, uint16_t port, uint8_t dest, uint8_t src)
{
    const uint32_t d = (dest == kNoNode) ? 0u : (dest & 0x7Fu);
    return (uint32_t(kind) << 27) | (uint32_t(port & 0x1FFF) << 14) | (d << 7) | (src & 0x7Fu);
}

// The (kind, port) part of a session key, for finding all sessions of a port.
constexpr uint32_t kSessionPortMask = ~((1u << 14) - 1);

inline uint32_t tidKey(TransferKind kind, uint16_t port, uint8_t dest)
{
    return (uint32_t(kind) << 24) | (uint32_t(port) << 8) | dest;
}

inline bool portValid(TransferKind kind, uint16_t port)
{
    switch (kind) {
    case TransferKind::Message: return port <= kMaxSubjectId;
    case TransferKind::Request:
    case TransferKind::Response: return port <= kMaxServiceId;
    }
    return false;
}

} // namespace

uint32_t makeMessageId(uint8_t priority, uint16_t subject_id, uint8_t source_node_id)
{
    return (uint32_t(priority & 7u) << 26) | kMessageFixedBits | (uint32_t(subject_id & 0x1FFFu) << 8) |
           (source_node_id & 0x7Fu);
}

uint32_t makeServiceId(uint8_t priority, bool request, uint16_t service_id, uint8_t destination_node_id,
                       uint8_t source_node_id)
{
    return (uint32_t(priority & 7u) << 26) | kBitService | (request ? kBitRequest : 0u) |
           (uint32_t(service_id & 0x1FFu) << 14) | (uint32_t(destination_node_id & 0x7Fu) << 7) |
           (source_node_id & 0x7Fu);
}

bool parseCanId(uint32_t can_id, ParsedId& out)
{
    if (can_id > 0x1FFFFFFFu || (can_id & kBitReserved23))
        return false;
    out.priority = uint8_t((can_id >> 26) & 7u);
    out.source_node_id = uint8_t(can_id & 0x7Fu);
    if (can_id & kBitService) {
        out.kind = (can_id & kBitRequest) ? TransferKind::Request : TransferKind::Response;
        out.port_id = uint16_t((can_id >> 14) & 0x1FFu);
        out.destination_node_id = uint8_t((can_id >> 7) & 0x7Fu);
        out.anonymous = false;
    } else {
        if (can_id & kBitReserved7)
            return false;
        out.kind = TransferKind::Message;
        out.port_id = uint16_t((can_id >> 8) & 0x1FFFu);
        out.destination_node_id = kNoNode;
        out.anonymous = (can_id & kBitRequest) != 0;
    }
    return true;
}

size_t framesForPayload(size_t len)
{
    if (len <= kMtu - 1)
        return 1;
    return (len + 2 + (kMtu - 1) - 1) / (kMtu - 1);
}

// ---------------------------------------------------------------------------

Instance::Instance(uint8_t local_node_id, size_t tx_capacity)
    : m_localNodeId(local_node_id & 0x7F), m_txCapacity(tx_capacity)
{
    addLocalNodeId(m_localNodeId);
}

void Instance::setLocalNodeId(uint8_t node_id)
{
    removeLocalNodeId(m_localNodeId);
    m_localNodeId = node_id & 0x7F;
    addLocalNodeId(m_localNodeId);
}

void Instance::addLocalNodeId(uint8_t node_id)
{
    if (node_id <= kMaxNodeId)
        m_localMask[node_id >> 6] |= (uint64_t(1) << (node_id & 63));
}

void Instance::removeLocalNodeId(uint8_t node_id)
{
    if (node_id <= kMaxNodeId)
        m_localMask[node_id >> 6] &= ~(uint64_t(1) << (node_id & 63));
}

bool Instance::isLocalNodeId(uint8_t node_id) const
{
    return node_id <= kMaxNodeId && (m_localMask[node_id >> 6] & (uint64_t(1) << (node_id & 63))) != 0;
}

uint8_t Instance::nextTransferId(TransferKind kind, uint16_t port_id, uint8_t destination_node_id) const
{
    const uint8_t dest = (kind == TransferKind::Message) ? kNoNode : destination_node_id;
    const auto it = m_tidCounters.find(tidKey(kind, port_id, dest));
    return it == m_tidCounters.end() ? 0 : it->second;
}

uint8_t Instance::takeTransferId(TransferKind kind, uint16_t port_id, uint8_t destination_node_id)
{
    const uint8_t dest = (kind == TransferKind::Message) ? kNoNode : destination_node_id;
    uint8_t& c = m_tidCounters[tidKey(kind, port_id, dest)];
    const uint8_t tid = c;
    c = uint8_t((c + 1) % kTransferIdModulo);
    return tid;
}

int Instance::push(const TxMetadata& md, const uint8_t* payload, size_t len)
{
    const uint8_t src = (md.source_node_id == kNoNode) ? m_localNodeId : md.source_node_id;
    const bool service = md.kind != TransferKind::Message;
    if (md.priority > 7 || !portValid(md.kind, md.port_id) || src > kMaxNodeId ||
        (service && md.destination_node_id > kMaxNodeId) || (len > 0 && !payload) || md.transfer_id < -1 ||
        md.transfer_id >= kTransferIdModulo) {
        ++m_stats.tx_rejected;
        return kErrInvalidArgument;
    }
    const size_t nframes = framesForPayload(len);
    if (m_tx.size() + nframes > m_txCapacity) {
        ++m_stats.tx_rejected;
        return kErrQueueFull;
    }
    const uint8_t dest = service ? md.destination_node_id : kNoNode;
    const uint8_t tid = md.transfer_id < 0 ? takeTransferId(md.kind, md.port_id, dest) : uint8_t(md.transfer_id);
    const uint32_t id = service ? makeServiceId(md.priority, md.kind == TransferKind::Request, md.port_id, dest, src)
                                : makeMessageId(md.priority, md.port_id, src);
    CanFrame f;
    f.id = id;
    if (nframes == 1) {
        if (len)
            std::memcpy(f.data, payload, len);
        f.data[len] = makeTail(true, true, true, tid);
        f.len = uint8_t(len + 1);
        m_tx.push_back(f);
    } else {
        const uint16_t crc = crc16CcittFalse(payload, len);
        const size_t total = len + 2;
        size_t pos = 0;
        bool toggle = true;
        while (pos < total) {
            const size_t chunk = std::min<size_t>(kMtu - 1, total - pos);
            for (size_t i = 0; i < chunk; ++i) {
                const size_t k = pos + i;
                f.data[i] = (k < len) ? payload[k] : (k == len ? uint8_t(crc >> 8) : uint8_t(crc));
            }
            const bool start = pos == 0;
            pos += chunk;
            const bool end = pos >= total;
            f.data[chunk] = makeTail(start, end, toggle, tid);
            f.len = uint8_t(chunk + 1);
            m_tx.push_back(f);
            toggle = !toggle;
        }
    }
    ++m_stats.tx_transfers;
    m_stats.tx_frames += nframes;
    return int(nframes);
}

bool Instance::subscribe(TransferKind kind, uint16_t port_id, size_t extent, uint64_t tid_timeout_us, Repeats repeats)
{
    if (!portValid(kind, port_id))
        return false;
    Subscription& s = m_subs[subKey(kind, port_id)];
    s.extent = extent;
    s.tid_timeout_us = tid_timeout_us;
    s.repeats = repeats;
    // Drop sessions of this port: their buffers were sized for the old extent.
    dropPortSessions(kind, port_id);
    return true;
}

bool Instance::unsubscribe(TransferKind kind, uint16_t port_id)
{
    if (m_subs.erase(subKey(kind, port_id)) == 0)
        return false;
    dropPortSessions(kind, port_id);
    return true;
}

void Instance::dropPortSessions(TransferKind kind, uint16_t port_id)
{
    const uint32_t port = sessionKey(kind, port_id, kNoNode, 0) & kSessionPortMask;
    for (auto it = m_sessions.begin(); it != m_sessions.end();) {
        if ((it->first & kSessionPortMask) == port)
            it = m_sessions.erase(it);
        else
            ++it;
    }
}

bool Instance::isSubscribed(TransferKind kind, uint16_t port_id) const
{
    return m_subs.count(subKey(kind, port_id)) != 0;
}

bool Instance::accept(uint32_t can_id, const uint8_t* data, size_t len, uint64_t ts, RxTransfer& out)
{
    ++m_stats.rx_frames;
    ParsedId pid;
    if (!data || len == 0 || len > kMtu || !parseCanId(can_id, pid) || pid.anonymous) {
        ++m_stats.rx_frames_invalid;
        return false;
    }
    if (pid.kind != TransferKind::Message) {
        const unsigned need = (pid.kind == TransferKind::Request) ? kRoleServer : kRoleClient;
        if (!(m_roleMask & need) || !isLocalNodeId(pid.destination_node_id)) {
            ++m_stats.rx_frames_ignored;
            return false;
        }
    }
    const auto sit = m_subs.find(subKey(pid.kind, pid.port_id));
    if (sit == m_subs.end()) {
        ++m_stats.rx_frames_ignored;
        return false;
    }
    const Subscription& sub = sit->second;

    const uint8_t tail = data[len - 1];
    const bool start = (tail & 0x80) != 0;
    const bool end = (tail & 0x40) != 0;
    const bool toggle = (tail & 0x20) != 0;
    const uint8_t tid = tail & 0x1F;
    const size_t plen = len - 1;

    Session& s = m_sessions[sessionKey(pid.kind, pid.port_id, pid.destination_node_id, pid.source_node_id)];

    auto deliverMeta = [&](uint64_t start_us) {
        out.kind = pid.kind;
        out.priority = pid.priority;
        out.port_id = pid.port_id;
        out.source_node_id = pid.source_node_id;
        out.destination_node_id = pid.destination_node_id;
        out.transfer_id = tid;
        out.timestamp_us = start_us;
        s.have_last = true;
        s.last_tid = tid;
        s.last_us = start_us;
        ++m_stats.rx_transfers;
    };
    auto abortSession = [&]() {
        s.active = false;
        s.buf.clear();
        ++m_stats.rx_malformed;
    };

    if (start) {
        if (!toggle || (!end && len != kMtu)) {
            ++m_stats.rx_malformed; // a start frame that can never begin a valid transfer
            return false;
        }
        if (sub.repeats == Repeats::Drop && s.have_last && s.last_tid == tid && ts >= s.last_us
            && ts - s.last_us < sub.tid_timeout_us) {
            ++m_stats.rx_duplicates;
            return false;
        }
        if (s.active && s.transfer_id == tid && ts >= s.start_us && ts - s.start_us < sub.tid_timeout_us) {
            ++m_stats.rx_duplicates; // the start frame of this transfer again (CAN repeats a frame)
            return false;
        }
        if (s.active)
            abortSession(); // a new start in the middle of a transfer: the old one is lost
        if (end) { // single-frame transfer
            const size_t keep = std::min(plen, sub.extent);
            out.payload.assign(data, data + keep);
            out.original_size = plen;
            if (keep < plen)
                ++m_stats.rx_truncated;
            deliverMeta(ts);
            return true;
        }
        s.active = true;
        s.transfer_id = tid;
        s.toggle = false;
        s.start_us = ts;
        s.total = 0;
        s.crc = 0xFFFF;
        s.buf.clear();
        s.buf.reserve(std::min<size_t>(sub.extent, 1024));
    } else {
        if (!s.active || tid != s.transfer_id) {
            ++m_stats.rx_frames_orphan;
            return false;
        }
        if (ts < s.start_us || ts - s.start_us >= sub.tid_timeout_us) {
            abortSession();
            return false;
        }
        if (toggle != s.toggle) {
            // CAN delivers a frame twice after an acknowledgement error; the
            // toggle tells the repeat, which is skipped. A frame lost instead
            // also lands here, and the transfer CRC then drops the transfer.
            ++m_stats.rx_duplicates;
            return false;
        }
        if (!end && len != kMtu) {
            abortSession();
            return false;
        }
        s.toggle = !s.toggle;
    }

    // Append this frame's payload bytes.
    s.crc = crc16CcittFalse(data, plen, s.crc);
    if (s.buf.size() < sub.extent) {
        const size_t room = sub.extent - s.buf.size();
        s.buf.insert(s.buf.end(), data, data + std::min(room, plen));
    }
    s.total += plen;

    if (!end)
        return false;

    // End of a multi-frame transfer.
    if (s.total < 2 || s.crc != 0) {
        abortSession();
        return false;
    }
    const size_t size = s.total - 2;
    const size_t keep = std::min(size, sub.extent);
    out.payload.assign(s.buf.begin(), s.buf.begin() + std::min(keep, s.buf.size()));
    out.original_size = size;
    if (keep < size)
        ++m_stats.rx_truncated;
    s.active = false;
    s.buf.clear();
    deliverMeta(s.start_us);
    return true;
}

} // namespace canard
