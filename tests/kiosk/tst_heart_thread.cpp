// The worker's life in its thread: built in the GUI thread, moved, started,
// put to work, stopped and cleaned up in its own thread, then destroyed,
// without a single cross-thread object warning.

#include <QRegularExpression>
#include <QtTest>

#include "heartbeattesthelpers.h"

namespace {

// Warnings Qt writes when an object is used from a thread it does not
// belong to.
QStringList crossThreadWarnings(const LogCapture& log)
{
    static const QRegularExpression pattern(QStringLiteral(
        "different thread|another thread|object's thread|Timers can only be used|QSocketNotifier"
        "|QBasicTimer|killTimer|Cannot move objects with a parent"));
    QStringList found;
    for (const LogLine& line : log.lines()) {
        if (line.text.contains(pattern))
            found.append(line.text);
    }
    return found;
}

// Runs fn in the object's thread and waits for it.
template <typename Fn>
void inThreadOf(QObject* object, Fn fn)
{
    QMetaObject::invokeMethod(object, fn, Qt::BlockingQueuedConnection);
}

} // namespace

class tst_HeartThread : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerCommunicatMetaTypes(); }
    void workerLivesAndEndsInItsThread();
};

void tst_HeartThread::workerLivesAndEndsInItsThread()
{
    LogCapture log(true);
    const QDateTime instant(QDate(2025, 11, 2), QTime(1, 2, 3), Qt::UTC);
    NtpPeers ntpServer(1, ntpServerReply(ntpSeconds(instant), 0));
    LoopbackHttpServer httpServer(R"({"code":100,"msg":"ok","data":{}})");
    NtpPeers silent(4);
    FakeClock clock;
    QObject context;
    QList<Communicat> records;
    QThread* workerThread = nullptr;
    {
        auxthreadcontroller hub;  // builds the worker, moves it into its thread, starts that
        subHeartbeatThread* worker = hub.getHeartWorker();
        workerThread = worker->thread();
        QVERIFY(workerThread != QThread::currentThread());
        QCOMPARE(worker->findChild<QTimer*>("HeartTimer")->thread(), workerThread);  // children came along
        connect(&hub, &auxthreadcontroller::SignalToMainPage, &context,
                [&records](Communicat msg) { records.append(msg); });
        const QString ntp = ntpServer.host();
        inThreadOf(worker, [&] {
            worker->setClock(&clock);
            worker->setEndpoints(heartEndpoints({ntp, ntp, ntp, ntp}, httpServer.url()));
        });

        // An NTP exchange through the hub, reported back to the GUI thread.
        hub.NotifyMessage(heartCommand("cmd_sync_ntp"));
        QTRY_COMPARE_WITH_TIMEOUT(records.size(), 1, 20000);
        QCOMPARE(clock.sets().size(), 1);
        QCOMPARE(clock.sets().at(0).toMSecsSinceEpoch(), instant.toMSecsSinceEpoch());

        // A heartbeat, answered and judged in the worker's thread.
        QMetaObject::invokeMethod(worker, "doProcessTimeoutHandle", Qt::QueuedConnection);
        QTRY_VERIFY_WITH_TIMEOUT(log.threadOf("HeartResultHandle--heart park no more mesg"), 20000);
        QCOMPARE(log.threadOf("HeartResultHandle--heart park no more mesg"), workerThread);

        // Timers running, a request and an NTP attempt open: the clean-up
        // has something to stop.
        inThreadOf(worker, [&] {
            worker->doProcessHeartRecv(heartCommand("heart_init", 3600));
            worker->doProcessTimeoutHandle();
            worker->setEndpoints(heartEndpoints(silent.hosts(), httpServer.url()));
            worker->doProcessHeartRecv(heartCommand("cmd_sync_ntp"));
        });
        QTRY_COMPARE_WITH_TIMEOUT(silent.requests(0).size(), 1, 20000);
    }  // the hub quits the thread, the worker cleans up there and goes here

    QCOMPARE(log.threadOf("subHeartbeatThread--heartManager--1-"), workerThread);
    QCOMPARE(log.threadOf("--cleanup--subHeartbeatThread---HeartTimer--THREAD_TIMER_DELET-2-"), workerThread);
    QCOMPARE(log.threadOf("--cleanup--subHeartbeatThread---m_ntpsynctimer---2-"), workerThread);
    QVERIFY(log.contains(QtDebugMsg, "auxthreadcontroller-----quit--over"));
    QVERIFY(log.contains(QtDebugMsg, "--subHeartbeatThread--quit"));
    QCOMPARE(crossThreadWarnings(log), QStringList());
}

QTEST_MAIN(tst_HeartThread)
#include "tst_heart_thread.moc"
