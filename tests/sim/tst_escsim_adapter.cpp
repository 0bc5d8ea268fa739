// The adapter side of the simulator: the bit-rate command and its status
// frame, malformed input, throttle set-points and telemetry, and the pace of
// its 500000-baud line (reckoned on timestamps, without the clock).

#include <QtTest>

#include <random>

#include "link/crc.h"
#include "link/cyphalports.h"
#include "linkharness.h"
#include "linepacer.h"
#include "simadapter.h"

using canard::TransferKind;

namespace {

// An adapter frame with a valid CRC, whatever its ID and DLC.
std::vector<uint8_t> frameBytes(uint32_t id, const std::vector<uint8_t>& data, int dlc = -1)
{
    std::vector<uint8_t> f(16, 0);
    f[0] = 0xAA;
    for (int i = 0; i < 4; ++i)
        f[1 + i] = uint8_t(id >> (8 * i));
    f[5] = uint8_t(dlc >= 0 ? dlc : int(data.size()));
    std::copy(data.begin(), data.end(), f.begin() + 6);
    const uint16_t crc = crc16CcittFalse(f.data(), 14);
    f[14] = uint8_t(crc);
    f[15] = uint8_t(crc >> 8);
    return f;
}

// A bit-rate command is answered in order, so its status frame proves that
// everything sent before it has been handled.
bool barrier(SimFixture& f)
{
    const size_t before = f.client.statusFrames().size();
    return f.client.sendBitrate(500000) &&
           f.client.waitUntil([&] { return f.client.statusFrames().size() > before; });
}

bool telemetry(SimFixture& f, uint16_t port, uint8_t node, int first, LinkRecord* out = nullptr)
{
    return f.client.waitFor([=](const LinkRecord& x) {
        return x.port == port && x.node == node && x.i16(0) == first;
    }, kWaitMs, out);
}

// Frames a second the paced adapter carries, each way, when the bus
// loop sleeps until the line is due and wakes `lateUs` late every time.
// Towards the PC its queue never runs dry; from the PC the terminal always
// holds more frames than the line takes.
uint64_t framesPerSecond(bool towardsPc, uint64_t lateUs)
{
    escsim::SimAdapter a(true);
    const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint8_t frame[adapter::kFrameSize];
    adapter::encodeFrame(0x107D000F, data, 8, frame);
    size_t phase = 0; // of the PC's endless frame stream
    const uint64_t startUs = 1000000, endUs = 3 * startUs;
    uint64_t firstCount = 0, t = startUs, lastUs = t;
    while (lastUs < endUs) {
        lastUs = t;
        if (towardsPc) {
            while (a.framesQueued() < 100)
                a.send(0x107D000F, data, 8);
            a.consumed(a.pendingOutput(t).size(), t);
        } else {
            std::vector<uint8_t> bytes(std::min<size_t>(a.readAllowance(t), 4096));
            for (uint8_t& b : bytes)
                b = frame[phase++ % adapter::kFrameSize];
            a.feed(bytes.data(), bytes.size(), t, [](const adapter::Frame&) {});
        }
        if (t == startUs)
            firstCount = towardsPc ? a.framesOut() : a.framesIn();
        t += (towardsPc ? a.outputDelayUs(t) : a.readDelayUs(t)) + lateUs + 1;
    }
    // What the line carried up to the last wake-up, over the time it took.
    const uint64_t frames = (towardsPc ? a.framesOut() : a.framesIn()) - firstCount;
    return (frames * 1000000 + (lastUs - startUs) / 2) / (lastUs - startUs);
}

} // namespace

class TestEscSimAdapter : public QObject {
    Q_OBJECT

private slots:
    void bitrateCommandIsAnswered()
    {
        SimFixture f;
        QVERIFY(f.up());
        QCOMPARE(f.bus.adapterBitrate(), uint32_t(500000));
        QVERIFY(f.client.sendBitrate(250000));
        QVERIFY(f.client.waitFor(kRespLinkFrame, 0));
        QVERIFY(f.client.waitUntil([&] { return !f.client.statusFrames().empty(); }));
        const adapter::Frame st = f.client.statusFrames().front();
        QCOMPARE(st.can_id, adapter::kStatusFrameId);
        QCOMPARE(int(st.dlc), 1);
        QCOMPARE(int(st.data[0]), 0);
        QCOMPARE(f.bus.adapterBitrate(), uint32_t(250000));
        QCOMPARE(f.bus.bitrateCommands(), (std::vector<uint32_t> {250000}));
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
        for (const auto& bad : {badCrc,
                                frameBytes(0x136B880F, {0xE0, 1, 2, 3, 4, 5, 6, 7}, 9), // DLC 9
                                frameBytes(0xFFFFFFF0, {1, 2}),                          // adapter-internal ID
                                frameBytes(0xFFFFFFFF, {1, 2}),                          // bit-rate command, DLC 2
                                frameBytes(0x136B880F | (1u << 23), {0xE0}),             // reserved bit 23
                                frameBytes(0x136B880F, {}),                              // DLC 0
                                frameBytes(0x0740080F, {0x00, 0x0B, 0x41}),              // no start bit
                                // a multi-frame register request with a wrong toggle in its second frame
                                frameBytes(0x0740080F, {0, 0x0B, 0, 0, 0, 0, 0, 0xA2}),
                                frameBytes(0x0740080F, {1, 2, 0x62})})
            QVERIFY(f.client.writeRaw(bad));
        // Transfers too short for the node to parse.
        QVERIFY(f.client.sendRawTransfer(TransferKind::Request, kPortRegAccess, 16, {0}));
        QVERIFY(f.client.sendRawTransfer(TransferKind::Request, kPortFileRead, 16, {0, 0, 0}));
        QVERIFY(f.client.sendRawTransfer(TransferKind::Request, kPortExecCommand, 16, {0xFF}));
        QVERIFY(f.client.sendRawTransfer(TransferKind::Request, kPortFileWrite, 16, {0, 0, 0, 0, 0, 3, 'a', 'b', 'c', 0, 0}));
        QVERIFY(f.client.sendRawTransfer(TransferKind::Message, kPortNodeIdAssign, 0xFF, {0}));
        QVERIFY(f.client.sendRawTransfer(TransferKind::Message, kPortThrottleFirst, 0xFF, {1, 2}));
        QVERIFY(f.client.writeRaw({0xAA, 0x0F, 0x88})); // half a frame

        // Good traffic afterwards: the first register answer is the one to it.
        RegAccessArgs a;
        a.op = 1;
        a.reg = 0x0A;
        LinkRecord r;
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
        QCOMPARE(int(r.payload[0]), 0x10);
        QCOMPARE(int(r.payload[1]), 0x0A);
        QVERIFY(f.request(kPortNodeInfo, 16, nullptr));
        QCOMPARE(f.bus.nodeIds(), (std::vector<uint8_t> {16}));
        QCOMPARE(f.bus.adapterBitrate(), uint32_t(500000));
        QCOMPARE(f.bus.throttle(16), uint16_t(0));
        const escsim::AdapterStats st = f.bus.adapterStats();
        QVERIFY(st.garbageBytes > 0);
        QVERIFY(st.badFrames > 0);
        QCOMPARE(f.client.count([](const LinkRecord& x) {
            return x.port == kPortExecCommand || x.port == kPortFileRead || x.port == kPortFileWrite;
        }), 0);
    }

    void repeatedFrameIsAnsweredOnce()
    {
        // A command request of four frames, one of them arriving twice (as
        // CAN repeats a frame after an acknowledgement error): one answer.
        SimFixture f;
        QVERIFY(f.up());
        canard::Instance pc(canard::kPcNodeId);
        const std::vector<uint8_t> param(20, 'p');
        ExecCommandArgs cmd;
        cmd.command = 0x1234; // unknown: answered with a status all the same
        cmd.param = param.data();
        cmd.paramLen = param.size();
        for (const size_t repeat : {size_t(1), size_t(0)}) { // a middle frame, then the start frame
            QCOMPARE(cyphal_send_data(pc, kPortExecCommand, 16, &cmd), 0);
            std::vector<uint8_t> wire;
            for (; const canard::CanFrame* fr = pc.peekTx(); pc.popTx()) {
                const size_t at = wire.size();
                wire.resize(at + adapter::kFrameSize);
                adapter::encodeFrame(fr->id, fr->data, fr->len, wire.data() + at);
            }
            QCOMPARE(wire.size(), size_t(4 * adapter::kFrameSize));
            const auto from = wire.begin() + long(repeat * adapter::kFrameSize);
            wire.insert(from + adapter::kFrameSize, from, from + adapter::kFrameSize);
            QVERIFY(f.client.writeRaw(wire));
            QVERIFY(f.client.waitFor(kPortExecCommand, 16));
            QVERIFY(barrier(f));
            QCOMPARE(f.client.count([](const LinkRecord& x) { return x.port == kPortExecCommand; }), 0);
        }
    }

    // The line's sums, step by step: "i" nothing waits, "cT:B" B bytes
    // carried at T us, "aT=N" N bytes may go at T, "fT:H=N" N bytes of whole
    // frames (the first H bytes short) may go at T, "dT:B=N" B bytes may go
    // N us after T.
    void linePacing_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::newRow("after rest one frame at once, then one each 320 us")
            << "a1000=16 c1000:16 a1000=0 d1000:16=320 a1319=15 a1320=16";
        QTest::newRow("a late caller carries what the line did meanwhile")
            << "c1000:16 a1420=21 c1420:21 a1420=0 d1420:16=320";
        QTest::newRow("bytes count one by one") << "c1000:16 a1019=0 a1020=1 d1020:1=0";
        QTest::newRow("rest gives no burst") << "c1000:16 i a60000=16 c60000:16 a60000=0";
        QTest::newRow("rest does not cut short a frame on the line") << "c1000:16 i a1100=5 d1100:16=220";
        QTest::newRow("a busy line runs at most 20 ms ahead")
            << "c1000:16 a100000=1000 c100000:1000 a100000=0 d100000:16=320";
        QTest::newRow("at the clock's start") << "a0=0 a100=5 d0:16=320";
        QTest::newRow("whole frames") << "c1000:16 f1639:16=16 f1640:16=32 f1300:16=0";
        QTest::newRow("the rest of a frame partly carried") << "c1000:16 c1200:10 f1319:6=0 f1320:6=6 f1640:6=22";
    }
    void linePacing()
    {
        QFETCH(QString, steps);
        escsim::LinePacer line;
        for (const QString& step : steps.split(' ')) {
            const QStringList n = step.mid(1).split(QRegularExpression("[:=]"));
            const uint64_t t = n.at(0).toULongLong();
            if (step.startsWith('i'))
                line.idle();
            else if (step.startsWith('c'))
                line.carry(n.at(1).toULongLong(), t);
            else if (step.startsWith('a'))
                QVERIFY2(line.allowance(t) == n.at(1).toULongLong(), qPrintable(step));
            else if (step.startsWith('f'))
                QVERIFY2(line.frameAllowance(n.at(1).toULongLong(), t) == n.at(2).toULongLong(), qPrintable(step));
            else
                QVERIFY2(line.delayUs(n.at(1).toULongLong(), t) == n.at(2).toULongLong(), qPrintable(step));
        }
    }

    // A bus loop that sleeps once per frame and wakes late (timer slack, a
    // busy machine) still gets the line's 3125 frames a second each way.
    void lineRate_data()
    {
        QTest::addColumn<bool>("towardsPc");
        QTest::addColumn<int>("lateUs");
        QTest::addColumn<int>("frames");
        for (const bool out : {true, false}) {
            const char* way = out ? "to the PC" : "from the PC";
            QTest::addRow("%s, on time", way) << out << 0 << 3125;
            QTest::addRow("%s, 60 us late", way) << out << 60 << 3125;
            QTest::addRow("%s, 300 us late", way) << out << 300 << 3125;
            QTest::addRow("%s, 5 ms late", way) << out << 5000 << 3125;
        }
    }
    void lineRate()
    {
        QFETCH(bool, towardsPc);
        QFETCH(int, lateUs);
        QFETCH(int, frames);
        const int got = int(framesPerSecond(towardsPc, uint64_t(lateUs)));
        QVERIFY2(qAbs(got - frames) <= 1, qPrintable(QString::number(got)));
    }

    // After rest the line from the PC lets one frame in at once; while the
    // PC's bytes wait, it catches up (up to 20 ms) what a late reader owed.
    void inputRest_data()
    {
        QTest::addColumn<int>("read");  // bytes taken of the 16 the line allowed
        QTest::addColumn<bool>("told"); // the bus saw nothing waiting
        QTest::addColumn<int>("later"); // the line's allowance 100 ms on
        QTest::newRow("a short read emptied the PC's side") << 8 << false << 16;
        QTest::newRow("nothing was waiting") << 16 << true << 16;
        QTest::newRow("the PC's bytes still wait") << 16 << false << 1000;
    }
    void inputRest()
    {
        QFETCH(int, read);
        QFETCH(bool, told);
        QFETCH(int, later);
        escsim::SimAdapter a(true);
        QCOMPARE(a.readAllowance(1000000), size_t(16));
        const std::vector<uint8_t> bytes(size_t(read), 0);
        a.feed(bytes.data(), bytes.size(), 1000000, [](const adapter::Frame&) {});
        if (told)
            a.inputIdle();
        QCOMPARE(a.readAllowance(1100000), size_t(later));
    }

    // The same towards the PC: frames queued after the queue ran dry go one
    // at once; frames that waited all along catch up; a frame the terminal
    // took in part goes on from where it stopped.
    void outputRest_data()
    {
        QTest::addColumn<int>("queued"); // frames queued at first; one may go
        QTest::addColumn<int>("taken");  // bytes of it the terminal took
        QTest::addColumn<int>("wait");   // microseconds until the next frame may go
        QTest::addColumn<bool>("drop");  // then the rest dropped (no one listens)
        QTest::addColumn<int>("later");  // bytes that may go 100 ms on, 70 queued
        QTest::newRow("the queue ran dry") << 1 << 16 << 0 << false << 16;
        QTest::newRow("frames still wait") << 2 << 16 << 320 << false << 992;
        QTest::newRow("dropped with no one listening") << 3 << 16 << 320 << true << 16;
        QTest::newRow("a frame taken in part") << 2 << 10 << 0 << false << 998;
    }
    void outputRest()
    {
        QFETCH(int, queued);
        QFETCH(int, taken);
        QFETCH(int, wait);
        QFETCH(bool, drop);
        QFETCH(int, later);
        escsim::SimAdapter a(true);
        const uint8_t data[1] = {0xE0};
        for (int i = 0; i < queued; ++i)
            a.send(0x107D550F, data, 1);
        QCOMPARE(a.pendingOutput(1000000).size(), size_t(16));
        a.consumed(size_t(taken), 1000000);
        QCOMPARE(a.framesOut(), uint64_t(taken == 16));
        QCOMPARE(a.outputDelayUs(1000000), uint64_t(wait));
        if (drop)
            a.dropOutput();
        while (a.framesQueued() < 70)
            a.send(0x107D550F, data, 1);
        QCOMPARE(a.pendingOutput(1100000).size(), size_t(later));
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
        QVERIFY(telemetry(f, kPortTelemetry2, 16, 100));
        QVERIFY(telemetry(f, kPortTelemetry2, 20, 300));
        LinkRecord t2;
        QVERIFY(telemetry(f, kPortTelemetry2, 47, 1234, &t2));
        QCOMPARE(int(t2.payload.size()), 7);
        QVERIFY(t2.i16(2) > 0); // some voltage
        // The speed settles at the set-point's value.
        LinkRecord t1;
        QVERIFY(telemetry(f, kPortTelemetry, 16, 1000, &t1));
        QCOMPARE(int(t1.payload.size()), 6 + 9);

        // A group that does not carry a node's row leaves it alone.
        ThrottleArgs other;
        other.t[0] = 999;
        QVERIFY(f.client.send(kPortThrottleFirst + 2, 0xFF, &other));
        QVERIFY(barrier(f));
        QCOMPARE(f.bus.throttle(16), uint16_t(100));
        QCOMPARE(f.bus.throttle(20), uint16_t(300));
        QCOMPARE(f.bus.throttles(), (std::vector<uint16_t> {100, 300, 1234}));
    }

    void writtenBeforeCloseReachesTheBus_data()
    {
        QTest::addColumn<bool>("paced");
        QTest::newRow("line as fast as the terminal") << false;
        QTest::newRow("line paced to 500000 baud") << true;
    }

    // The PC closes the port right after its last writes, before the
    // simulator has read them: they still reach the nodes, as a real port
    // drains its output when it closes. The bus runs in this thread, so
    // that nothing is read before the close.
    void writtenBeforeCloseReachesTheBus()
    {
        QFETCH(bool, paced);
        escsim::Options o;
        o.nodes = {16, 47};
        o.baudLimit = paced;
        escsim::Bus bus(o);
        std::string error;
        const std::string path = bus.start(&error);
        QVERIFY2(!path.empty(), error.c_str());
        const auto runUntil = [&bus](const std::function<bool()>& done) {
            for (int i = 0; i < 400 && !done(); ++i)
                bus.runOnce(5);
            return done();
        };
        SimClient client;
        QVERIFY(client.open(path));
        ThrottleArgs g1, g8, zero;
        g1.t[0] = 100;
        g8.t[3] = 1234;
        QVERIFY(client.send(kPortThrottleFirst, 0xFF, &g1) && client.send(kPortThrottleLast, 0xFF, &g8));
        QVERIFY(runUntil([&bus] { return bus.throttle(16) == 100 && bus.throttle(47) == 1234; }));

        QVERIFY(client.send(kPortThrottleFirst, 0xFF, &zero) && client.send(kPortThrottleLast, 0xFF, &zero));
        client.close();
        QVERIFY(runUntil([&bus] { return bus.throttle(16) == 0 && bus.throttle(47) == 0; }));
        QCOMPARE(bus.adapterStats().framesIn, uint64_t(4));
    }
};

QTEST_GUILESS_MAIN(TestEscSimAdapter)
#include "tst_escsim_adapter.moc"
