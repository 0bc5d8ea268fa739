// Node services of the simulator, driven over its real pseudo-terminal with
// the link core as client: heartbeat, node information, registers, the
// description file, the CAN bit-rate change and node-ID assignment.

#include <QtTest>

#include <algorithm>

#include "link/cyphalports.h"
#include "linkharness.h"

namespace {
RegAccessArgs reg(uint8_t op, uint8_t r, uint16_t v = 0)
{
    RegAccessArgs a;
    a.op = op;
    a.reg = r;
    a.value = v;
    return a;
}
} // namespace

class TestEscSimServices : public QObject {
    Q_OBJECT

private slots:
    void heartbeatsFromEveryNode()
    {
        escsim::Options o;
        o.nodes = {16, 17};
        SimFixture f(o);
        QVERIFY(f.up());
        LinkRecord hb;
        QVERIFY(f.client.waitFor(kPortHeartbeat, 16, kWaitMs, &hb));
        QCOMPARE(int(hb.payload.size()), 6);
        QCOMPARE(int(hb.payload[4]), 0); // health nominal
        QCOMPARE(int(hb.payload[5]), 0); // operational
        QVERIFY(f.client.waitFor(kPortHeartbeat, 17));
        // Uptime counts on: a later heartbeat of node 16 shows a larger one.
        const int first = hb.u16(0);
        QVERIFY(f.client.waitFor([&](const LinkRecord& r) {
            return r.port == kPortHeartbeat && r.node == 16 && r.u16(0) > first;
        }));
    }

    void nodeInformation()
    {
        escsim::Options o;
        o.name = "P_FLY-ESC_B";
        o.swMajor = 4;
        o.swMinor = 7;
        SimFixture f(o);
        QVERIFY(f.up());
        LinkRecord r;
        QVERIFY(f.request(kPortNodeInfo, 16, nullptr, &r));
        QCOMPARE(int(r.payload.size()), 296);
        QCOMPARE(std::vector<uint8_t>(r.payload.begin(), r.payload.begin() + 6), std::vector<uint8_t>({1, 0, 1, 0, 4, 7}));
        QCOMPARE(QString(reinterpret_cast<const char*>(&r.payload[30])), QString("P_FLY-ESC_B"));
        // The unique ID is not all zero, so two nodes can be told apart.
        QVERIFY(std::any_of(r.payload.begin() + 14, r.payload.begin() + 30, [](uint8_t b) { return b != 0; }));
    }

    void registerReadAndWrite()
    {
        SimFixture f;
        QVERIFY(f.up());
        // Whole register 0x0B: value, default, limits 1..50 at their places.
        LinkRecord r;
        RegAccessArgs a = reg(1, 0x0B);
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
        QCOMPARE(int(r.payload.size()), 23 + 9);
        QCOMPARE(int(r.payload[0]), 0x10);
        QCOMPARE(int(r.payload[1]), 0x0B);
        QCOMPARE(r.u16(2), 7);
        QCOMPARE(r.u16(16), 7);
        QCOMPARE(r.i16(18), 1);
        QCOMPARE(r.i16(20), 50);
        // A write inside the limits is answered with the new value and kept.
        a = reg(2, 0x0B, 50);
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
        QCOMPARE(int(r.payload[0]), 0x20);
        QCOMPARE(r.u16(2), 50);
        a = reg(0, 0x0B);
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
        QCOMPARE(int(r.payload.size()), 4 + 9);
        QCOMPARE(r.u16(2), 50);
        QCOMPARE(f.bus.registerWriteCount(0x0B), 1);
    }

    void registerRefusals_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("status");
        QTest::newRow("above the upper limit") << 2 << 0x0B << 51 << 0x13;
        QTest::newRow("below the lower limit") << 2 << 0x0B << 0 << 0x13;
        QTest::newRow("negative as 16 bits") << 2 << 0x0B << 0xFFFF << 0x13;
        QTest::newRow("unknown register") << 0 << 0x77 << 0 << 0x11;
        QTest::newRow("read-only register") << 2 << 5 << 0x20 << 0x12;
        QTest::newRow("unknown operation") << 9 << 0x0B << 0 << 0x12;
    }
    void registerRefusals()
    {
        QFETCH(int, op);
        QFETCH(int, address);
        QFETCH(int, value);
        QFETCH(int, status);
        SimFixture f;
        QVERIFY(f.up());
        const RegAccessArgs a = reg(uint8_t(op), uint8_t(address), uint16_t(value));
        LinkRecord r;
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
        QCOMPARE(int(r.payload[0]), status);
        QCOMPARE(int(r.payload[1]), address);
        QCOMPARE(f.bus.registerWriteCount(uint8_t(address)), 0); // the value stays
    }

    // A write of register 4 is answered at the old bit rate; then the node
    // runs at the new one: it hears nothing at the old rate, and answers and
    // beats once the adapter is at the new rate too.
    void bitRateChange_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("status");
        QTest::addColumn<uint>("rate");
        QTest::newRow("to 250K") << 0 << 0x20 << 250000u;
        QTest::newRow("to 800K") << 2 << 0x20 << 800000u;
        QTest::newRow("to 1000K") << 3 << 0x20 << 1000000u;
        QTest::newRow("to the rate it runs at") << 1 << 0x20 << 500000u;
        QTest::newRow("an unknown code is refused") << 4 << 0x13 << 500000u;
    }
    void bitRateChange()
    {
        QFETCH(int, code);
        QFETCH(int, status);
        QFETCH(uint, rate);
        SimFixture f;
        QVERIFY(f.up());
        const RegAccessArgs a = reg(2, 4, uint16_t(code));
        LinkRecord r;
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
        QCOMPARE(int(r.payload[0]), status);
        QCOMPARE(int(r.payload[1]), 4);
        if (status == 0x20)
            QCOMPARE(r.u16(2), code);
        QCOMPARE(f.bus.nodeBitrate(16), rate);

        // A write at the old rate, then the adapter's change, whose status
        // frame comes after any answer to it: a node at another rate neither
        // takes nor answers it.
        f.client.clear();
        const RegAccessArgs write = reg(2, 0x0B, 30);
        QVERIFY(f.client.send(kPortRegAccess, 16, &write));
        QVERIFY(f.client.sendBitrate(rate));
        QVERIFY(f.client.waitUntil([&] { return !f.client.statusFrames().empty(); }));
        const bool sameRate = rate == 500000u;
        QCOMPARE(f.client.count([](const LinkRecord& x) { return x.port == kPortRegAccess; }), sameRate ? 1 : 0);
        QCOMPARE(f.bus.registerWriteCount(0x0B), sameRate ? 1 : 0);
        f.client.clear();
        QVERIFY(f.request(kPortNodeInfo, 16, nullptr));
        QVERIFY(f.client.waitFor(kPortHeartbeat, 16));
    }

    void descriptionInChunks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("built-in") << QString();
        QTest::newRow("exactly one chunk long") << QString(256, QChar('x'));
        QTest::newRow("from a file") << QString(":STR,Motor");
    }
    void descriptionInChunks()
    {
        QFETCH(QString, text);
        escsim::Options o;
        o.description = text.toStdString();
        SimFixture f(o);
        QVERIFY(f.up());
        std::string got;
        for (uint32_t offset = 0;; offset += 256) {
            QVERIFY(offset < 64 * 256);
            FileReadArgs a;
            a.offset = offset;
            a.fileType = 1001;
            LinkRecord r;
            QVERIFY(f.request(kPortFileRead, 16, &a, &r));
            QCOMPARE(r.u16(0), int(offset & 0xFFFF));
            QCOMPARE(r.i16(5), 0);
            const std::string chunk(r.payload.begin() + 7, r.payload.end() - 1); // less the NUL the link adds
            QVERIFY(chunk.size() <= 256);
            got += chunk;
            if (chunk.size() < 256)
                break;
        }
        QCOMPARE(got, text.isEmpty() ? escsim::sampleDescription() : text.toStdString());
    }

    void heldAnswersKeepTheirOrderAndTransferIds()
    {
        // The first answer goes, the next two wait (a node-information
        // round trip shows that nothing else came), and released they come
        // in order, each with its own request's transfer-ID.
        SimFixture f;
        QVERIFY(f.up());
        f.bus.holdResponses(16, kPortFileRead, 1);
        for (uint32_t offset : {0u, 256u, 0u}) {
            FileReadArgs a;
            a.offset = offset;
            a.fileType = 1001;
            QVERIFY(f.client.send(kPortFileRead, 16, &a));
        }
        QVERIFY(f.request(kPortNodeInfo, 16, nullptr));
        const auto isChunk = [](const LinkRecord& r) { return r.port == kPortFileRead; };
        QCOMPARE(f.client.count(isChunk), 1);
        f.bus.releaseResponses(16);
        QVERIFY(f.client.waitUntil([&] { return f.client.count(isChunk) == 3; }));
        QList<int> got;
        for (int i = 0; i < 3; ++i) {
            LinkRecord r;
            QVERIFY(f.client.waitFor(isChunk, kWaitMs, &r));
            got << r.u16(0) << r.transferId;
        }
        QCOMPARE(got, QList<int>({0, 0, 256, 1, 0, 2}));
        // No hold any more.
        FileReadArgs a;
        a.fileType = 1001;
        LinkRecord r;
        QVERIFY(f.request(kPortFileRead, 16, &a, &r));
        QCOMPARE(int(r.transferId), 3);
    }

    void descriptionChangedWhileRunning()
    {
        // A node given another description serves it and has its registers
        // at their defaults; its CAN bit rate stays (it goes on answering at
        // the rate it was moved to).
        SimFixture f;
        QVERIFY(f.up());
        const RegAccessArgs rate = reg(2, 4, 3);
        QVERIFY(f.request(kPortRegAccess, 16, &rate));
        QVERIFY(f.client.sendBitrate(1000000));
        QVERIFY(f.client.waitUntil([&] { return !f.client.statusFrames().empty(); }));
        f.bus.setDescription(16, ":REG,0A,X,5;0~9,N,[1]V:REG,0A,Y,-2;-4~4,N,[1]V");
        FileReadArgs a;
        a.fileType = 1000;
        LinkRecord r;
        QVERIFY(f.request(kPortFileRead, 16, &a, &r));
        QCOMPARE(std::string(r.payload.begin() + 7, r.payload.end() - 1),
                 std::string(":REG,0A,X,5;0~9,N,[1]V:REG,0A,Y,-2;-4~4,N,[1]V"));
        int16_t value = 0;
        // One register, as its last entry describes it.
        QVERIFY(f.bus.registerValue(16, 0x0A, &value) && value == -2);
        QVERIFY(!f.bus.registerValue(16, 0x0B, &value));
        QCOMPARE(f.bus.nodeBitrate(16), 1000000u);
    }

    void nodeIdAssignmentIsABroadcast()
    {
        escsim::Options o;
        o.nodes = {16, 17};
        SimFixture f(o);
        QVERIFY(f.up());
        QVERIFY(f.client.waitFor(kPortHeartbeat, 17));
        NodeIdAssignArgs a;
        a.newId = 20;
        QVERIFY(f.client.send(kPortNodeIdAssign, 0xFF, &a));
        f.client.clear();
        QVERIFY(f.client.waitFor(kPortHeartbeat, 20));
        QCOMPARE(f.bus.nodeIds(), (std::vector<uint8_t> {20, 20}));
        // The renamed node answers requests under its new ID.
        QVERIFY(f.request(kPortNodeInfo, 20, nullptr));
    }
};

QTEST_GUILESS_MAIN(TestEscSimServices)
#include "tst_escsim_services.moc"
