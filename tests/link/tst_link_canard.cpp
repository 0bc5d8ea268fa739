// Cyphal/CAN transport: known frames of fresh transfers, a multi-frame
// transfer worked out by hand, and the reassembly faults.

#include <QtTest>

#include <vector>

#include "link/cyphalports.h"
#include "link/libcanard/canard.h"
#include "link/linksession.h"
#include "linktesthelpers.h"

using namespace canard;
using lt::bytes;
using lt::drain;
using lt::frameData;

namespace {

Instance makePc()
{
    Instance pc(kPcNodeId);
    subscribePcPorts(pc);
    return pc;
}

// Frames of a response from `node` on `port`, addressed to the PC by default.
std::vector<CanFrame> responseFrames(uint8_t node, uint16_t port, const std::vector<uint8_t>& payload, int tid,
                                     uint8_t dest = kPcNodeId)
{
    Instance dev(node);
    TxMetadata md;
    md.kind = TransferKind::Response;
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

enum Fault { BadToggle, MissingFrame, TwoFramesMissing, BadCrc, OtherNode };

} // namespace

class TstCanard : public QObject {
    Q_OBJECT
private slots:
    void knownFrames()
    {
        RegAccessArgs reg5;
        reg5.reg = 5;
        const ThrottleArgs thr {{100, 200, 300, 400}};
        NodeIdAssignArgs encoder, esc;
        encoder.newId = 48; // the encoder's ID is flagged in the first byte
        esc.newId = 47;
        const struct {
            uint16_t port;
            uint8_t dest;
            const void* args;
            uint32_t id;
            std::vector<uint8_t> data;
        } cases[] = {
            {kPortRegAccess, 16, &reg5, 0x0740080F, bytes({0x00, 0x05, 0xE0})},
            {kPortNodeInfo, 16, nullptr, 0x136B880F, bytes({0xE0})},
            {kPortThrottleFirst, kNoNode, &thr, 0x0C78080F, bytes({0x64, 0x00, 0xC8, 0x00, 0x2C, 0x41, 0x90, 0xE0})},
            {kPortNodeIdAssign, kNoNode, &encoder, 0x1078010F, bytes({0x01, 0x30, 0xE0})},
            {kPortNodeIdAssign, kNoNode, &esc, 0x1078010F, bytes({0x00, 0x2F, 0xE0})},
        };
        for (const auto& c : cases) {
            Instance pc; // fresh transfer-IDs
            QCOMPARE(cyphal_send_data(pc, c.port, c.dest, c.args), 0);
            const auto fs = drain(pc);
            QCOMPARE(int(fs.size()), 1);
            QCOMPARE(fs[0].id, c.id);
            QCOMPARE(frameData(fs[0]), c.data);
        }
    }

    void handWorkedMultiFrame()
    {
        // 13 bytes on subject 100, priority 4, from node 15: with the CRC
        // (0xF9AD over 01..0D) 15 bytes, so frames of 7, 7 and 1 bytes and
        // the CRC split across the last two. Tails: start + toggle 1, toggle 0,
        // end + toggle 1; transfer-ID 0.
        Instance pc;
        TxMetadata md;
        md.priority = 4;
        md.port_id = 100;
        const auto payload = bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});
        QCOMPARE(pc.push(md, payload.data(), payload.size()), 3);
        const auto fs = drain(pc);
        QCOMPARE(int(fs.size()), 3);
        for (const auto& f : fs)
            QCOMPARE(f.id, 0x1060640Fu);
        QCOMPARE(frameData(fs[0]), bytes({1, 2, 3, 4, 5, 6, 7, 0xA0}));
        QCOMPARE(frameData(fs[1]), bytes({8, 9, 10, 11, 12, 13, 0xF9, 0x00}));
        QCOMPARE(frameData(fs[2]), bytes({0xAD, 0x60}));
    }

    void faultyTransferIsDropped_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("bad toggle") << int(BadToggle);
        QTest::newRow("missing frame") << int(MissingFrame);
        QTest::newRow("two frames missing (toggle consistent)") << int(TwoFramesMissing);
        QTest::newRow("bad CRC") << int(BadCrc);
        QTest::newRow("addressed to another node") << int(OtherNode);
    }
    void faultyTransferIsDropped()
    {
        QFETCH(int, fault);
        Instance pc = makePc();
        auto fs = responseFrames(16, kPortFileRead, pattern(60), 1, fault == OtherNode ? 20 : kPcNodeId);
        QCOMPARE(int(fs.size()), 9);
        switch (fault) {
        case BadToggle: fs[2].data[fs[2].len - 1] ^= 0x20; break;
        case MissingFrame: fs.erase(fs.begin() + 3); break;
        case TwoFramesMissing: fs.erase(fs.begin() + 3, fs.begin() + 5); break;
        case BadCrc: fs[5].data[2] ^= 0x80; break;
        default: break;
        }
        QVERIFY(feedAll(pc, fs).empty());
        const Stats& s = pc.stats();
        if (fault == OtherNode)
            QCOMPARE(s.rx_frames_ignored, uint64_t(fs.size()));
        else
            QCOMPARE(s.rx_malformed, 1ull);
        // The next transfer comes through intact.
        const auto got = feedAll(pc, responseFrames(16, kPortFileRead, pattern(60, 5), 2));
        QCOMPARE(int(got.size()), 1);
        QCOMPARE(got[0].payload, pattern(60, 5));
    }

    // CAN repeats a frame after an acknowledgement error: the toggle shows the
    // repeat, which is skipped while the transfer goes on.
    void repeatedFrameIsSkipped_data()
    {
        QTest::addColumn<int>("repeat");
        QTest::newRow("start frame") << 0;
        QTest::newRow("second frame") << 1;
        QTest::newRow("middle frame") << 20;
        QTest::newRow("last frame but one") << 42;
        QTest::newRow("last frame") << 43;
    }
    void repeatedFrameIsSkipped()
    {
        QFETCH(int, repeat);
        Instance pc = makePc();
        const auto p = pattern(300);
        auto fs = responseFrames(16, kPortNodeInfo, p, 3);
        QCOMPARE(int(fs.size()), 44);
        fs.insert(fs.begin() + repeat + 1, fs[size_t(repeat)]);
        const auto got = feedAll(pc, fs);
        QCOMPARE(int(got.size()), 1);
        QCOMPARE(got[0].payload, p);
        QCOMPARE(pc.stats().rx_malformed, 0ull);
        // Twice in a row, and the whole transfer again, are skipped as well.
        fs = responseFrames(16, kPortNodeInfo, pattern(300, 4), 4);
        fs.insert(fs.begin() + 6, {fs[5], fs[5]});
        QCOMPARE(int(feedAll(pc, fs).size()), 1);
        QCOMPARE(int(feedAll(pc, fs).size()), 0);
    }

    void wrongToggleThatIsNoRepeat()
    {
        // A frame lost between two others of the same toggle: the next one is
        // skipped as a repeat, and the CRC then refuses the transfer.
        Instance pc = makePc();
        auto fs = responseFrames(16, kPortFileRead, pattern(60), 1);
        fs.erase(fs.begin() + 4);
        QVERIFY(feedAll(pc, fs).empty());
        QCOMPARE(pc.stats().rx_malformed, 1ull);
        // A foreign frame with the transfer's ID and a wrong toggle: skipped,
        // the transfer arrives intact.
        fs = responseFrames(16, kPortFileRead, pattern(60), 2);
        CanFrame stray = fs[3];
        stray.data[0] ^= 0xFF;
        stray.data[stray.len - 1] ^= 0x20;
        fs.insert(fs.begin() + 3, stray);
        const auto got = feedAll(pc, fs);
        QCOMPARE(int(got.size()), 1);
        QCOMPARE(got[0].payload, pattern(60));
    }

    void repeatedFrameThroughTheLink()
    {
        // A node-information answer whose third frame arrives twice: one
        // record of 296 bytes, as if it had come once.
        std::vector<uint8_t> info(40 + 255);
        for (size_t i = 0; i < info.size(); ++i)
            info[i] = uint8_t(i * 3 + 1);
        info[30] = 255; // name length: the whole name field
        auto fs = responseFrames(16, kPortNodeInfo, info, 9);
        fs.insert(fs.begin() + 3, fs[2]);
        std::vector<uint8_t> wire(fs.size() * adapter::kFrameSize);
        for (size_t i = 0; i < fs.size(); ++i)
            adapter::encodeFrame(fs[i].id, fs[i].data, fs[i].len, wire.data() + i * adapter::kFrameSize);
        LinkSession link;
        std::vector<response_data_struct_t> out;
        link.feed(wire.data(), wire.size(), 1000, out);
        std::vector<response_data_struct_t> records;
        for (auto& r : out) {
            if (r.port_id == kPortNodeInfo)
                records.push_back(r);
            else
                freeResponse(r);
        }
        QCOMPARE(int(records.size()), 1);
        const std::vector<uint8_t> got(records[0].payload, records[0].payload + records[0].payload_size);
        freeResponse(records[0]);
        QCOMPARE(int(got.size()), 296);
        QCOMPARE(std::vector<uint8_t>(got.begin(), got.begin() + 30), std::vector<uint8_t>(info.begin(), info.begin() + 30));
        QCOMPARE(std::vector<uint8_t>(got.begin() + 30, got.begin() + 285),
                 std::vector<uint8_t>(info.begin() + 31, info.begin() + 286));
        QCOMPARE(int(got[285]), int(info[286]));
        QCOMPARE(int(got[286]), int(info[287]));
    }

    void transferIdTimeoutOnContinuationFrames()
    {
        // The 2 s time-out counts from the start frame: a continuation frame
        // that late ends the transfer.
        const uint64_t t0 = 5000000;
        for (const uint64_t late : {kDefaultTidTimeoutUs - 1, kDefaultTidTimeoutUs}) {
            Instance pc = makePc();
            const auto fs = responseFrames(16, kPortFileRead, pattern(30), 6);
            std::vector<RxTransfer> got = feedAll(pc, {fs.begin(), fs.end() - 1}, t0);
            const auto last = feedAll(pc, {fs.back()}, t0 + late);
            got.insert(got.end(), last.begin(), last.end());
            QCOMPARE(int(got.size()), late < kDefaultTidTimeoutUs ? 1 : 0);
            QCOMPARE(pc.stats().rx_malformed, late < kDefaultTidTimeoutUs ? 0ull : 1ull);
        }
    }

    void reservedIdBitsAreRefused()
    {
        Instance pc = makePc();
        // A single-frame heartbeat from node 16, and a register answer.
        uint8_t data[] = {1, 0, 0, 0, 0, 0, 0, 0xE0};
        uint8_t answer[] = {0, 5, 0xE0};
        const uint32_t msgId = makeMessageId(4, kPortHeartbeat, 16);
        const uint32_t svcId = makeServiceId(1, false, kPortRegAccess, kPcNodeId, 16);
        RxTransfer t;
        for (const uint32_t bad : {msgId | (1u << 23), msgId | (1u << 7), svcId | (1u << 23), msgId | (1u << 29)})
            QVERIFY(!pc.accept(bad, (bad & (1u << 25)) ? answer : data, (bad & (1u << 25)) ? 3 : 8, 1000, t));
        QCOMPARE(pc.stats().rx_frames_invalid, 4ull);
        QCOMPARE(pc.stats().rx_transfers, 0ull);
        // The same frames without the reserved bits come through.
        QVERIFY(pc.accept(msgId, data, sizeof data, 1000, t));
        QVERIFY(pc.accept(svcId, answer, sizeof answer, 1000, t));
    }

    void duplicateTransferId()
    {
        Instance pc = makePc();
        const auto fs = responseFrames(16, kPortFileRead, pattern(30), 7);
        QCOMPARE(int(feedAll(pc, fs, 1000000).size()), 1);
        QCOMPARE(int(feedAll(pc, fs, 2500000).size()), 0); // 1.5 s later: a duplicate
        QCOMPARE(pc.stats().rx_duplicates, 1ull);
        QCOMPARE(int(feedAll(pc, fs, 3100000).size()), 1); // past the 2 s time-out: a new transfer
        // The same transfer-ID from another node is no duplicate.
        QCOMPARE(int(feedAll(pc, responseFrames(17, kPortFileRead, pattern(30), 7), 3100001).size()), 1);
        // A heartbeat with the transfer-ID of the last one is taken: a node
        // back from a restart starts at 0.
        const uint8_t beat[] = {0, 0, 0, 0, 0, 0, 0, makeTail(true, true, true, 0)};
        RxTransfer t;
        for (uint64_t at : {4000000, 4300000})
            QVERIFY(pc.accept(makeMessageId(kPrioNominal, kPortHeartbeat, 16), beat, sizeof beat, at, t));
        // Taking repeats, a port still skips a repeated frame of a transfer.
        pc.subscribe(TransferKind::Response, kPortFileRead, 300, kDefaultTidTimeoutUs, Repeats::Accept);
        auto again = fs;
        again.insert(again.begin() + 1, fs[0]);
        QCOMPARE(int(feedAll(pc, again, 4400000).size()), 1);
        QCOMPARE(int(feedAll(pc, fs, 4500000).size()), 1);
    }

    void newStartMidTransfer()
    {
        Instance pc = makePc();
        const auto a = responseFrames(16, kPortFileRead, pattern(80, 1), 1);
        const auto b = responseFrames(16, kPortFileRead, pattern(40, 9), 2);
        std::vector<CanFrame> mix(a.begin(), a.begin() + 4);
        mix.insert(mix.end(), b.begin(), b.end());
        const auto got = feedAll(pc, mix);
        QCOMPARE(int(got.size()), 1);
        QCOMPARE(got[0].payload, pattern(40, 9));
        QCOMPARE(pc.stats().rx_malformed, 1ull);
        // The rest of the first transfer is orphaned, never delivered.
        QVERIFY(feedAll(pc, std::vector<CanFrame>(a.begin() + 4, a.end())).empty());
        QCOMPARE(pc.stats().rx_frames_orphan, uint64_t(a.size() - 4));
    }

    void truncationToExtent()
    {
        // Node information has an extent of 313 bytes.
        Instance pc = makePc();
        const auto p = pattern(350);
        const auto got = feedAll(pc, responseFrames(16, kPortNodeInfo, p, 0));
        QCOMPARE(int(got.size()), 1);
        QCOMPARE(got[0].payload, std::vector<uint8_t>(p.begin(), p.begin() + 313));
        QCOMPARE(got[0].original_size, size_t(350));
        QCOMPARE(pc.stats().rx_truncated, 1ull);
        // A byte past the extent is still covered by the CRC.
        auto fs = responseFrames(16, kPortNodeInfo, p, 1);
        fs[48].data[0] ^= 1; // byte 336
        QVERIFY(feedAll(pc, fs).empty());
    }
};

QTEST_APPLESS_MAIN(TstCanard)
#include "tst_link_canard.moc"
