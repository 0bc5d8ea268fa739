// The worker's NTP synchronisation against loopback peers, with a fake
// clock: a good reply sets the clock once and reports; bad replies, refused
// ports and silent hosts fail over in list order and never touch the clock.

#include <QTimer>
#include <QtTest>

#include "app/auxthreadcontroller.h"
#include "kiosk/subheartbeatthread.h"

#include "heartbeattesthelpers.h"

namespace {

Communicat command(const QString& cmdtype, int param = 0)
{
    Communicat msg;
    msg.SrcType = e_MAINPAGE;
    msg.DestType = e_NETTHREAD;
    msg.cmdtype = cmdtype;
    msg.arg1 = QStringLiteral("Init");
    msg.param = param;
    return msg;
}

// Runs in the test thread, reports to a hub, sets a fake clock.
struct NtpRig {
    explicit NtpRig(const QStringList& hosts, bool clockResult = true) : clock(clockResult)
    {
        HeartEndpoints endpoints;
        endpoints.ntpHosts = hosts;
        worker.setEndpoints(endpoints);
        worker.setClock(&clock);
        worker.m_auxThreadCtrl = &hub;
        QObject::connect(&hub, &auxthreadcontroller::SignalToMainPage, &context,
                         [this](Communicat msg) { records.append(msg); });
    }
    QTimer* heartTimer() { return worker.findChild<QTimer*>(QStringLiteral("HeartTimer")); }
    QTimer* ntpTimer() { return worker.findChild<QTimer*>(QStringLiteral("m_ntpsynctimer")); }

    FakeClock clock;
    auxthreadcontroller hub;
    subHeartbeatThread worker;
    QObject context;
    QList<Communicat> records;
};

void verifyNtpRecord(const Communicat& msg)
{
    QCOMPARE(msg.SrcType, 6);
    QCOMPARE(msg.DestType, 0);
    QCOMPARE(msg.cmdtype, QStringLiteral("cmd_sync_ntp"));
    QVERIFY(msg.arg1.isEmpty());
    QVERIFY(msg.arg2.isEmpty());
    QVERIFY(msg.data.isEmpty());
    QVERIFY(msg.sender != 0);
    QCOMPARE(msg.param, 0);
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

class tst_HeartNtpSync : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerCommunicatMetaTypes(); }
    void replySetsClockOnceAndReports_data();
    void replySetsClockOnceAndReports();
    void replyWhileHeartbeatActiveIsNotReported();
    void unusableRepliesNeverReachTheClock_data();
    void unusableRepliesNeverReachTheClock();
    void refusedPortsFailOverInListOrder();
    void silentHostsAreWalkedByTicks_data();
    void silentHostsAreWalkedByTicks();
    void timerTicksWalkTheHosts();
    void syncAfterLastHostStartsAtTheFirst();
    void socketErrorMovesOnBeforeRetrying();
};

void tst_HeartNtpSync::replySetsClockOnceAndReports_data()
{
    QTest::addColumn<bool>("clockResult");
    QTest::addColumn<QString>("resultLine");
    QTest::newRow("clock set") << true << "NtpResultHandle--ok";
    QTest::newRow("no right to set the clock") << false << "NtpResultHandle--err";
}

void tst_HeartNtpSync::replySetsClockOnceAndReports()
{
    QFETCH(bool, clockResult);
    QFETCH(QString, resultLine);
    LogCapture log;
    const QDateTime instant(QDate(2025, 3, 9), QTime(10, 20, 30), Qt::UTC);
    UdpResponder server(ntpServerReply(quint32(instant.toSecsSinceEpoch() + 2208988800LL), 0xC0000000u));
    const QStringList closed = closedLoopbackHosts(3);
    NtpRig rig({server.host(), closed.at(0), closed.at(1), closed.at(2)}, clockResult);

    rig.worker.doProcessHeartRecv(command(QStringLiteral("cmd_sync_ntp")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.records.size(), 1, 20000);

    QCOMPARE(rig.clock.count(), 1);
    QCOMPARE(rig.clock.sets().at(0).toMSecsSinceEpoch(), instant.addMSecs(750).toMSecsSinceEpoch());
    QCOMPARE(rig.worker.ntpDateTime(), rig.clock.sets().at(0));
    verifyNtpRecord(rig.records.at(0));
    QVERIFY(log.has(resultLine));
    QVERIFY(log.hasStart(QStringLiteral("mseconds: 750000")));
    QCOMPARE(rig.worker.ntpHostIndex(), 0);
    QVERIFY(!rig.ntpTimer()->isActive());

    // The server saw one standard client request.
    QCOMPARE(server.requests().size(), 1);
    const QByteArray request = server.requests().at(0);
    QCOMPARE(request.size(), 48);
    QCOMPARE(request.left(12).toHex(), QByteArray("1b0004fa0001000000010000"));
}

void tst_HeartNtpSync::replyWhileHeartbeatActiveIsNotReported()
{
    LogCapture log;
    const QDateTime instant(QDate(2025, 3, 9), QTime(10, 20, 30), Qt::UTC);
    UdpResponder server(ntpServerReply(quint32(instant.toSecsSinceEpoch() + 2208988800LL), 0));
    NtpRig rig({server.host(), server.host(), server.host(), server.host()});

    rig.worker.doProcessHeartRecv(command(QStringLiteral("heart_init"), 3600));
    QVERIFY(rig.heartTimer()->isActive());
    QVERIFY(rig.ntpTimer()->isActive());

    rig.worker.doProcessHeartRecv(command(QStringLiteral("cmd_sync_ntp")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.clock.count(), 1, 20000);
    // The report would have been made in the same call that set the clock.
    QCOMPARE(rig.records.size(), 0);
    QCOMPARE(rig.clock.sets().at(0).toMSecsSinceEpoch(), instant.toMSecsSinceEpoch());
    QVERIFY(log.has(QStringLiteral("doProcessNTPreadyRead--ok, but not system init  ")));
    QVERIFY(!log.has(QStringLiteral("NtpResultHandle--ok")));
    QVERIFY(!rig.ntpTimer()->isActive());
    QVERIFY(rig.heartTimer()->isActive());
}

void tst_HeartNtpSync::unusableRepliesNeverReachTheClock_data()
{
    QTest::addColumn<QByteArray>("reply");
    const quint32 seconds = 3913056000u;
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("short") << ntpServerReply(seconds, 0).left(40);
    QTest::newRow("stratum 0") << ntpServerReply(seconds, 0, 0);
    QTest::newRow("zero time") << ntpServerReply(0, 0);
    QTest::newRow("client mode") << ntpServerReply(seconds, 0, 2, 3);
}

void tst_HeartNtpSync::unusableRepliesNeverReachTheClock()
{
    QFETCH(QByteArray, reply);
    LogCapture log;
    UdpResponder server(reply);
    NtpRig rig({server.host(), server.host(), server.host(), server.host()});
    const QDateTime before = rig.worker.ntpDateTime();

    rig.worker.doProcessHeartRecv(command(QStringLiteral("cmd_sync_ntp")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.records.size(), 1, 20000);

    // Every bad reply was a failed attempt: first host twice, then the rest.
    QCOMPARE(server.requests().size(), 5);
    QCOMPARE(rig.clock.count(), 0);
    QCOMPARE(rig.worker.ntpDateTime(), before);
    verifyNtpRecord(rig.records.at(0));
    QVERIFY(log.has(QStringLiteral("NtpResultHandle--err")));
    QVERIFY(log.hasStart(QStringLiteral("doProcessNTPreadyRead--reply not usable")));
    QCOMPARE(rig.worker.ntpHostIndex(), 0);
    QVERIFY(!rig.ntpTimer()->isActive());
}

void tst_HeartNtpSync::refusedPortsFailOverInListOrder()
{
    LogCapture log;
    const QStringList hosts = closedLoopbackHosts(4);
    NtpRig rig(hosts);
    rig.worker.doProcessHeartRecv(command(QStringLiteral("cmd_sync_ntp")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.records.size(), 1, 20000);

    // The command does not advance the index, so the first host is asked twice.
    QCOMPARE(attemptedHosts(log), (QStringList{hosts[0], hosts[0], hosts[1], hosts[2], hosts[3]}));
    verifyNtpRecord(rig.records.at(0));
    QVERIFY(log.has(QStringLiteral("NtpResultHandle--err")));
    QCOMPARE(rig.clock.count(), 0);
    QCOMPARE(rig.worker.ntpHostIndex(), 0);
    QVERIFY(!rig.ntpTimer()->isActive());

    // Nothing more follows the failure record.
    QCoreApplication::processEvents();
    QCOMPARE(rig.records.size(), 1);
    QCOMPARE(attemptedHosts(log).size(), 5);
}

void tst_HeartNtpSync::silentHostsAreWalkedByTicks_data()
{
    QTest::addColumn<bool>("heartbeatActive");
    QTest::newRow("after heart_init") << true;
    QTest::newRow("without heart_init") << false;
}

void tst_HeartNtpSync::silentHostsAreWalkedByTicks()
{
    QFETCH(bool, heartbeatActive);
    LogCapture log;
    SilentPorts silent(4);
    NtpRig rig(silent.hosts());
    if (heartbeatActive)
        rig.worker.doProcessHeartRecv(command(QStringLiteral("heart_init"), 3600));
    else
        rig.ntpTimer()->start(3600 * 1000);

    // Ticks are driven by hand; the timer itself would take hours.
    for (int host = 0; host < 4; ++host) {
        rig.worker.doProcessNTPTimeoutHandle();
        QCOMPARE(rig.worker.ntpHostIndex(), host + 1);
        QTRY_COMPARE_WITH_TIMEOUT(silent.received(host), 1, 20000);
    }
    rig.worker.doProcessNTPTimeoutHandle();  // the pass is over
    QCOMPARE(rig.worker.ntpHostIndex(), 0);
    QCOMPARE(rig.clock.count(), 0);
    if (heartbeatActive) {
        QCOMPARE(rig.records.size(), 0);
        QVERIFY(rig.ntpTimer()->isActive());
        QVERIFY(log.has(QStringLiteral("doProcessNTPTimeoutHandle--no need notify --")));
        rig.worker.doProcessNTPTimeoutHandle();  // a new pass from the first host
        QTRY_COMPARE_WITH_TIMEOUT(silent.received(0), 2, 20000);
        QCOMPARE(rig.worker.ntpHostIndex(), 1);
    } else {
        QCOMPARE(rig.records.size(), 1);
        verifyNtpRecord(rig.records.at(0));
        QVERIFY(!rig.ntpTimer()->isActive());
    }
    QCOMPARE(attemptedHosts(log).mid(0, 4), silent.hosts());
}

void tst_HeartNtpSync::timerTicksWalkTheHosts()
{
    LogCapture log;
    SilentPorts silent(4);
    NtpRig rig(silent.hosts());
    rig.worker.setNtpSyncInterval(20);
    rig.worker.doProcessHeartRecv(command(QStringLiteral("heart_init"), 3600));
    QCOMPARE(rig.ntpTimer()->interval(), 20);

    // The fifth tick ends the pass quietly; the sixth starts the next one.
    QTRY_VERIFY_WITH_TIMEOUT(attemptedHosts(log).size() >= 6, 30000);
    const QStringList hosts = silent.hosts();
    QCOMPARE(attemptedHosts(log).mid(0, 6), (QStringList{hosts[0], hosts[1], hosts[2], hosts[3], hosts[0], hosts[1]}));
    QVERIFY(log.has(QStringLiteral("doProcessNTPTimeoutHandle--no need notify --")));
    QCOMPARE(rig.records.size(), 0);
    QCOMPARE(rig.clock.count(), 0);
    rig.ntpTimer()->stop();
}

void tst_HeartNtpSync::syncAfterLastHostStartsAtTheFirst()
{
    LogCapture log;
    SilentPorts silent(4);
    NtpRig rig(silent.hosts());
    for (int host = 0; host < 4; ++host)
        rig.worker.doProcessNTPTimeoutHandle();
    QCOMPARE(rig.worker.ntpHostIndex(), 4);
    for (int host = 0; host < 4; ++host)
        QTRY_COMPARE_WITH_TIMEOUT(silent.received(host), 1, 20000);

    rig.worker.doProcessHeartRecv(command(QStringLiteral("cmd_sync_ntp")));
    QCOMPARE(rig.worker.ntpHostIndex(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(silent.received(0), 2, 20000);
    QCOMPARE(attemptedHosts(log).last(), silent.host(0));
}

void tst_HeartNtpSync::socketErrorMovesOnBeforeRetrying()
{
    LogCapture log;
    SilentPorts silent(4);
    NtpRig rig(silent.hosts());

    rig.worker.doProcessNTPreadDataErr(QAbstractSocket::HostNotFoundError);
    // The index has already moved on; the retry itself waits for the event
    // loop, so an error raised while connecting cannot recurse.
    QCOMPARE(rig.worker.ntpHostIndex(), 1);
    QCOMPARE(attemptedHosts(log).size(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(silent.received(0), 1, 20000);
    QCOMPARE(attemptedHosts(log), QStringList{silent.host(0)});

    rig.worker.doProcessNTPreadDataErr(QAbstractSocket::NetworkError);
    QCOMPARE(rig.worker.ntpHostIndex(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(silent.received(1), 1, 20000);
    QVERIFY(log.hasStart(QStringLiteral("doProcessNTPreadDataErr -errMsg=")));
    QCOMPARE(rig.records.size(), 0);
}

QTEST_MAIN(tst_HeartNtpSync)
#include "tst_heart_ntpsync.moc"
