// The adapter side of the simulator: bit-rate command and status frame,
// nodes that only hear their own rate (the CAN-baud change sequence),
// malformed input, throttle set-points and telemetry, paced line.

#include <QtTest>

#include <random>

#include "link/crc.h"
#include "link/cyphalports.h"
#include "simfixture.h"

namespace {

RegAccessArgs writeReg(uint8_t reg, uint16_t v)
{
    RegAccessArgs a;
    a.op = 2;
    a.reg = reg;
    a.value = v;
    return a;
}

std::vector<uint8_t> frameBytes(uint32_t id, std::vector<uint8_t> data, int dlcOverride = -1)
{
    std::vector<uint8_t> f(16, 0);
    f[0] = 0xAA;
    for (int i = 0; i < 4; ++i)
        f[1 + i] = uint8_t(id >> (8 * i));
    f[5] = uint8_t(dlcOverride >= 0 ? dlcOverride : int(data.size()));
    std::copy(data.begin(), data.end(), f.begin() + 6);
    const uint16_t crc = crc16CcittFalse(f.data(), 14);
    f[14] = uint8_t(crc);
    f[15] = uint8_t(crc >> 8);
    return f;
}

} // namespace

class TestEscSimAdapter : public QObject {
    Q_OBJECT

private:
    // A bit-rate command is answered in order, so its status frame proves
    // that everything sent before it has been handled.
    static bool barrier(SimFixture& f, uint32_t rate)
    {
        const size_t before = f.client.statusFrames().size();
        if (!f.client.sendBitrate(rate))
            return false;
        return f.client.waitUntil([&] { return f.client.statusFrames().size() > before; }, kWaitMs);
    }

    static bool beatsWithout(SimFixture& f, uint8_t present, uint8_t absent)
    {
        f.client.clearBacklog();
        if (!f.client.waitFor(kPortHeartbeat, present, kWaitMs))
            return false;
        f.client.clearBacklog();
        if (!f.client.waitFor(kPortHeartbeat, present, kWaitMs))
            return false;
        return !f.client.waitFor(kPortHeartbeat, absent, 0);
    }

private slots:
    void bitrateCommandIsAnswered()
    {
        SimFixture f;
        QVERIFY(f.up());
        QCOMPARE(f.bus.adapterBitrate(), uint32_t(500000));
        QVERIFY(f.client.sendBitrate(250000));
        QVERIFY(f.client.waitFor(kRespLinkFrame, 0, kWaitMs));
        QVERIFY(f.client.waitUntil([&] { return !f.client.statusFrames().empty(); }, kWaitMs));
        const adapter::Frame st = f.client.statusFrames().front();
        QCOMPARE(st.can_id, adapter::kStatusFrameId);
        QCOMPARE(int(st.dlc), 1);
        QCOMPARE(int(st.data[0]), 0);
        QCOMPARE(f.bus.adapterBitrate(), uint32_t(250000));
        QCOMPARE(f.bus.bitrateCommands(), (std::vector<uint32_t>{250000}));
    }

    void canBaudChangeSequence()
    {
        escsim::Options o;
        o.nodes = {16, 17};
        SimFixture f(o);
        QVERIFY(f.up());

        // Node 16 alone to 250K: its answer still comes at the old rate.
        RegAccessArgs a = writeReg(4, 0);
        Record r;
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
        QCOMPARE(int(r.payload[0]), 0x20);
        QCOMPARE(f.bus.nodeBitrate(16), uint32_t(250000));
        QVERIFY(beatsWithout(f, 17, 16));

        // The page's sequence to 1000K: at every other rate, write register 4
        // of every node; then switch the adapter to the target.
        const uint32_t rates[] = {250000, 500000, 800000};
        for (uint32_t rate : rates) {
            QVERIFY(barrier(f, rate));
            for (uint8_t node = 16; node <= 48; ++node) {
                a = writeReg(4, 3);
                QVERIFY(f.client.send(kPortRegAccess, node, &a));
            }
        }
        QVERIFY(barrier(f, 1000000));
        QCOMPARE(f.bus.registerWriteCount(4), 3);
        QCOMPARE(f.bus.nodeBitrate(16), uint32_t(1000000));
        QCOMPARE(f.bus.nodeBitrate(17), uint32_t(1000000));
        f.client.clearBacklog();
        QVERIFY(f.client.waitFor(kPortHeartbeat, 16, kWaitMs));
        QVERIFY(f.client.waitFor(kPortHeartbeat, 17, kWaitMs));
        QCOMPARE(f.bus.bitrateCommands(), (std::vector<uint32_t>{250000, 500000, 800000, 1000000}));

        // Out-of-range codes are refused and change nothing.
        a = writeReg(4, 4);
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
        QCOMPARE(int(r.payload[0]), 0x13);
        QCOMPARE(f.bus.nodeBitrate(16), uint32_t(1000000));
    }

    void malformedInputIsIgnored()
    {
        SimFixture f;
        QVERIFY(f.up());
        std::mt19937 rng(1234);
        std::vector<uint8_t> junk(8192);
        for (auto& b : junk)
            b = uint8_t(rng());
        QVERIFY(f.client.writeRaw(junk));

        std::vector<uint8_t> badCrc = frameBytes(0x136B880F, {0xE0});
        badCrc[15] ^= 0x5A;
        QVERIFY(f.client.writeRaw(badCrc));
        QVERIFY(f.client.writeRaw(frameBytes(0x136B880F, {0xE0, 1, 2, 3, 4, 5, 6, 7}, 9)));  // DLC 9
        QVERIFY(f.client.writeRaw(frameBytes(0xFFFFFFF0, {1, 2})));                          // internal ID
        QVERIFY(f.client.writeRaw(frameBytes(0xFFFFFFFF, {1, 2})));                          // rate, DLC 2
        QVERIFY(f.client.writeRaw(frameBytes(0x136B880F | (1u << 23), {0xE0})));             // bit 23
        QVERIFY(f.client.writeRaw(frameBytes(0x136B880F, {})));                              // DLC 0
        QVERIFY(f.client.writeRaw(frameBytes(0x0740080F, {0x00, 0x0B, 0x41})));            // no start bit
        // A multi-frame register request whose second frame has a wrong toggle.
        QVERIFY(f.client.writeRaw(frameBytes(0x0740080F, {0, 0x0B, 0, 0, 0, 0, 0, 0xA2})));
        QVERIFY(f.client.writeRaw(frameBytes(0x0740080F, {1, 2, 0x62})));
        // Requests the node cannot parse: too short.
        QVERIFY(f.client.sendRawTransfer(canard::TransferKind::Request, kPortRegAccess, 16, {0}));
        QVERIFY(f.client.sendRawTransfer(canard::TransferKind::Request, kPortFileRead, 16, {0, 0, 0}));
        QVERIFY(f.client.sendRawTransfer(canard::TransferKind::Request, kPortExecCommand, 16, {0xFF}));
        QVERIFY(f.client.sendRawTransfer(canard::TransferKind::Request, kPortFileWrite, 16,
                                         {0, 0, 0, 0, 0, 3, 'a', 'b', 'c', 0, 0}));
        QVERIFY(f.client.sendRawTransfer(canard::TransferKind::Message, kPortNodeIdAssign, 0xFF, {0}));
        QVERIFY(f.client.sendRawTransfer(canard::TransferKind::Message, kPortThrottleFirst, 0xFF, {1, 2}));
        // Half a frame, then good traffic.
        QVERIFY(f.client.writeRaw({0xAA, 0x0F, 0x88}));

        RegAccessArgs a;
        a.op = 1;
        a.reg = 0x0A;
        Record r;
        QVERIFY(f.client.send(kPortRegAccess, 16, &a));
        // The first register answer is the one to the good request.
        QVERIFY(f.client.waitFor(kPortRegAccess, 16, kWaitMs, &r));
        QCOMPARE(int(r.payload[0]), 0x10);
        QCOMPARE(int(r.payload[1]), 0x0A);
        QVERIFY(f.request(kPortNodeInfo, 16, nullptr, &r));
        QCOMPARE(f.bus.nodeIds(), (std::vector<uint8_t>{16}));
        QCOMPARE(f.bus.adapterBitrate(), uint32_t(500000));
        QCOMPARE(f.bus.throttle(16), uint16_t(0));
        const escsim::AdapterStats st = f.bus.adapterStats();
        QVERIFY(st.garbageBytes > 0);
        QVERIFY(st.badFrames > 0);
        // Nothing on the exec-command, file-read or file-write ports came back.
        QVERIFY(!f.client.waitFor([](const Record& x) {
            return x.port == kPortExecCommand || x.port == kPortFileRead || x.port == kPortFileWrite;
        }, 0));
    }

    void throttleDrivesTelemetry()
    {
        escsim::Options o;
        o.nodes = {16, 20, 47};
        o.telemetryHz = 20;
        SimFixture f(o);
        QVERIFY(f.up());
        // Row N is node N + 15; four rows to a subject.
        ThrottleArgs g1, g2, g8;
        g1.t[0] = 100;
        g2.t[0] = 300;
        g8.t[3] = 1234;
        QVERIFY(f.client.send(kPortThrottleFirst, 0xFF, &g1));
        QVERIFY(f.client.send(kPortThrottleFirst + 1, 0xFF, &g2));
        QVERIFY(f.client.send(kPortThrottleLast, 0xFF, &g8));
        QVERIFY(f.client.waitFor([](const Record& x) {
            return x.port == kPortTelemetry2 && x.node == 16 && getI16(x.payload, 0) == 100;
        }, kWaitMs));
        QVERIFY(f.client.waitFor([](const Record& x) {
            return x.port == kPortTelemetry2 && x.node == 20 && getI16(x.payload, 0) == 300;
        }, kWaitMs));
        Record t2;
        QVERIFY(f.client.waitFor([](const Record& x) {
            return x.port == kPortTelemetry2 && x.node == 47 && getI16(x.payload, 0) == 1234;
        }, kWaitMs, &t2));
        QCOMPARE(int(t2.payload.size()), 7);
        QVERIFY(getI16(t2.payload, 2) > 0); // some voltage
        // Speed settles at the set-point's value.
        Record t1;
        QVERIFY(f.client.waitFor([](const Record& x) {
            return x.port == kPortTelemetry && x.node == 16 && getI16(x.payload, 0) == 1000;
        }, kWaitMs, &t1));
        QCOMPARE(int(t1.payload.size()), 6 + 9);

        // A group that does not carry a node's row leaves it alone.
        ThrottleArgs other;
        other.t[0] = 999;
        QVERIFY(f.client.send(kPortThrottleFirst + 2, 0xFF, &other));
        QVERIFY(barrier(f, 500000));
        QCOMPARE(f.bus.throttle(16), uint16_t(100));
        QCOMPARE(f.bus.throttle(20), uint16_t(300));
    }

    void noTelemetryByDefault()
    {
        SimFixture f;
        QVERIFY(f.up());
        QVERIFY(f.client.waitFor(kPortHeartbeat, 16, kWaitMs));
        QVERIFY(f.client.waitFor(kPortHeartbeat, 16, kWaitMs));
        QVERIFY(!f.client.waitFor([](const Record& x) {
            return x.port == kPortTelemetry || x.port == kPortTelemetry2;
        }, 0));
    }

    void pacedLineLosesNothing()
    {
        escsim::Options o;
        o.nodes = {16, 17, 18, 19};
        o.baudLimit = true;
        o.telemetryHz = 50;
        SimFixture f(o);
        QVERIFY(f.up());
        // Frames made before the client opened the port are dropped; count from here.
        QVERIFY(f.client.waitFor(kPortHeartbeat, 16, kWaitMs));
        const uint64_t droppedBefore = f.bus.adapterStats().framesDropped;
        const int kRequests = 300;
        for (int i = 0; i < kRequests; ++i) {
            RegAccessArgs a;
            a.op = 1; // 23-byte answers: four frames each
            a.reg = 0x0B;
            QVERIFY(f.client.send(kPortRegAccess, uint8_t(16 + i % 4), &a));
        }
        for (int i = 0; i < kRequests; ++i) {
            Record r;
            QVERIFY2(f.client.waitFor(kPortRegAccess, uint8_t(16 + i % 4), kWaitMs, &r), qPrintable(QString::number(i)));
            QCOMPARE(getU16(r.payload, 16), 7);
        }
        QCOMPARE(f.bus.adapterStats().framesDropped, droppedBefore);
    }
};

QTEST_GUILESS_MAIN(TestEscSimAdapter)
#include "tst_escsim_adapter.moc"
