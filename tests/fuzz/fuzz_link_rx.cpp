// libFuzzer target: arbitrary bytes through the adapter stream decoder, the
// Cyphal/CAN reassembly (client and server roles) and the response decoders.
//
// Byte 0 selects the mode:
//   even: the rest is a raw serial stream, fed to a LinkSession in pieces.
//   odd:  the rest describes CAN frames (port selector, node, tail, data...),
//         which are wrapped into adapter frames (sometimes corrupted or mixed
//         with garbage) so that the transport's reassembly gets deep coverage.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/adapterframe.h"
#include "link/cyphalports.h"
#include "link/libcanard/canard.h"
#include "link/linksession.h"

namespace {

#define CHECK(c) do { if (!(c)) __builtin_trap(); } while (0)

struct Reader {
    const uint8_t* p;
    size_t n;
    bool empty() const { return n == 0; }
    uint8_t u8()
    {
        if (!n)
            return 0;
        --n;
        return *p++;
    }
};

size_t expectedSize(uint16_t port, uint32_t got)
{
    switch (port) {
    case kPortNodeInfo: return 296;
    case kPortFileWrite: return 2;
    case kPortExecCommand: return 1;
    case kPortHeartbeat: return 6;
    case kPortTelemetry: return 15;
    case kPortTelemetry2: return 7;
    case kPortTelemetryExtra: return 4;
    case kPortRegAccess: CHECK(got == 11 || got == 13 || got == 32); return got;
    case kPortFileRead: CHECK(got >= 8 && got <= 264); return got;
    default: CHECK(false); return 0;
    }
}

void checkAndFree(std::vector<response_data_struct_t>& out)
{
    for (auto& r : out) {
        if (r.port_id == kRespLinkFrame) {
            CHECK(r.payload == nullptr && r.payload_size == 0 && r.transfer_id == 0);
            continue;
        }
        CHECK(r.payload != nullptr);
        CHECK(r.transfer_id < canard::kTransferIdModulo);
        CHECK(r.payload_size == expectedSize(r.port_id, r.payload_size));
        if (r.port_id == kPortFileRead)
            CHECK(r.payload[r.payload_size - 1] == 0);
        volatile uint8_t sink = 0;
        for (uint32_t i = 0; i < r.payload_size; ++i) // touch every byte (ASan)
            sink = uint8_t(sink + r.payload[i]);
        (void)sink;
        freeResponse(r);
    }
    out.clear();
}

// Device-side consumer: what the simulator does with requests.
void serveRequest(const canard::RxTransfer& t)
{
    const uint8_t* p = t.payload.data();
    const size_t n = t.payload.size();
    switch (t.port_id) {
    case kPortRegAccess: { RegAccessArgs a; (void)decodeRegAccessRequest(p, n, a); break; }
    case kPortFileRead: { FileReadArgs a; (void)decodeFileReadRequest(p, n, a); break; }
    case kPortFileWrite: {
        FileWriteArgs a;
        if (decodeFileWriteRequest(p, n, a) && a.dataLen) {
            CHECK(a.data + a.dataLen <= p + n);
            volatile uint8_t s = a.data[a.dataLen - 1];
            (void)s;
        }
        break;
    }
    case kPortExecCommand: {
        ExecCommandArgs a;
        if (decodeExecCommandRequest(p, n, a) && a.paramLen) {
            CHECK(a.param + a.paramLen == p + n);
        }
        break;
    }
    default:
        if (t.port_id >= kPortThrottleFirst && t.port_id <= kPortThrottleLast && n >= 7) {
            uint16_t v[4];
            unpackThrottle6152(p, v);
            CHECK(v[0] < 16384 && v[3] < 16384);
        }
        break;
    }
    // Any transfer through the response decoder as a response/message too.
    response_data_struct_t r;
    const canard::TransferKind k =
        isServicePort(t.port_id) ? canard::TransferKind::Response : canard::TransferKind::Message;
    if (cyphal_decode_response(k, t.port_id, t.priority, t.source_node_id, t.transfer_id, p, n, r)) {
        CHECK(r.transfer_id == t.transfer_id);
        freeResponse(r);
    }
}

const uint16_t kPorts[] = {kPortRegAccess, kPortFileRead, kPortFileWrite, kPortNodeInfo, kPortExecCommand,
                           kPortHeartbeat, kPortTelemetry, kPortTelemetry2, kPortTelemetryExtra,
                           kPortNodeControl, kPortNodeIdAssign, kPortThrottleFirst, 300, 6163};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    Reader rd{data + 1, size - 1};
    LinkSession link;
    std::vector<response_data_struct_t> out;
    uint64_t now = 1;

    if ((data[0] & 1) == 0) {
        // Raw serial stream, in pieces of a size chosen by the mode byte.
        const size_t piece = 1 + (data[0] >> 1);
        while (!rd.empty()) {
            const size_t n = rd.n < piece ? rd.n : piece;
            link.feed(rd.p, n, now, out);
            rd.p += n;
            rd.n -= n;
            now += 50000;
            checkAndFree(out);
        }
        if (data[0] & 0x80) { // reset mid-life and go again
            link.reset();
            link.feed(data, size, now, out);
            checkAndFree(out);
        }
        return 0;
    }

    // Structured CAN frames.
    canard::Instance sim(16, 64);
    for (uint8_t id = 17; id <= 48; ++id)
        sim.addLocalNodeId(id);
    sim.setServiceRole(canard::kRoleServer | canard::kRoleClient);
    for (uint16_t p : {kPortRegAccess, kPortFileRead, kPortFileWrite, kPortNodeInfo, kPortExecCommand})
        sim.subscribe(canard::TransferKind::Request, p, 300);
    for (uint16_t p : {kPortNodeControl, kPortNodeIdAssign, kPortThrottleFirst})
        sim.subscribe(canard::TransferKind::Message, p, 7);
    canard::RxTransfer t;

    while (!rd.empty()) {
        const uint8_t sel = rd.u8();
        uint32_t id;
        const uint16_t port = kPorts[(sel & 0x0F) % (sizeof kPorts / sizeof kPorts[0])];
        const uint8_t src = rd.u8() & 0x7F;
        if ((sel & 0x0F) >= 14) { // raw 32-bit ID
            id = uint32_t(rd.u8()) | (uint32_t(rd.u8()) << 8) | (uint32_t(rd.u8()) << 16) | (uint32_t(rd.u8()) << 24);
        } else if (isServicePort(port) || port == 300) {
            const bool req = (sel & 0x10) != 0;
            const uint8_t dest = (sel & 0x20) ? uint8_t(rd.u8() & 0x7F) : uint8_t(req ? 16 + (src & 31) : 15);
            id = canard::makeServiceId(sel >> 6, req, port, dest, src);
        } else {
            id = canard::makeMessageId(sel >> 5, port, src);
        }
        uint8_t len = rd.u8() % 10; // 0..9 (9 is invalid for CAN)
        uint8_t d[9] = {};
        for (uint8_t i = 0; i < len; ++i)
            d[i] = rd.u8();
        now += uint64_t(rd.u8()) * 20000;

        // Straight into the device-side transport.
        if (sim.accept(id, d, len, now, t)) {
            CHECK(t.payload.size() <= 300);
            serveRequest(t);
        }
        // Through the adapter codec into the PC session.
        uint8_t frame[adapter::kFrameSize];
        if (adapter::encodeFrame(id, d, len > 8 ? 8 : len, frame)) {
            if (sel & 0x40 && len > 3)
                frame[len] ^= d[0]; // sometimes corrupt
            link.feed(frame, sizeof frame, now, out);
            if ((sel & 0x30) == 0x30 && len > 0)
                link.feed(d, len, now, out); // garbage between frames
            checkAndFree(out);
        }
        // Occasionally send something, to mix TX state with RX.
        if ((sel & 0xF0) == 0xF0) {
            RegAccessArgs ra;
            ra.op = d[0] % 3;
            ra.reg = d[1];
            link.send(kPortRegAccess, src, &ra);
            std::vector<uint8_t> tx = link.takeTxBytes();
            CHECK(tx.size() % adapter::kFrameSize == 0);
        }
    }
    checkAndFree(out);
    return 0;
}
