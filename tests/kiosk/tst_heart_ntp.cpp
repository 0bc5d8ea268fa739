// The worker's NTP synchronisation against loopback peers, with a fake
// clock: the request, a good reply that sets the clock once and reports,
// bad replies, refused ports and silent hosts that fail over in list order
// and never touch the clock; and where the endpoints come from.

#include <QtTest>

#include "kiosk/ntpclient.h"
#include "heartbeattesthelpers.h"
#include "recordfields.h"
#include "tempworkdir.h"

namespace {

// The result record of a synchronisation, from the worker to the home page.
void verifyNtpRecord(const Communicat& msg)
{
    QVERIFY(msg.sender != 0);
    QCOMPARE(recordFields(msg), recordFields({6, 0, "cmd_sync_ntp", "", "", {}, msg.sender, 0}));
}

// The hosts named by the attempt lines, in order.
QStringList attemptedHosts(const LogCapture& log)
{
    QStringList hosts;
    for (const QString& line : log.startingWith(QStringLiteral("ntp_start: begin----1--")))
        hosts.append(line.section(QLatin1Char('"'), 1, 1));
    return hosts;
}

} // namespace

class tst_HeartNtp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerCommunicatMetaTypes(); }
    void requestIsTheFixed48Bytes();
    void endpointsComeFromTheSettingsFile();
    void replySetsClockOnce_data();
    void replySetsClockOnce();
    void unusableRepliesNeverReachTheClock_data();
    void unusableRepliesNeverReachTheClock();
    void refusedPortsFailOverInListOrder();
    void hostIndexStaysInTheList();
    void successAfterFailOverStartsOverAtTheFirstHost();
};

void tst_HeartNtp::requestIsTheFixed48Bytes()
{
    // 2024-01-01 00:00:00 UTC is 1704067200 + 2208988800 = 0xE93C7F00 NTP
    // seconds; the milliseconds and the zone do not travel.
    const QDateTime now(QDate(2024, 1, 1), QTime(8, 0, 0, 999), Qt::OffsetFromUTC, 8 * 3600);
    const QByteArray expected = QByteArray::fromHex("1b0004fa" "00010000" "00010000" "00000000"
                                                    "0000000000000000" "0000000000000000"
                                                    "0000000000000000" "e93c7f0000000000");
    QCOMPARE(expected.size(), 48);
    QCOMPARE(ntpclient::buildRequest(now).toHex(), expected.toHex());
}

void tst_HeartNtp::endpointsComeFromTheSettingsFile()
{
    TempWorkDir dir;
    QVERIFY(dir.isValid());
    // No file: four default hosts on port 123, no heartbeat URL.
    const HeartEndpoints defaults = readHeartEndpoints();
    QCOMPARE(defaults.ntpHosts.size(), 4);
    QCOMPARE(defaults.ntpPort, quint16(123));
    QVERIFY(defaults.heartUrl.isEmpty());

    QVERIFY(dir.write("conf/tq_info.ini", "[ntp]\nhost1=time.example\nhost3=127.0.0.1:4123\nport=1123\n"
                                          "[heart]\nurl=http://127.0.0.1:8080/heart\n"));
    const HeartEndpoints some = readHeartEndpoints();
    QCOMPARE(some.ntpHosts, (QStringList{"time.example", defaults.ntpHosts.at(1), "127.0.0.1:4123",
                                         defaults.ntpHosts.at(3)}));
    QCOMPARE(some.ntpPort, quint16(1123));
    QCOMPARE(some.heartUrl, QUrl("http://127.0.0.1:8080/heart"));

    // Each entry as the worker splits it for its attempt; the port of the
    // settings serves the entries that name none.
    QVERIFY(dir.write("conf/tq_info.ini", "[ntp]\nhost1=[::1]:1234\nhost2=[::1]\nhost3=::1\nhost4=[::1]:0\n"
                                          "port=1123\n"));
    const HeartEndpoints v6 = readHeartEndpoints();
    QStringList split;
    for (const QString& entry : v6.ntpHosts) {
        QString host;
        quint16 port = 0;
        splitNtpHost(entry, v6.ntpPort, &host, &port);
        split << QStringLiteral("%1 %2").arg(host).arg(port);
    }
    QCOMPARE(split, (QStringList{"::1 1234", "::1 1123", "::1 1123", "::1 1123"}));
}

void tst_HeartNtp::replySetsClockOnce_data()
{
    QTest::addColumn<bool>("clockResult");
    QTest::addColumn<bool>("heartbeatActive");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("stratum");
    QTest::newRow("clock set, reported") << true << false << "NtpResultHandle--ok" << 2;
    QTest::newRow("no right to set the clock") << false << false << "NtpResultHandle--err" << 2;
    QTest::newRow("heartbeat active: not reported") << true << true
                                                    << "doProcessNTPreadyRead--ok, but not system init  " << 2;
    QTest::newRow("primary server") << true << false << "NtpResultHandle--ok" << 1;
    QTest::newRow("stratum 15") << true << false << "NtpResultHandle--ok" << 15;
}

void tst_HeartNtp::replySetsClockOnce()
{
    QFETCH(bool, clockResult);
    QFETCH(bool, heartbeatActive);
    QFETCH(QString, line);
    QFETCH(int, stratum);
    LogCapture log(true);
    const QDateTime instant(QDate(2025, 3, 9), QTime(10, 20, 30), Qt::UTC);
    NtpPeers server(1, ntpServerReply(ntpSeconds(instant), 0xC0000000u, stratum));
    HeartRig rig(heartEndpoints({server.host(), server.host(), server.host(), server.host()}), clockResult);
    if (heartbeatActive)
        rig.worker.doProcessHeartRecv(heartCommand("heart_init", 3600));

    rig.worker.doProcessHeartRecv(heartCommand("cmd_sync_ntp"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.clock.sets().size(), 1, 20000);
    // 0xC0000000 of a second is 750000 microseconds.
    QCOMPARE(rig.clock.sets().at(0).toMSecsSinceEpoch(), instant.addMSecs(750).toMSecsSinceEpoch());
    QCOMPARE(rig.worker.ntpDateTime(), rig.clock.sets().at(0));
    QVERIFY(!log.startingWith("mseconds: 750000").isEmpty());
    QCOMPARE(log.countExact(QtDebugMsg, line), 1);
    // The report is made in the same call that sets the clock.
    QCOMPARE(rig.records.size(), heartbeatActive ? 0 : 1);
    if (!heartbeatActive)
        verifyNtpRecord(rig.records.at(0));
    QVERIFY(!rig.ntpTimer()->isActive());
    QCOMPARE(server.requests().size(), 1);
    QCOMPARE(server.requests().at(0).size(), 48);
}

void tst_HeartNtp::unusableRepliesNeverReachTheClock_data()
{
    QTest::addColumn<QByteArray>("reply");
    const quint32 seconds = 3913056000u;
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("47 bytes") << ntpServerReply(seconds, 0).left(47);
    QTest::newRow("stratum 0") << ntpServerReply(seconds, 0, 0);
    QTest::newRow("stratum 16") << ntpServerReply(seconds, 0, 16);
    QTest::newRow("zero time") << ntpServerReply(0, 0);
    QTest::newRow("client mode") << ntpServerReply(seconds, 0, 2, 3);
}

void tst_HeartNtp::unusableRepliesNeverReachTheClock()
{
    QFETCH(QByteArray, reply);
    LogCapture log(true);
    NtpPeers server(1, reply);
    HeartRig rig(heartEndpoints({server.host(), server.host(), server.host(), server.host()}));
    const QDateTime before = rig.worker.ntpDateTime();

    rig.worker.doProcessHeartRecv(heartCommand("cmd_sync_ntp"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.records.size(), 1, 20000);
    // Each reply was a failed attempt: the first host twice, then the rest.
    QCOMPARE(server.requests().size(), 5);
    QCOMPARE(rig.clock.sets().size(), 0);
    QCOMPARE(rig.worker.ntpDateTime(), before);
    verifyNtpRecord(rig.records.at(0));
    QCOMPARE(log.countExact(QtDebugMsg, "NtpResultHandle--err"), 1);
    QVERIFY(!log.startingWith("doProcessNTPreadyRead--reply not usable").isEmpty());
}

void tst_HeartNtp::refusedPortsFailOverInListOrder()
{
    LogCapture log(true);
    const QStringList hosts = NtpPeers(4).hosts();  // bound a moment ago, closed now
    HeartRig rig(heartEndpoints(hosts));
    rig.worker.doProcessHeartRecv(heartCommand("cmd_sync_ntp"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.records.size(), 1, 20000);

    // The command does not advance the index, so the first host is asked twice.
    QCOMPARE(attemptedHosts(log), (QStringList{hosts[0], hosts[0], hosts[1], hosts[2], hosts[3]}));
    verifyNtpRecord(rig.records.at(0));
    QCOMPARE(log.countExact(QtDebugMsg, "NtpResultHandle--err"), 1);
    QCOMPARE(rig.clock.sets().size(), 0);
    QCOMPARE(rig.worker.ntpHostIndex(), 0);
    QVERIFY(!rig.ntpTimer()->isActive());
    // Nothing follows the failure record.
    QCoreApplication::processEvents();
    QCOMPARE(rig.records.size(), 1);
    QCOMPARE(attemptedHosts(log).size(), 5);
}

void tst_HeartNtp::hostIndexStaysInTheList()
{
    LogCapture log(true);
    NtpPeers silent(4);
    HeartRig rig(heartEndpoints(silent.hosts()));
    // A socket error moves the index on at once and queues the retry, so an
    // error raised while connecting cannot recurse on the same host.
    rig.worker.doProcessNTPreadDataErr(QAbstractSocket::HostNotFoundError);
    QCOMPARE(rig.worker.ntpHostIndex(), 1);
    QCOMPARE(attemptedHosts(log).size(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(silent.requests(0).size(), 1, 20000);

    // Timer ticks, driven by hand, walk the other hosts in order.
    for (int host = 1; host < 4; ++host) {
        rig.worker.doProcessNTPTimeoutHandle();
        QTRY_COMPARE_WITH_TIMEOUT(silent.requests(host).size(), 1, 20000);
    }
    QCOMPARE(attemptedHosts(log), silent.hosts());
    QCOMPARE(rig.worker.ntpHostIndex(), 4);

    // Past the last host, a synchronisation starts at the first again.
    rig.worker.doProcessHeartRecv(heartCommand("cmd_sync_ntp"));
    QCOMPARE(rig.worker.ntpHostIndex(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(silent.requests(0).size(), 2, 20000);
    QCOMPARE(attemptedHosts(log).last(), silent.host(0));
    QCOMPARE(rig.records.size(), 0);
}

void tst_HeartNtp::successAfterFailOverStartsOverAtTheFirstHost()
{
    LogCapture log(true);
    const QString refused = NtpPeers(1).host();  // bound a moment ago, closed now
    const QDateTime instant(QDate(2025, 6, 1), QTime(8, 0, 0), Qt::UTC);
    NtpPeers good(1, ntpServerReply(ntpSeconds(instant), 0));
    NtpPeers spare(2, ntpServerReply(ntpSeconds(instant), 0));
    HeartRig rig(heartEndpoints({refused, good.host(), spare.host(0), spare.host(1)}));

    // The first host fails (asked twice, see above), the second answers.
    rig.worker.doProcessHeartRecv(heartCommand("cmd_sync_ntp"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.clock.sets().size(), 1, 20000);
    QCOMPARE(attemptedHosts(log), (QStringList{refused, refused, good.host()}));
    QCOMPARE(rig.worker.ntpHostIndex(), 0);

    // The next synchronisation starts over at the first host, not after the
    // one that answered.
    rig.worker.doProcessHeartRecv(heartCommand("cmd_sync_ntp"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.clock.sets().size(), 2, 20000);
    QCOMPARE(attemptedHosts(log), (QStringList{refused, refused, good.host(), refused, refused, good.host()}));
    QCOMPARE(good.requests().size(), 2);
    QCOMPARE(spare.requests(0).size() + spare.requests(1).size(), 0);
    QCOMPARE(rig.worker.ntpHostIndex(), 0);
}

QTEST_MAIN(tst_HeartNtp)
#include "tst_heart_ntp.moc"
