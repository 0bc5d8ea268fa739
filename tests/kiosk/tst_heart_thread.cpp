// The worker's life in its thread: built in the GUI thread, moved, started,
// put to work, stopped and cleaned up in its own thread, then destroyed,
// without a single cross-thread object warning.

#include <QNetworkReply>
#include <QPointer>
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
    msg.param = param;
    return msg;
}

// Runs fn in the worker's thread and waits for it.
template <typename Fn>
void inWorkerThread(QObject* worker, Fn fn)
{
    QMetaObject::invokeMethod(worker, fn, Qt::BlockingQueuedConnection);
}

} // namespace

class tst_HeartThread : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerCommunicatMetaTypes(); }
    void captureSpotsCrossThreadUse();
    void workerLivesAndEndsInItsThread();
    void hubStartsAndStopsTheWorker();
};

// The watch is live: a timer stopped from the wrong thread is caught.
void tst_HeartThread::captureSpotsCrossThreadUse()
{
    LogCapture log;
    QThread thread;
    QTimer* timer = new QTimer;
    timer->moveToThread(&thread);
    connect(&thread, &QThread::finished, timer, [timer] { delete timer; }, Qt::DirectConnection);
    thread.start();
    inWorkerThread(timer, [timer] { timer->start(3600 * 1000); });
    timer->stop();  // wrong thread on purpose
    const QStringList caught = log.crossThreadWarnings();
    thread.quit();
    QVERIFY(thread.wait(60000));
    QCOMPARE(caught.size(), 1);
}

void tst_HeartThread::workerLivesAndEndsInItsThread()
{
    LogCapture log;
    const QDateTime instant(QDate(2025, 11, 2), QTime(1, 2, 3), Qt::UTC);
    UdpResponder ntpServer(ntpServerReply(quint32(instant.toSecsSinceEpoch() + 2208988800LL), 0));
    LoopbackHttpServer httpServer(R"({"code":100,"msg":"ok","data":{}})");
    SilentPorts silent(4);
    FakeClock clock;
    auxthreadcontroller hub;  // routes the worker's records
    QObject context;
    QList<Communicat> records;
    connect(&hub, &auxthreadcontroller::SignalToMainPage, &context,
            [&records](Communicat msg) { records.append(msg); });

    {
        QThread thread;
        subHeartbeatThread worker;
        HeartEndpoints endpoints;
        endpoints.ntpHosts = QStringList{ntpServer.host(), ntpServer.host(), ntpServer.host(), ntpServer.host()};
        endpoints.heartUrl = QUrl(httpServer.url());
        worker.setEndpoints(endpoints);
        worker.setClock(&clock);
        QPointer<QTimer> heartTimer = worker.findChild<QTimer*>(QStringLiteral("HeartTimer"));
        QVERIFY(heartTimer);

        // Wired, moved and started the way the hub does it.
        connect(&thread, &QThread::finished, &worker, &subHeartbeatThread::cleanup, Qt::UniqueConnection);
        worker.moveToThread(&thread);
        thread.start(QThread::InheritPriority);
        worker.m_auxThreadCtrl = &hub;
        QCOMPARE(worker.thread(), &thread);
        QCOMPARE(heartTimer->thread(), &thread);  // the children came along

        // An NTP exchange, reported back to the GUI thread.
        QMetaObject::invokeMethod(&worker, "doProcessHeartRecv", Qt::QueuedConnection,
                                  Q_ARG(Communicat, command(QStringLiteral("cmd_sync_ntp"))));
        QTRY_COMPARE_WITH_TIMEOUT(records.size(), 1, 20000);
        QCOMPARE(records.at(0).cmdtype, QStringLiteral("cmd_sync_ntp"));
        QCOMPARE(clock.count(), 1);
        QCOMPARE(clock.sets().at(0).toMSecsSinceEpoch(), instant.toMSecsSinceEpoch());

        // A heartbeat, answered and judged in the worker's thread.
        QMetaObject::invokeMethod(&worker, "doProcessTimeoutHandle", Qt::QueuedConnection);
        QTRY_COMPARE_WITH_TIMEOUT(httpServer.requests().size(), 1, 20000);
        QCOMPARE(httpServer.requests().at(0).header("User-Agent"), QByteArray("MyOwnBrowser 1.0"));
        QTRY_VERIFY_WITH_TIMEOUT(log.has(QStringLiteral("HeartResultHandle--heart park no more mesg")), 20000);
        QCOMPARE(log.threadOf(QStringLiteral("HeartResultHandle--heart park no more mesg")), &thread);

        // Leave timers running and a request and an NTP attempt open, so
        // that the clean-up has something to stop.
        QMetaObject::invokeMethod(&worker, "doProcessHeartRecv", Qt::QueuedConnection,
                                  Q_ARG(Communicat, command(QStringLiteral("heart_init"), 3600)));
        QMetaObject::invokeMethod(&worker, "doProcessTimeoutHandle", Qt::QueuedConnection);
        bool timersRunning = false;
        inWorkerThread(&worker, [&] {
            timersRunning = heartTimer->isActive()
                            && worker.findChild<QTimer*>(QStringLiteral("m_ntpsynctimer"))->isActive();
            HeartEndpoints quiet = endpoints;
            quiet.ntpHosts = silent.hosts();
            worker.setEndpoints(quiet);
            worker.doProcessHeartRecv(command(QStringLiteral("cmd_sync_ntp")));
        });
        QVERIFY(timersRunning);
        QTRY_COMPARE_WITH_TIMEOUT(silent.received(0), 1, 20000);

        thread.quit();
        QVERIFY(thread.wait(60000));
        QVERIFY(!worker.hasNetworkObjects());
        QVERIFY(heartTimer.isNull());
        QCOMPARE(log.threadOf(QStringLiteral("--cleanup--delete HeartTimer---1---:")), &thread);
        QCOMPARE(log.threadOf(QStringLiteral("--cleanup--subHeartbeatThread---HeartTimer--THREAD_TIMER_DELET-2-")),
                 &thread);
        QCOMPARE(log.threadOf(QStringLiteral("--cleanup--subHeartbeatThread---m_ntpsynctimer---2-")), &thread);
        QVERIFY(log.has(QStringLiteral("subHeartbeatThread--heartManager--1-")));
    }  // the worker is destroyed here, in the GUI thread

    QVERIFY(log.has(QStringLiteral("--subHeartbeatThread--quit")));
    QCOMPARE(log.crossThreadWarnings(), QStringList());
}

void tst_HeartThread::hubStartsAndStopsTheWorker()
{
    LogCapture log;
    {
        auxthreadcontroller hub;
        subHeartbeatThread* worker = hub.getHeartWorker();
        QCOMPARE(worker->m_auxThreadCtrl, &hub);
        QThread* thread = worker->thread();
        QVERIFY(thread != QThread::currentThread());
        QTRY_VERIFY(thread->isRunning());

        // Timers started in the worker's thread must be stopped there too.
        hub.NotifyMessage(command(QStringLiteral("heart_init"), 3600));
        bool running = false;
        inWorkerThread(worker, [&] {
            running = worker->findChild<QTimer*>(QStringLiteral("HeartTimer"))->isActive();
        });
        QVERIFY(running);
    }
    QVERIFY(log.has(QStringLiteral("--cleanup--subHeartbeatThread---HeartTimer--THREAD_TIMER_DELET-2-")));
    QVERIFY(log.has(QStringLiteral("auxthreadcontroller-----quit--over")));
    QVERIFY(log.has(QStringLiteral("--subHeartbeatThread--quit")));
    QCOMPARE(log.crossThreadWarnings(), QStringList());
}

QTEST_MAIN(tst_HeartThread)
#include "tst_heart_thread.moc"
