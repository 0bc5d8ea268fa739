// The hub routes each record by destination into the right signal, lives
// its workers in their own threads, and stops the threads in order, the
// serial one once its worker has taken what was queued to it.

#include <QMutex>
#include <atomic>
#include <QSignalSpy>
#include <QtTest>

#include "app/auxthreadcontroller.h"
#include "logcapture.h"
#include "quiethub.h"

class tst_Hub : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerCommunicatMetaTypes(); }
    void routesEachDestination();
    void workersLiveInTheirOwnThreads();
    void destructionStopsHeartbeatThenSerialThread();
    void destructionLetsTheSerialWorkerTakeWhatCameBefore();
};

void tst_Hub::routesEachDestination()
{
    auxthreadcontroller hub;
    disconnectWorkers(&hub);  // only the hub's own signals are under test
    QSignalSpy toMain(&hub, &auxthreadcontroller::SignalToMainPage);
    QSignalSpy toCash(&hub, &auxthreadcontroller::SignalToCashSelPage);
    QSignalSpy toPanel(&hub, &auxthreadcontroller::SignalToTQPage);
    QSignalSpy toFormal(&hub, &auxthreadcontroller::SignalToTQFormalPage);
    QSignalSpy toHeart(&hub, &auxthreadcontroller::SignalToHeart);
    QSignalSpy toSerial(&hub, &auxthreadcontroller::SignalToTQThread);
    QList<QSignalSpy*> spies{&toMain, &toCash, &toPanel, &toFormal, &toHeart, &toSerial};
    const QMap<int, QSignalSpy*> route{{0, &toMain}, {1, &toCash}, {2, &toPanel},
                                       {3, &toFormal}, {6, &toHeart}, {9, &toSerial}};

    for (int dest = -1; dest <= 12; ++dest) {
        for (QSignalSpy* spy : spies)
            spy->clear();
        Communicat msg;
        msg.DestType = dest;
        msg.cmdtype = QString("probe-%1").arg(dest);
        if (dest == 6)
            QTest::ignoreMessage(QtDebugMsg, "e_NETTHREAD----启动心跳包线程--------");
        hub.NotifyMessage(msg);
        for (QSignalSpy* spy : spies) {
            const bool expected = route.value(dest) == spy;
            QCOMPARE(spy->size(), expected ? 1 : 0);
            if (expected)
                QCOMPARE(spy->at(0).at(0).value<Communicat>().cmdtype, msg.cmdtype);
        }
    }
}

void tst_Hub::workersLiveInTheirOwnThreads()
{
    auxthreadcontroller hub;
    QThread* serial = hub.getSerialWorker()->thread();
    QThread* heart = hub.getHeartWorker()->thread();
    QVERIFY(serial != QThread::currentThread());
    QVERIFY(heart != QThread::currentThread());
    QVERIFY(serial != heart);
    QTRY_VERIFY(serial->isRunning());
    QTRY_VERIFY(heart->isRunning());
    QCOMPARE(serial->priority(), QThread::currentThread()->priority());
    QCOMPARE(hub.getHeartWorker()->m_auxThreadCtrl, &hub);
    // The hub itself stays in the GUI thread and is never started.
    QCOMPARE(hub.thread(), QThread::currentThread());
    QVERIFY(!hub.isRunning());

    // A record for the worker is delivered queued, in the worker's thread.
    QThread* ranIn = nullptr;
    QMutex mutex;
    connect(&hub, &auxthreadcontroller::SignalToTQThread, hub.getSerialWorker(),
            [&](Communicat) { QMutexLocker lock(&mutex); ranIn = QThread::currentThread(); },
            Qt::QueuedConnection);
    Communicat msg;
    msg.DestType = e_TQTHREAD;
    msg.cmdtype = "probe";
    hub.NotifyMessage(msg);
    QTRY_VERIFY([&] { QMutexLocker lock(&mutex); return ranIn != nullptr; }());
    QCOMPARE(ranIn, serial);
}

void tst_Hub::destructionStopsHeartbeatThenSerialThread()
{
    auto* hub = new auxthreadcontroller;
    QThread* serial = hub->getSerialWorker()->thread();
    QThread* heart = hub->getHeartWorker()->thread();
    QTRY_VERIFY(serial->isRunning() && heart->isRunning());

    QMutex mutex;
    QStringList order;
    connect(heart, &QThread::finished, heart, [&] { QMutexLocker l(&mutex); order << "heart"; },
            Qt::DirectConnection);
    connect(serial, &QThread::finished, serial, [&] { QMutexLocker l(&mutex); order << "serial"; },
            Qt::DirectConnection);
    LogCapture log;
    delete hub;
    QCOMPARE(order, (QStringList{"heart", "serial"}));
    QCOMPARE(log.countExact(QtDebugMsg, "auxthreadcontroller-----quit--over"), 1);
}

// The hub ends while its serial worker is busy with one request and the
// next waits (the throttle groups' last zeros): the worker still takes it.
void tst_Hub::destructionLetsTheSerialWorkerTakeWhatCameBefore()
{
    auto* hub = new auxthreadcontroller;
    subSerialTQThread* worker = hub->getSerialWorker();
    std::atomic<bool> busy {false};
    std::atomic<bool> taken {false};
    QMetaObject::invokeMethod(worker, [&busy] { busy = true; QThread::msleep(500); }, Qt::QueuedConnection);
    QTRY_VERIFY(busy);
    QMetaObject::invokeMethod(worker, [&taken] { taken = true; }, Qt::QueuedConnection);
    delete hub;
    QVERIFY(taken);
}

QTEST_MAIN(tst_Hub)
#include "tst_hub.moc"
