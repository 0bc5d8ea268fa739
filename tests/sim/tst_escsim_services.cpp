// Node services of the simulator, driven over its real pseudo-terminal with
// the link core as client: heartbeat, node information, registers, the
// description file, node control and node-ID assignment.

#include <QtTest>

#include <algorithm>
#include <cstring>

#include "link/cyphalports.h"
#include "simfixture.h"

class TestEscSimServices : public QObject {
    Q_OBJECT

private:
    static RegAccessArgs reg(uint8_t op, uint8_t r, uint16_t v = 0)
    {
        RegAccessArgs a;
        a.op = op;
        a.reg = r;
        a.value = v;
        return a;
    }

private slots:
    void heartbeatsFromEveryNode()
    {
        escsim::Options o;
        o.nodes = {16, 17};
        SimFixture f(o);
        QVERIFY(f.up());
        Record hb;
        QVERIFY(f.client.waitFor(kPortHeartbeat, 16, kWaitMs, &hb));
        QCOMPARE(int(hb.payload.size()), 6);
        QCOMPARE(int(hb.payload[4]), 0); // health nominal
        QCOMPARE(int(hb.payload[5]), 0); // operational
        QVERIFY(f.client.waitFor(kPortHeartbeat, 17, kWaitMs));
        // Uptime counts on: a later heartbeat of node 16 shows a larger one.
        const int first = getU16(hb.payload, 0);
        QVERIFY(f.client.waitFor([&](const Record& r) {
            return r.port == kPortHeartbeat && r.node == 16 && getU16(r.payload, 0) > first;
        }, kWaitMs));
    }

    void nodeInformation()
    {
        escsim::Options o;
        o.name = "P_FLY-ESC_B";
        o.swMajor = 4;
        o.swMinor = 7;
        SimFixture f(o);
        QVERIFY(f.up());
        Record r;
        QVERIFY(f.request(kPortNodeInfo, 16, nullptr, &r));
        QCOMPARE(int(r.payload.size()), 296);
        QCOMPARE(int(r.payload[0]), 1); // protocol 1.0
        QCOMPARE(int(r.payload[2]), 1); // hardware 1.0
        QCOMPARE(int(r.payload[3]), 0);
        QCOMPARE(int(r.payload[4]), 4); // software 4.7
        QCOMPARE(int(r.payload[5]), 7);
        const std::string name(reinterpret_cast<const char*>(&r.payload[30]));
        QCOMPARE(QString::fromStdString(name), QString("P_FLY-ESC_B"));
        // The unique ID is not all zero, so two nodes can be told apart.
        QVERIFY(std::any_of(r.payload.begin() + 14, r.payload.begin() + 30, [](uint8_t b) { return b != 0; }));
    }

    void registerReadWriteAndLimits()
    {
        SimFixture f;
        QVERIFY(f.up());
        Record r;
        // Whole register: value, default, limits at their places.
        RegAccessArgs a = reg(1, 0x0B);
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
        QCOMPARE(int(r.payload.size()), 23 + 9);
        QCOMPARE(int(r.payload[0]), 0x10);
        QCOMPARE(int(r.payload[1]), 0x0B);
        QCOMPARE(getU16(r.payload, 2), 7);
        QCOMPARE(getU16(r.payload, 16), 7);
        QCOMPARE(getI16(r.payload, 18), 1);
        QCOMPARE(getI16(r.payload, 20), 50);

        // A write inside the limits is answered with the new value.
        a = reg(2, 0x0B, 20);
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
        QCOMPARE(int(r.payload[0]), 0x20);
        QCOMPARE(getU16(r.payload, 2), 20);
        a = reg(0, 0x0B);
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
        QCOMPARE(int(r.payload[0]), 0x10);
        QCOMPARE(getU16(r.payload, 2), 20);
        QCOMPARE(int(r.payload.size()), 4 + 9);

        // Refusals: out of range (both ends), unknown register, read-only
        // register, unknown operation; the value stays.
        for (uint16_t bad : {uint16_t(51), uint16_t(0), uint16_t(0xFFFF)}) {
            a = reg(2, 0x0B, bad);
            QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
            QCOMPARE(int(r.payload[0]), 0x13);
        }
        int16_t v = 0;
        QVERIFY(f.bus.registerValue(16, 0x0B, &v));
        QCOMPARE(int(v), 20);
        a = reg(0, 0x77);
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
        QCOMPARE(int(r.payload[0]), 0x11);
        QCOMPARE(int(r.payload[1]), 0x77);
        a = reg(2, 5, 0x20);
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
        QCOMPARE(int(r.payload[0]), 0x12);
        a = reg(9, 0x0B);
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
        QCOMPARE(int(r.payload[0]), 0x12);
        QCOMPARE(f.bus.registerWriteCount(0x0B), 1);
    }

    void storedValuesSurviveRestartOthersDoNot()
    {
        SimFixture f;
        QVERIFY(f.up());
        Record r;
        RegAccessArgs a = reg(2, 0x0A, 1);
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));
        const uint8_t zero[] = {'0'};
        ExecCommandArgs store;
        store.command = 0xFFFA;
        store.param = zero;
        store.paramLen = 1;
        QVERIFY(f.request(kPortExecCommand, 16, &store, &r));
        QCOMPARE(int(r.payload[0]), 0);
        a = reg(2, 0x0D, 3); // written, not stored
        QVERIFY(f.request(kPortRegAccess, 16, &a, &r));

        ExecCommandArgs restart = store;
        restart.command = 0xFFFF;
        QVERIFY(f.request(kPortExecCommand, 16, &restart, &r));
        QCOMPARE(int(r.payload[0]), 0);
        QVERIFY(f.bus.restarting(16));
        // Heartbeats come back after the restart with a fresh uptime (the
        // very first one may be dropped by the client as a repeated
        // transfer-ID: the node counts from 0 again).
        f.client.clearBacklog();
        QVERIFY(f.client.waitFor([](const Record& x) {
            return x.port == kPortHeartbeat && x.node == 16 && getU16(x.payload, 0) <= 2;
        }, kWaitMs));
        int16_t v = -1;
        QVERIFY(f.bus.registerValue(16, 0x0A, &v));
        QCOMPARE(int(v), 1);
        QVERIFY(f.bus.registerValue(16, 0x0D, &v));
        QCOMPARE(int(v), 0);

        // Unknown commands are refused with status 3.
        ExecCommandArgs other = store;
        other.command = 0x1234;
        QVERIFY(f.request(kPortExecCommand, 16, &other, &r));
        QCOMPARE(int(r.payload[0]), 3);
    }

    void descriptionInChunks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("fileType");
        QTest::newRow("built-in, English") << QString() << 1001;
        QTest::newRow("built-in, Chinese") << QString() << 1000;
        QTest::newRow("exactly one chunk long") << QString(256, QChar('x')) << 1001;
        QTest::newRow("short") << QString(":STR,Motor") << 1001;
    }

    void descriptionInChunks()
    {
        QFETCH(QString, text);
        QFETCH(int, fileType);
        escsim::Options o;
        o.description = text.toStdString();
        SimFixture f(o);
        QVERIFY(f.up());
        const std::string expected = text.isEmpty() ? escsim::sampleDescription() : text.toStdString();
        std::string got;
        for (uint32_t offset = 0;; offset += 256) {
            QVERIFY(offset < 64 * 256);
            FileReadArgs a;
            a.offset = offset;
            a.fileType = uint16_t(fileType);
            Record r;
            QVERIFY(f.request(kPortFileRead, 16, &a, &r));
            QVERIFY(r.payload.size() >= 8);
            QCOMPARE(getU16(r.payload, 0), int(offset & 0xFFFF));
            QCOMPARE(getI16(r.payload, 5), 0);
            const std::string chunk(r.payload.begin() + 7, r.payload.end() - 1); // less the NUL the link adds
            QVERIFY(chunk.size() <= 256);
            got += chunk;
            if (chunk.size() < 256)
                break;
        }
        QCOMPARE(QString::fromStdString(got), QString::fromStdString(expected));
    }

    void descriptionOfUnknownFileTypeIsAnError()
    {
        SimFixture f;
        QVERIFY(f.up());
        FileReadArgs a;
        a.fileType = 7;
        Record r;
        QVERIFY(f.request(kPortFileRead, 16, &a, &r));
        QVERIFY(getI16(r.payload, 5) != 0);
        QCOMPARE(int(r.payload.size()), 7 + 1);
    }

    void builtInDescriptionMatchesRegisterTable()
    {
        // Every REG entry of the sample names a register the node has, with
        // an address the page reads as hexadecimal; registers 4 and 5 stay out.
        SimFixture f;
        QVERIFY(f.up());
        const QStringList entries = QString::fromStdString(escsim::sampleDescription()).split(':');
        int regs = 0;
        for (const QString& e : entries) {
            const QStringList head = e.section(';', 0, 0).split(',');
            if (head.value(0) != "REG")
                continue;
            bool ok = false;
            const int addr = head.value(1).toInt(&ok, 16);
            QVERIFY(ok);
            QVERIFY(addr != 4 && addr != 5);
            QVERIFY2(f.bus.registerValue(16, uint8_t(addr), nullptr), qPrintable(head.value(1)));
            ++regs;
        }
        QVERIFY(regs >= 5);
    }

    void nodeIdAssignmentIsABroadcast()
    {
        escsim::Options o;
        o.nodes = {16, 17};
        SimFixture f(o);
        QVERIFY(f.up());
        QVERIFY(f.client.waitFor(kPortHeartbeat, 17, kWaitMs));
        NodeIdAssignArgs a;
        a.newId = 20;
        QVERIFY(f.client.send(kPortNodeIdAssign, 0xFF, &a));
        f.client.clearBacklog();
        QVERIFY(f.client.waitFor(kPortHeartbeat, 20, kWaitMs));
        QCOMPARE(f.bus.nodeIds(), (std::vector<uint8_t>{20, 20}));
        QVERIFY(!f.bus.hasNode(16));
        // The renamed node answers requests under its new ID.
        Record r;
        QVERIFY(f.request(kPortNodeInfo, 20, nullptr, &r));
    }

    void nodeControlMessageIsLogged()
    {
        SimFixture f;
        QVERIFY(f.up());
        NodeControlArgs a;
        a.value = 3;
        a.node = 16;
        QVERIFY(f.client.send(kPortNodeControl, 0xFF, &a));
        auto logged = [&] {
            for (const std::string& l : f.bus.logLines()) {
                if (l.find("node control message: value 3 for node 16") != std::string::npos)
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(logged(), kWaitMs);
    }

    void silentNodeNeitherSendsNorAnswers()
    {
        escsim::Options o;
        o.nodes = {16, 17};
        SimFixture f(o);
        QVERIFY(f.up());
        QVERIFY(f.client.waitFor(kPortHeartbeat, 16, kWaitMs));
        f.bus.setNodeSilent(16, true);
        f.client.clearBacklog();
        // Node 17 goes on beating twice while 16 stays away.
        QVERIFY(f.client.waitFor(kPortHeartbeat, 17, kWaitMs));
        f.client.clearBacklog();
        QVERIFY(f.client.waitFor(kPortHeartbeat, 17, kWaitMs));
        QVERIFY(!f.client.waitFor(kPortHeartbeat, 16, 0));
        f.bus.setNodeSilent(16, false);
        QVERIFY(f.client.waitFor(kPortHeartbeat, 16, kWaitMs));
    }
};

QTEST_GUILESS_MAIN(TestEscSimServices)
#include "tst_escsim_services.moc"
