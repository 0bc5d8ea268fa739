// Cyphal/CAN transport: TX framing (IDs, tails, CRC) and RX reassembly faults.

#include <QtTest>

#include <vector>

#include "link/cyphalports.h"
#include "link/libcanard/canard.h"
#include "linktesthelpers.h"

using namespace canard;
using lt::bytes;
using lt::drain;
using lt::frameData;

namespace {

// A PC-side transport as the link uses it.
Instance makePc()
{
    Instance pc(kPcNodeId);
    subscribePcPorts(pc);
    return pc;
}

// Frames of a response from `node` to the PC on `port`.
std::vector<CanFrame> responseFrames(uint8_t node, uint16_t port, const std::vector<uint8_t>& payload, int tid,
                                     uint8_t dest = kPcNodeId)
{
    Instance dev(node);
    TxMetadata md;
    md.kind = TransferKind::Response;
    md.priority = 4;
    md.port_id = port;
    md.destination_node_id = dest;
    md.transfer_id = tid;
    if (dev.push(md, payload.data(), payload.size()) < 0)
        qFatal("push failed");
    return drain(dev);
}

std::vector<uint8_t> pattern(size_t n, uint8_t seed = 1)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 7);
    return v;
}

// Feeds frames; returns the delivered transfers.
std::vector<RxTransfer> feedAll(Instance& ins, const std::vector<CanFrame>& fs, uint64_t ts = 1000)
{
    std::vector<RxTransfer> out;
    RxTransfer t;
    for (const auto& f : fs)
        if (ins.accept(f, ts, t))
            out.push_back(t);
    return out;
}

} // namespace

class TstCanard : public QObject {
    Q_OBJECT
private slots:
    // ---- TX ----
    void knownFrameRegRead()
    {
        Instance pc;
        RegAccessArgs a;
        a.op = 0;
        a.reg = 5;
        QCOMPARE(cyphal_send_data(pc, kPortRegAccess, 16, &a), 0);
        auto fs = drain(pc);
        QCOMPARE(int(fs.size()), 1);
        QCOMPARE(fs[0].id, 0x0740080Fu);
        QCOMPARE(frameData(fs[0]), bytes({0x00, 0x05, 0xE0}));
    }
    void knownFrameNodeInfo()
    {
        Instance pc;
        QCOMPARE(cyphal_send_data(pc, kPortNodeInfo, 16, nullptr), 0);
        auto fs = drain(pc);
        QCOMPARE(int(fs.size()), 1);
        QCOMPARE(fs[0].id, 0x136B880Fu);
        QCOMPARE(frameData(fs[0]), bytes({0xE0}));
    }
    void knownFrameThrottle()
    {
        Instance pc;
        ThrottleArgs a;
        a.t[0] = 100; a.t[1] = 200; a.t[2] = 300; a.t[3] = 400;
        QCOMPARE(cyphal_send_data(pc, 6152, 0xFF, &a), 0);
        auto fs = drain(pc);
        QCOMPARE(int(fs.size()), 1);
        QCOMPARE(fs[0].id, 0x0C78080Fu);
        QCOMPARE(frameData(fs[0]), bytes({0x64, 0x00, 0xC8, 0x00, 0x2C, 0x41, 0x90, 0xE0}));
    }
    void idLayouts()
    {
        QCOMPARE(makeMessageId(3, 6152, 15), 0x0C78080Fu);
        QCOMPARE(makeServiceId(4, true, 430, 16, 15), 0x136B880Fu);
        QCOMPARE(makeServiceId(1, false, 256, 15, 16), 0x06400790u);
        ParsedId p;
        QVERIFY(parseCanId(0x136B880F, p));
        QCOMPARE(int(p.kind), int(TransferKind::Request));
        QCOMPARE(int(p.priority), 4);
        QCOMPARE(int(p.port_id), 430);
        QCOMPARE(int(p.destination_node_id), 16);
        QCOMPARE(int(p.source_node_id), 15);
        QVERIFY(parseCanId(0x0C78080F, p));
        QCOMPARE(int(p.kind), int(TransferKind::Message));
        QCOMPARE(int(p.port_id), 6152);
        QCOMPARE(int(p.destination_node_id), int(kNoNode));
        // bits 22..21 are ignored on RX
        QVERIFY(parseCanId(0x0C18080F, p));
        QCOMPARE(int(p.port_id), 6152);
        QVERIFY(!parseCanId(0x0C78080F | (1u << 23), p));
        QVERIFY(!parseCanId(0x0C78088F, p)); // message bit 7
        QVERIFY(!parseCanId(0x20000000, p));
    }
    void transferIdCounters()
    {
        Instance pc;
        RegAccessArgs a;
        for (int i = 0; i < 33; ++i) {
            QCOMPARE(int(pc.nextTransferId(TransferKind::Request, 256, 16)), i % 32);
            QCOMPARE(cyphal_send_data(pc, 256, 16, &a), 0);
        }
        auto fs = drain(pc);
        QCOMPARE(int(fs.size()), 33);
        for (int i = 0; i < 33; ++i)
            QCOMPARE(fs[i].data[fs[i].len - 1] & 0x1F, i % 32);
        // another destination / port has its own counter from 0
        QCOMPARE(cyphal_send_data(pc, 256, 17, &a), 0);
        QCOMPARE(cyphal_send_data(pc, 430, 16, nullptr), 0);
        fs = drain(pc);
        QCOMPARE(fs[0].data[fs[0].len - 1] & 0x1F, 0);
        QCOMPARE(fs[1].data[fs[1].len - 1] & 0x1F, 0);
        // explicit transfer-ID is used as given and does not advance the counter
        TxMetadata md;
        md.kind = TransferKind::Response;
        md.port_id = 256;
        md.destination_node_id = 16;
        md.transfer_id = 9;
        QCOMPARE(pc.push(md, nullptr, 0), 1);
        fs = drain(pc);
        QCOMPARE(int(fs[0].data[0]), 0xE9);
        QCOMPARE(int(pc.nextTransferId(TransferKind::Response, 256, 16)), 0);
    }
    void boundarySizes()
    {
        Instance pc;
        TxMetadata md;
        md.port_id = 100;
        auto p7 = pattern(7);
        QCOMPARE(pc.push(md, p7.data(), 7), 1);
        auto fs = drain(pc);
        QCOMPARE(int(fs[0].len), 8);
        QCOMPARE(int(fs[0].data[7]), 0xE0);
        auto p8 = pattern(8);
        QCOMPARE(pc.push(md, p8.data(), 8), 2);
        fs = drain(pc);
        QCOMPARE(int(fs[0].len), 8);
        QCOMPARE(int(fs[1].len), 4); // 1 payload + 2 CRC + tail
        const uint16_t crc = lt::crc16Slow(p8.data(), 8);
        QCOMPARE(int(fs[1].data[0]), int(p8[7]));
        QCOMPARE(int(fs[1].data[1]), crc >> 8);
        QCOMPARE(int(fs[1].data[2]), crc & 0xFF);
        QCOMPARE(int(fs[0].data[7]), 0xA1); // start, toggle 1, tid 1
        QCOMPARE(int(fs[1].data[3]), 0x41); // end, toggle 0, tid 1
        // 12 bytes + CRC = 14 = 2 full frames; the CRC is split across frames
        auto p12 = pattern(12);
        QCOMPARE(pc.push(md, p12.data(), 12), 2);
        fs = drain(pc);
        QCOMPARE(int(fs[1].len), 8);
        const uint16_t c12 = lt::crc16Slow(p12.data(), 12);
        QCOMPARE(int(fs[1].data[5]), c12 >> 8);
        QCOMPARE(int(fs[1].data[6]), c12 & 0xFF);
        // 13 bytes: CRC hi ends frame 2, CRC lo alone in frame 3
        auto p13 = pattern(13);
        QCOMPARE(pc.push(md, p13.data(), 13), 3);
        fs = drain(pc);
        QCOMPARE(int(fs[2].len), 2);
        QCOMPARE(int(fs[2].data[1]), 0x60 | 3);
    }
    void multiFrameFileWrite272()
    {
        // The 272-byte 409 write, worked out from the rules: 272 + 2 CRC = 274
        // bytes = 39 frames of 7 + 1 frame of 1 byte.
        Instance pc;
        std::vector<uint8_t> image(256);
        for (int i = 0; i < 256; ++i)
            image[i] = uint8_t(i);
        FileWriteArgs a;
        a.offset = 0x0102030405ull;
        memcpy(a.path, "ABCDEFGH", 8);
        a.data = image.data();
        a.dataLen = 256;
        for (int i = 0; i < 3; ++i) // other ports' counters do not move 409's (TID stays 0)
            QCOMPARE(cyphal_send_data(pc, kPortNodeInfo, 16, nullptr), 0);
        drain(pc);
        QCOMPARE(cyphal_send_data(pc, kPortFileWrite, 16, &a), 0);
        auto fs = drain(pc);
        QCOMPARE(int(fs.size()), 40);
        // expected payload
        std::vector<uint8_t> pl = bytes({0x05, 0x04, 0x03, 0x02, 0x01, 8, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0x00, 0x01});
        pl.insert(pl.end(), image.begin(), image.end());
        QCOMPARE(int(pl.size()), 272);
        const uint16_t crc = lt::crc16Slow(pl.data(), pl.size());
        std::vector<uint8_t> stream = pl;
        stream.push_back(uint8_t(crc >> 8));
        stream.push_back(uint8_t(crc));
        const uint32_t id = (4u << 26) | (1u << 25) | (1u << 24) | (409u << 14) | (16u << 7) | 15u;
        std::vector<uint8_t> got;
        for (int i = 0; i < 40; ++i) {
            QCOMPARE(fs[i].id, id);
            QCOMPARE(int(fs[i].len), i < 39 ? 8 : 2);
            uint8_t tail = uint8_t((i % 2 == 0) ? 0x20 : 0x00);
            if (i == 0)
                tail |= 0x80;
            if (i == 39)
                tail |= 0x40;
            QCOMPARE(int(fs[i].data[fs[i].len - 1]), int(tail)); // TID 0 for 409 (own counter)
            got.insert(got.end(), fs[i].data, fs[i].data + fs[i].len - 1);
        }
        QCOMPARE(int(fs[0].data[7]), 0xA0);
        QCOMPARE(int(fs[1].data[7]), 0x00);
        QCOMPARE(int(fs[2].data[7]), 0x20);
        QCOMPARE(int(fs[39].data[1]), 0x40);
        QCOMPARE(got, stream);
        // and the final write: 16 bytes -> 3 frames (7, 7, 4 bytes incl. CRC)
        FileWriteArgs fin = a;
        fin.data = nullptr;
        fin.dataLen = 0;
        QCOMPARE(cyphal_send_data(pc, kPortFileWrite, 16, &fin), 0);
        fs = drain(pc);
        QCOMPARE(int(fs.size()), 3);
        QCOMPARE(int(fs[0].data[7]), 0xA1);
        QCOMPARE(int(fs[1].data[7]), 0x01);
        QCOMPARE(int(fs[2].len), 5);
        QCOMPARE(int(fs[2].data[4]), 0x61);
    }
    void txErrors()
    {
        Instance pc(15, 10);
        TxMetadata md;
        md.kind = TransferKind::Request;
        md.port_id = 256;
        md.destination_node_id = 200;
        QCOMPARE(pc.push(md, nullptr, 0), int(kErrInvalidArgument));
        md.destination_node_id = 16;
        md.port_id = 600; // > 511 for a service
        QCOMPARE(pc.push(md, nullptr, 0), int(kErrInvalidArgument));
        md.port_id = 256;
        md.priority = 8;
        QCOMPARE(pc.push(md, nullptr, 0), int(kErrInvalidArgument));
        md.priority = 1;
        QCOMPARE(pc.push(md, nullptr, 3), int(kErrInvalidArgument));
        md.transfer_id = 32;
        QCOMPARE(pc.push(md, nullptr, 0), int(kErrInvalidArgument));
        md.transfer_id = -1;
        auto big = pattern(100); // 102 / 7 -> 15 frames > capacity 10
        QCOMPARE(pc.push(md, big.data(), big.size()), int(kErrQueueFull));
        QCOMPARE(pc.txQueueSize(), size_t(0));
        QCOMPARE(int(pc.nextTransferId(TransferKind::Request, 256, 16)), 0);
        QCOMPARE(pc.stats().tx_rejected, 6ull);
        RegAccessArgs ra;
        QCOMPARE(cyphal_send_data(pc, 256, 0xFF, &ra), int(kSendErrBadNode));
        QCOMPARE(cyphal_send_data(pc, 256, 128, &ra), int(kSendErrBadNode));
    }

    // ---- RX ----
    void roundTripSizes()
    {
        Instance pc = makePc();
        for (size_t n : {0, 1, 6, 7, 8, 12, 13, 14, 100, 263, 270}) {
            auto p = pattern(n, uint8_t(n));
            auto fs = responseFrames(20, kPortFileRead, p, int(n % 32));
            auto got = feedAll(pc, fs, 1000 + n * 3000000);
            QCOMPARE(int(got.size()), 1);
            const size_t keep = std::min<size_t>(n, 263);
            QCOMPARE(got[0].payload, std::vector<uint8_t>(p.begin(), p.begin() + keep));
            QCOMPARE(got[0].original_size, n);
            QCOMPARE(int(got[0].source_node_id), 20);
            QCOMPARE(int(got[0].destination_node_id), 15);
            QCOMPARE(int(got[0].kind), int(TransferKind::Response));
            QCOMPARE(int(got[0].port_id), 257);
            QCOMPARE(int(got[0].priority), 4);
            QCOMPARE(int(got[0].transfer_id), int(n % 32));
        }
        QCOMPARE(pc.stats().rx_malformed, 0ull);
    }
    void badToggle()
    {
        Instance pc = makePc();
        auto fs = responseFrames(16, kPortFileRead, pattern(50), 1);
        fs[2].data[fs[2].len - 1] ^= 0x20;
        QCOMPARE(int(feedAll(pc, fs).size()), 0);
        QVERIFY(pc.stats().rx_malformed >= 1);
        // a start frame with toggle 0 never starts a transfer
        auto single = responseFrames(16, kPortExecCommand, {0}, 2);
        single[0].data[1] &= uint8_t(~0x20);
        QCOMPARE(int(feedAll(pc, single).size()), 0);
    }
    void missingFrame()
    {
        Instance pc = makePc();
        auto fs = responseFrames(16, kPortFileRead, pattern(60), 1);
        fs.erase(fs.begin() + 3);
        QCOMPARE(int(feedAll(pc, fs).size()), 0);
        QVERIFY(pc.stats().rx_malformed >= 1);
        // two consecutive frames missing (toggle stays consistent): the CRC catches it
        Instance pc2 = makePc();
        auto gs = responseFrames(16, kPortFileRead, pattern(60), 1);
        gs.erase(gs.begin() + 3, gs.begin() + 5);
        QCOMPARE(int(feedAll(pc2, gs).size()), 0);
        QCOMPARE(pc2.stats().rx_malformed, 1ull);
        // missing start frame: the rest are orphans
        Instance pc3 = makePc();
        auto hs = responseFrames(16, kPortFileRead, pattern(60), 1);
        hs.erase(hs.begin());
        QCOMPARE(int(feedAll(pc3, hs).size()), 0);
        QCOMPARE(pc3.stats().rx_frames_orphan, uint64_t(hs.size()));
    }
    void badCrc()
    {
        Instance pc = makePc();
        auto fs = responseFrames(16, kPortNodeInfo, pattern(100), 4);
        fs[5].data[2] ^= 0x80;
        QCOMPARE(int(feedAll(pc, fs).size()), 0);
        QCOMPARE(pc.stats().rx_malformed, 1ull);
        // the untouched transfer passes afterwards (different TID)
        QCOMPARE(int(feedAll(pc, responseFrames(16, kPortNodeInfo, pattern(100), 5)).size()), 1);
    }
    void duplicateTransferId()
    {
        Instance pc = makePc();
        auto fs = responseFrames(16, kPortRegAccess, {0, 5, 1, 0}, 7);
        QCOMPARE(int(feedAll(pc, fs, 1000000).size()), 1);
        QCOMPARE(int(feedAll(pc, fs, 2500000).size()), 0); // 1.5 s later: duplicate
        QCOMPARE(pc.stats().rx_duplicates, 1ull);
        QCOMPARE(int(feedAll(pc, fs, 3100000).size()), 1); // 2.1 s later: new transfer
        // multi-frame duplicate too
        auto ms = responseFrames(16, kPortFileRead, pattern(30), 3);
        QCOMPARE(int(feedAll(pc, ms, 5000000).size()), 1);
        QCOMPARE(int(feedAll(pc, ms, 5000001).size()), 0);
        QCOMPARE(pc.stats().rx_duplicates, 2ull);
        // same TID from another source is not a duplicate
        QCOMPARE(int(feedAll(pc, responseFrames(17, kPortFileRead, pattern(30), 3), 5000002).size()), 1);
    }
    void newStartMidTransfer()
    {
        Instance pc = makePc();
        auto a = responseFrames(16, kPortFileRead, pattern(80, 1), 1);
        auto b = responseFrames(16, kPortFileRead, pattern(40, 9), 2);
        std::vector<CanFrame> mix(a.begin(), a.begin() + 4);
        mix.insert(mix.end(), b.begin(), b.end());
        auto got = feedAll(pc, mix);
        QCOMPARE(int(got.size()), 1);
        QCOMPARE(got[0].payload, pattern(40, 9));
        QCOMPARE(pc.stats().rx_malformed, 1ull);
        // the rest of A is orphaned, never delivered
        got = feedAll(pc, std::vector<CanFrame>(a.begin() + 4, a.end()));
        QCOMPARE(int(got.size()), 0);
        QCOMPARE(pc.stats().rx_frames_orphan, uint64_t(a.size() - 4));
        // a restart with the SAME transfer-ID also restarts cleanly
        Instance pc2 = makePc();
        auto c = responseFrames(16, kPortFileRead, pattern(80, 3), 6);
        std::vector<CanFrame> mix2(c.begin(), c.begin() + 3);
        mix2.insert(mix2.end(), c.begin(), c.end());
        got = feedAll(pc2, mix2);
        QCOMPARE(int(got.size()), 1);
        QCOMPARE(got[0].payload, pattern(80, 3));
    }
    void truncationToExtent()
    {
        Instance pc = makePc();
        auto p = pattern(350);
        auto got = feedAll(pc, responseFrames(16, kPortNodeInfo, p, 0));
        QCOMPARE(int(got.size()), 1);
        QCOMPARE(int(got[0].payload.size()), 313);
        QCOMPARE(got[0].payload, std::vector<uint8_t>(p.begin(), p.begin() + 313));
        QCOMPARE(got[0].original_size, size_t(350));
        QCOMPARE(pc.stats().rx_truncated, 1ull);
        // a byte past the extent is still covered by the CRC
        auto fs = responseFrames(16, kPortNodeInfo, p, 1);
        fs[48].data[0] ^= 1; // byte 336
        QCOMPARE(int(feedAll(pc, fs).size()), 0);
        // single-frame truncation: heartbeat 7 bytes -> extent 6
        Instance dev(30);
        TxMetadata md;
        md.port_id = kPortHeartbeat;
        auto hb = bytes({1, 2, 3, 4, 0, 0, 9});
        dev.push(md, hb.data(), hb.size());
        got = feedAll(pc, drain(dev));
        QCOMPARE(int(got.size()), 1);
        QCOMPARE(got[0].payload, bytes({1, 2, 3, 4, 0, 0}));
        QCOMPARE(int(got[0].kind), int(TransferKind::Message));
        QCOMPARE(int(got[0].destination_node_id), int(kNoNode));
    }
    void addressedElsewhere()
    {
        Instance pc = makePc();
        QCOMPARE(int(feedAll(pc, responseFrames(16, kPortRegAccess, {0, 5}, 0, 20)).size()), 0);
        QCOMPARE(pc.stats().rx_frames_ignored, 1ull);
        // a request to the PC is not accepted by a client
        Instance dev(16);
        TxMetadata md;
        md.kind = TransferKind::Request;
        md.port_id = kPortRegAccess;
        md.destination_node_id = 15;
        uint8_t d[2] = {0, 5};
        dev.push(md, d, 2);
        QCOMPARE(int(feedAll(pc, drain(dev)).size()), 0);
        QCOMPARE(pc.stats().rx_frames_ignored, 2ull);
        // unsubscribed port
        QCOMPARE(int(feedAll(pc, responseFrames(16, 300, {1}, 0)).size()), 0);
        QCOMPARE(pc.stats().rx_frames_ignored, 3ull);
    }
    void invalidFrames()
    {
        Instance pc = makePc();
        RxTransfer t;
        auto f = responseFrames(16, kPortRegAccess, {0, 5}, 0)[0];
        QVERIFY(!pc.accept(f.id | (1u << 23), f.data, f.len, 0, t));
        QVERIFY(!pc.accept(f.id, f.data, 0, 0, t));
        QVERIFY(!pc.accept(f.id, f.data, 9, 0, t));
        QVERIFY(!pc.accept(f.id, nullptr, 3, 0, t));
        QVERIFY(!pc.accept(0x3FFFFFFF, f.data, f.len, 0, t));
        // anonymous message
        QVERIFY(!pc.accept(makeMessageId(4, kPortHeartbeat, 5) | (1u << 24), f.data, f.len, 0, t));
        QCOMPARE(pc.stats().rx_frames_invalid, 6ull);
        QVERIFY(pc.accept(f, 0, t));
    }
    void shortNonLastFrame()
    {
        Instance pc = makePc();
        auto fs = responseFrames(16, kPortFileRead, pattern(30), 1);
        fs[1].len = 5; // non-last frame shorter than the MTU
        fs[1].data[4] = fs[1].data[7];
        QCOMPARE(int(feedAll(pc, fs).size()), 0);
        QVERIFY(pc.stats().rx_malformed >= 1);
    }
    void timeoutMidTransfer()
    {
        Instance pc = makePc();
        auto fs = responseFrames(16, kPortFileRead, pattern(30), 1);
        RxTransfer t;
        QVERIFY(!pc.accept(fs[0], 1000, t));
        QVERIFY(!pc.accept(fs[1], 2000, t));
        QVERIFY(!pc.accept(fs[2], 3000000, t)); // 3 s after the start
        QVERIFY(!pc.accept(fs[3], 3000001, t));
        QCOMPARE(pc.stats().rx_malformed, 1ull);
        QCOMPARE(pc.stats().rx_transfers, 0ull);
    }
    void interleavedSources()
    {
        Instance pc = makePc();
        auto a = responseFrames(16, kPortFileRead, pattern(60, 1), 1);
        auto b = responseFrames(17, kPortFileRead, pattern(60, 2), 1);
        std::vector<CanFrame> mix;
        for (size_t i = 0; i < a.size(); ++i) {
            mix.push_back(a[i]);
            mix.push_back(b[i]);
        }
        auto got = feedAll(pc, mix);
        QCOMPARE(int(got.size()), 2);
        QCOMPARE(got[0].payload, pattern(60, 1));
        QCOMPARE(got[1].payload, pattern(60, 2));
    }
    void serverRoleSeveralNodes()
    {
        // One instance playing nodes 16 and 17 accepts requests to both,
        // even with the same transfer-ID from the same client.
        Instance sim(16);
        sim.addLocalNodeId(17);
        sim.setServiceRole(kRoleServer);
        sim.subscribe(TransferKind::Request, kPortRegAccess, 4);
        Instance pc;
        RegAccessArgs a;
        a.reg = 5;
        cyphal_send_data(pc, kPortRegAccess, 16, &a);
        cyphal_send_data(pc, kPortRegAccess, 17, &a);
        cyphal_send_data(pc, kPortRegAccess, 18, &a);
        auto got = feedAll(sim, drain(pc));
        QCOMPARE(int(got.size()), 2);
        QCOMPARE(int(got[0].destination_node_id), 16);
        QCOMPARE(int(got[1].destination_node_id), 17);
        QCOMPARE(int(got[0].transfer_id), 0);
        QCOMPARE(int(got[1].transfer_id), 0);
        QCOMPARE(got[0].payload, bytes({0, 5}));
        QVERIFY(sim.isLocalNodeId(17));
        QVERIFY(!sim.isLocalNodeId(18));
        // the server answers with the request's TID; the PC accepts it
        Instance pcRx = makePc();
        TxMetadata md;
        md.kind = TransferKind::Response;
        md.priority = got[1].priority;
        md.port_id = kPortRegAccess;
        md.destination_node_id = got[1].source_node_id;
        md.transfer_id = got[1].transfer_id;
        md.source_node_id = 17;
        uint8_t r[4] = {0, 5, 0x34, 0x12};
        QCOMPARE(sim.push(md, r, 4), 1);
        auto resp = feedAll(pcRx, drain(sim));
        QCOMPARE(int(resp.size()), 1);
        QCOMPARE(int(resp[0].source_node_id), 17);
        QCOMPARE(int(resp[0].priority), 1);
        // a client-only instance ignores requests
        sim.setServiceRole(kRoleClient);
        cyphal_send_data(pc, kPortRegAccess, 16, &a);
        QCOMPARE(int(feedAll(sim, drain(pc)).size()), 0);
    }
    void unsubscribeAndDropSessions()
    {
        Instance pc = makePc();
        auto fs = responseFrames(16, kPortFileRead, pattern(30), 1);
        RxTransfer t;
        QVERIFY(!pc.accept(fs[0], 0, t));
        QVERIFY(pc.sessionCount() > 0);
        pc.dropSessions();
        QCOMPARE(pc.sessionCount(), size_t(0));
        QVERIFY(!pc.accept(fs[1], 0, t));
        QCOMPARE(pc.stats().rx_frames_orphan, 1ull);
        QVERIFY(pc.unsubscribe(TransferKind::Response, kPortFileRead));
        QVERIFY(!pc.unsubscribe(TransferKind::Response, kPortFileRead));
        QVERIFY(!pc.isSubscribed(TransferKind::Response, kPortFileRead));
        QVERIFY(!pc.subscribe(TransferKind::Response, 600, 10));
        QVERIFY(pc.subscribe(TransferKind::Message, 8191, 10));
        QVERIFY(!pc.subscribe(TransferKind::Message, 8192, 10));
    }
};

QTEST_APPLESS_MAIN(TstCanard)
#include "tst_link_canard.moc"
