#include "link/cyphalports.h"

#include <algorithm>
#include <cstring>

#include "link/byteorder.h"

namespace {

inline bool isThrottle(uint16_t port) { return port >= kPortThrottleFirst && port <= kPortThrottleLast; }

// Bytes of the delivered record for `port` given `len` received bytes
// (before any fixed zero tail); 0 = port not delivered.
size_t baseSize(uint16_t port, size_t len)
{
    switch (port) {
    case kPortRegAccess: return len <= 2 ? 2 : (len <= 4 ? 4 : kExtentRegAccess);
    case kPortFileRead: return std::max<size_t>(std::min<size_t>(len, kExtentFileRead), 7);
    case kPortFileWrite: return 2;
    case kPortExecCommand: return 1;
    case kPortHeartbeat: return 6;
    case kPortTelemetry: return 6;
    case kPortTelemetry2: return 7;
    case kPortTelemetryExtra: return 4;
    default: return 0;
    }
}

} // namespace

void packThrottle6152(uint16_t t0, uint16_t t1, uint16_t t2, uint16_t t3, uint8_t out[7])
{
    const uint16_t a = t0 & 0x3FFF, b = t1 & 0x3FFF, c = t2 & 0x3FFF, d = t3 & 0x3FFF;
    const uint16_t w0 = uint16_t(a | (((d >> 12) & 3u) << 14));
    const uint16_t w1 = uint16_t(b | (((d >> 10) & 3u) << 14));
    const uint16_t w2 = uint16_t(c | (((d >> 8) & 3u) << 14));
    writeLe16(out, w0);
    writeLe16(out + 2, w1);
    writeLe16(out + 4, w2);
    out[6] = uint8_t(d & 0xFF);
}

void unpackThrottle6152(const uint8_t in[7], uint16_t t[4])
{
    const uint16_t w0 = readLe16(in), w1 = readLe16(in + 2), w2 = readLe16(in + 4);
    t[0] = w0 & 0x3FFF;
    t[1] = w1 & 0x3FFF;
    t[2] = w2 & 0x3FFF;
    t[3] = uint16_t(((w0 >> 14) << 12) | ((w1 >> 14) << 10) | ((w2 >> 14) << 8) | in[6]);
}

bool isServicePort(uint16_t port_id)
{
    switch (port_id) {
    case kPortRegAccess:
    case kPortFileRead:
    case kPortFileWrite:
    case kPortNodeInfo:
    case kPortExecCommand: return true;
    default: return false;
    }
}

bool isEncodablePort(uint16_t port_id)
{
    return isServicePort(port_id) || port_id == kPortNodeControl || port_id == kPortNodeIdAssign ||
           isThrottle(port_id);
}

uint8_t portPriority(uint16_t port_id)
{
    if (port_id == kPortRegAccess || port_id == kPortExecCommand)
        return canard::kPrioImmediate; // 1
    if (isThrottle(port_id))
        return canard::kPrioHigh; // 3
    return canard::kPrioNominal; // 4: 257, 409, 430, 6144, 6145 and anything else
}

size_t portExtent(uint16_t port_id)
{
    switch (port_id) {
    case kPortRegAccess: return kExtentRegAccess;
    case kPortFileRead: return kExtentFileRead;
    case kPortFileWrite: return kExtentFileWrite;
    case kPortNodeInfo: return kExtentNodeInfo;
    case kPortExecCommand: return kExtentExecCommand;
    case kPortHeartbeat: return kExtentHeartbeat;
    case kPortTelemetry: return kExtentTelemetry;
    case kPortTelemetry2: return kExtentTelemetry2;
    case kPortTelemetryExtra: return kExtentTelemetryExtra;
    default: return 0;
    }
}

void subscribePcPorts(canard::Instance& ins)
{
    for (uint16_t p : {kPortRegAccess, kPortFileRead, kPortFileWrite, kPortNodeInfo, kPortExecCommand})
        ins.subscribe(canard::TransferKind::Response, p, portExtent(p));
    for (uint16_t p : {kPortTelemetry, kPortTelemetry2, kPortTelemetryExtra})
        ins.subscribe(canard::TransferKind::Message, p, portExtent(p));
    // Every heartbeat is taken: one taken twice changes nothing, while a node
    // that restarts sends its first with transfer-ID 0, and one time in 32
    // its last before did too; dropped as a repeat, that restart would go
    // unseen for a second, the new device turning at the old set-point.
    ins.subscribe(canard::TransferKind::Message, kPortHeartbeat, portExtent(kPortHeartbeat),
                  canard::kDefaultTidTimeoutUs, canard::Repeats::Accept);
}

int cyphal_get_encode_data(uint16_t port_id, const void* portArgs, uint8_t* buf, size_t* size)
{
    if (!buf || !size)
        return kEncErrNullArg;
    if (!isEncodablePort(port_id))
        return kEncErrUnknownPort;
    if (!portArgs && port_id != kPortNodeInfo)
        return kEncErrNullArg;
    const size_t cap = *size;
    auto need = [&](size_t n) { return cap >= n; };

    switch (port_id) {
    case kPortRegAccess: {
        const auto& a = *static_cast<const RegAccessArgs*>(portArgs);
        const size_t n = (a.op == 2) ? 4 : 2;
        if (!need(n))
            return kEncErrBufferTooSmall;
        buf[0] = a.op;
        buf[1] = a.reg;
        if (a.op == 2)
            writeLe16(buf + 2, a.value);
        *size = n;
        return 0;
    }
    case kPortFileRead: {
        const auto& a = *static_cast<const FileReadArgs*>(portArgs);
        if (!need(7))
            return kEncErrBufferTooSmall;
        writeLe32(buf, a.offset);
        buf[4] = 0;
        writeLe16(buf + 5, a.fileType);
        *size = 7;
        return 0;
    }
    case kPortFileWrite: {
        const auto& a = *static_cast<const FileWriteArgs*>(portArgs);
        if (a.dataLen > kFileWriteDataSize || a.offset > 0xFFFFFFFFFFull)
            return kEncErrBadArg;
        if (a.dataLen > 0 && !a.data)
            return kEncErrNullArg;
        const size_t dlen = a.dataLen ? size_t(kFileWriteDataSize) : size_t(0);
        const size_t n = 5 + 1 + 8 + 2 + dlen;
        if (!need(n))
            return kEncErrBufferTooSmall;
        for (int i = 0; i < 5; ++i)
            buf[i] = uint8_t(a.offset >> (8 * i));
        buf[5] = 8;
        std::memcpy(buf + 6, a.path, 8);
        writeLe16(buf + 14, uint16_t(dlen));
        if (dlen) {
            std::memcpy(buf + 16, a.data, a.dataLen);
            std::memset(buf + 16 + a.dataLen, 0xFF, dlen - a.dataLen);
        }
        *size = n;
        return 0;
    }
    case kPortNodeInfo:
        *size = 0;
        return 0;
    case kPortExecCommand: {
        const auto& a = *static_cast<const ExecCommandArgs*>(portArgs);
        if (a.paramLen > kMaxRequestPayload - 2)
            return kEncErrBadArg;
        if (a.paramLen > 0 && !a.param)
            return kEncErrNullArg;
        const size_t n = 2 + a.paramLen;
        if (!need(n))
            return kEncErrBufferTooSmall;
        writeLe16(buf, a.command);
        if (a.paramLen)
            std::memcpy(buf + 2, a.param, a.paramLen);
        *size = n;
        return 0;
    }
    case kPortNodeControl: {
        const auto& a = *static_cast<const NodeControlArgs*>(portArgs);
        if (!need(3))
            return kEncErrBufferTooSmall;
        buf[0] = a.value;
        buf[1] = a.node;
        buf[2] = 0;
        *size = 3;
        return 0;
    }
    case kPortNodeIdAssign: {
        const auto& a = *static_cast<const NodeIdAssignArgs*>(portArgs);
        if (a.newId < 16 || a.newId > 48)
            return kEncErrBadArg;
        if (!need(2))
            return kEncErrBufferTooSmall;
        buf[0] = a.newId == 48 ? 1 : 0;
        buf[1] = a.newId;
        *size = 2;
        return 0;
    }
    default: { // throttle 6152..6159
        const auto& a = *static_cast<const ThrottleArgs*>(portArgs);
        if (!need(7))
            return kEncErrBufferTooSmall;
        packThrottle6152(a.t[0], a.t[1], a.t[2], a.t[3], buf);
        *size = 7;
        return 0;
    }
    }
}

int cyphal_get_encode_data(uint16_t subject, const ThrottleArgs& args, uint8_t* buf, size_t* size)
{
    if (!isThrottle(subject))
        return kEncErrUnknownPort;
    return cyphal_get_encode_data(subject, static_cast<const void*>(&args), buf, size);
}

int cyphal_send_data(canard::Instance& ins, uint16_t subject, const ThrottleArgs& args)
{
    if (!isThrottle(subject))
        return kEncErrUnknownPort;
    return cyphal_send_data(ins, subject, canard::kNoNode, static_cast<const void*>(&args));
}

int cyphal_get_encode_data(uint16_t port_id, std::nullptr_t, uint8_t* buf, size_t* size)
{
    return cyphal_get_encode_data(port_id, static_cast<const void*>(nullptr), buf, size);
}

int cyphal_send_data(canard::Instance& ins, uint16_t port_id, uint8_t dest_node, std::nullptr_t)
{
    return cyphal_send_data(ins, port_id, dest_node, static_cast<const void*>(nullptr));
}

int cyphal_send_data(canard::Instance& ins, uint16_t port_id, uint8_t dest_node, const void* portArgs,
                     int transferId)
{
    if (transferId < -1 || transferId >= canard::kTransferIdModulo)
        return kEncErrBadArg;
    uint8_t buf[kMaxRequestPayload];
    size_t size = sizeof buf;
    const int rc = cyphal_get_encode_data(port_id, portArgs, buf, &size);
    if (rc < 0)
        return rc;
    canard::TxMetadata md;
    md.priority = portPriority(port_id);
    md.port_id = port_id;
    md.transfer_id = transferId;
    if (isServicePort(port_id)) {
        if (dest_node > canard::kMaxNodeId)
            return kSendErrBadNode;
        md.kind = canard::TransferKind::Request;
        md.destination_node_id = dest_node;
    } else {
        md.kind = canard::TransferKind::Message;
        md.destination_node_id = canard::kNoNode;
    }
    return ins.push(md, buf, size) < 0 ? kSendErrTransport : 0;
}

bool cyphal_decode_response(const canard::RxTransfer& t, response_data_struct_t& out)
{
    return cyphal_decode_response(t.kind, t.port_id, t.priority, t.source_node_id, t.transfer_id, t.payload.data(),
                                  t.payload.size(), out);
}

bool cyphal_decode_response(canard::TransferKind kind, uint16_t port_id, uint8_t priority, uint8_t source_node_id,
                            uint8_t transfer_id, const uint8_t* data, size_t len, response_data_struct_t& out)
{
    const bool service = isServicePort(port_id);
    if (service && kind != canard::TransferKind::Response)
        return false;
    if (!service && kind != canard::TransferKind::Message)
        return false;
    if (!data)
        len = 0;
    const size_t ext = portExtent(port_id);
    if (ext == 0)
        return false;
    if (len > ext)
        len = ext; // truncate to the extent

    uint8_t* p = nullptr;
    size_t size = 0;
    if (port_id == kPortNodeInfo) {
        size = kNodeInfoRecordSize;
        p = new uint8_t[size]();
        if (len)
            std::memcpy(p, data, std::min<size_t>(len, 30));
        size_t n = 0;
        if (len > 30) {
            const size_t avail = len - 31; // bytes after the length byte
            n = std::min<size_t>({size_t(data[30]), avail, 255});
            std::memcpy(p + 30, data + 31, n);
            const size_t after = 31 + n;
            if (after < len)
                p[285] = data[after];
            if (after + 1 < len)
                p[286] = data[after + 1];
        }
    } else {
        const size_t base = baseSize(port_id, len);
        if (base == 0)
            return false;
        size_t tail = 0;
        if (port_id == kPortRegAccess)
            tail = kRegAccessZeroTail;
        else if (port_id == kPortTelemetry)
            tail = kTelemetryZeroTail;
        else if (port_id == kPortFileRead)
            tail = 1; // NUL terminator
        size = base + tail;
        p = new uint8_t[size](); // zero-filled: implicit zero extension + tails
        if (len)
            std::memcpy(p, data, std::min(len, base));
    }
    out.priority = priority;
    out.port_id = port_id;
    out.remote_node_id = source_node_id;
    out.extra = 0;
    out.payload_size = uint32_t(size);
    out.payload = p;
    out.transfer_id = transfer_id;
    return true;
}

void freeResponse(response_data_struct_t& r)
{
    delete[] r.payload;
    r.payload = nullptr;
    r.payload_size = 0;
}

bool decodeRegAccessRequest(const uint8_t* p, size_t len, RegAccessArgs& out)
{
    if (!p || len < 2)
        return false;
    out.op = p[0];
    out.reg = p[1];
    out.value = len >= 4 ? readLe16(p + 2) : 0;
    return true;
}

bool decodeFileReadRequest(const uint8_t* p, size_t len, FileReadArgs& out)
{
    if (!p || len < 7)
        return false;
    out.offset = readLe32(p);
    out.fileType = readLe16(p + 5);
    return true;
}

bool decodeFileWriteRequest(const uint8_t* p, size_t len, FileWriteArgs& out)
{
    if (!p || len < 16 || p[5] != 8)
        return false;
    out.offset = 0;
    for (int i = 0; i < 5; ++i)
        out.offset |= uint64_t(p[i]) << (8 * i);
    std::memcpy(out.path, p + 6, 8);
    const uint16_t dlen = readLe16(p + 14);
    if (size_t(16) + dlen > len)
        return false;
    out.dataLen = dlen;
    out.data = dlen ? p + 16 : nullptr;
    return true;
}

bool decodeExecCommandRequest(const uint8_t* p, size_t len, ExecCommandArgs& out)
{
    if (!p || len < 2)
        return false;
    out.command = readLe16(p);
    out.param = len > 2 ? p + 2 : nullptr;
    out.paramLen = len - 2;
    return true;
}
