// The simulated ESCs' telemetry: the set-point a node takes drives the
// speed, current and throttle it reports, a set-point of 0 stops it, and its
// status word carries "throttle not 0" and the bits given with --status.

#include <QtTest>

#include <QElapsedTimer>

#include "link/cyphalports.h"
#include "linkharness.h"

namespace {

constexpr int kThrottleNotZero = 1 << 5;

bool sendGroup1(SimFixture& f, uint16_t a, uint16_t b)
{
    ThrottleArgs g;
    g.t[0] = a;
    g.t[1] = b;
    return f.client.send(kPortThrottleFirst, 0xFF, &g);
}

// Waits for a 6160 message of the node that satisfies pred.
bool waitSpeed(SimFixture& f, uint8_t node, const std::function<bool(const LinkRecord&)>& pred,
               LinkRecord* out = nullptr, int timeoutMs = kWaitMs)
{
    return f.client.waitFor([&](const LinkRecord& r) { return r.port == kPortTelemetry && r.node == node && pred(r); },
                            timeoutMs, out);
}

} // namespace

class TestEscSimTelemetry : public QObject {
    Q_OBJECT

private slots:
    void setPointDrivesTheTelemetryAndTheStatus()
    {
        escsim::Options o;
        o.nodes = {16, 17};
        o.telemetryHz = 50;
        SimFixture f(o);
        QVERIFY(f.up());
        QVERIFY(sendGroup1(f, 1000, 0));

        // Throttle as taken, speed ten times it, current a sixteenth.
        QVERIFY(f.client.waitFor([](const LinkRecord& r) {
            return r.port == kPortTelemetry2 && r.node == 16 && r.i16(0) == 1000;
        }));
        LinkRecord t;
        QVERIFY(waitSpeed(f, 16, [](const LinkRecord& r) { return r.i16(0) == 10000; }, &t));
        QCOMPARE(t.i16(2), 62);
        QCOMPARE(t.u16(4), kThrottleNotZero);
        QVERIFY(waitSpeed(f, 17, [](const LinkRecord&) { return true; }, &t));
        QCOMPARE(t.i16(0), 0);
        QCOMPARE(t.u16(4), 0);
        // Bits set on demand join the throttle bit.
        f.bus.setStatusBits(16, 0x0400);
        QVERIFY(waitSpeed(f, 16, [](const LinkRecord& r) { return r.u16(4) == (0x0400 | kThrottleNotZero); }));

        // Set-point 0: the motor stops within a second, the bit goes.
        f.client.clear();
        QElapsedTimer stop;
        stop.start();
        QVERIFY(sendGroup1(f, 0, 0));
        QVERIFY(waitSpeed(f, 16, [](const LinkRecord& r) { return r.i16(0) == 0; }, &t));
        // Loose: the bound is the simulator's, the wait includes the link.
        QVERIFY2(stop.elapsed() < 2000, qPrintable(QString::number(stop.elapsed())));
        QCOMPARE(t.u16(4), 0x0400);
    }

    void statusOptionOfTheProgram()
    {
        QProcess p;
        p.start(ESC_SIM_EXE, {"--nodes", "20", "--telemetry-hz", "20", "--status", "8c01", "--quiet"});
        QVERIFY(p.waitForStarted(kWaitMs));
        QTRY_VERIFY_WITH_TIMEOUT(p.canReadLine(), kWaitMs);
        const QString path = QString::fromLocal8Bit(p.readLine()).trimmed();
        {
            SimClient c;
            QVERIFY(c.open(path.toStdString()));
            QVERIFY(c.waitFor([](const LinkRecord& r) {
                return r.port == kPortTelemetry && r.node == 20 && r.u16(4) == 0x8C01;
            }));
        }
        p.terminate();
        QVERIFY(p.waitForFinished(kWaitMs));

        for (const char* bad : {"xyz", "10000", "-1", ""}) {
            QProcess q;
            q.start(ESC_SIM_EXE, {"--status", bad});
            QVERIFY(q.waitForFinished(kWaitMs));
            QCOMPARE(q.exitCode(), 2);
            QVERIFY(q.readAllStandardOutput().isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestEscSimTelemetry)
#include "tst_escsim_telemetry.moc"
