#include "app/auxthreadcontroller.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>

#include "link/lastresort.h"

auxthreadcontroller::auxthreadcontroller(QObject* parent)
    : QThread(parent)
{
    startAuxThreads();
}

void auxthreadcontroller::startAuxThreads()
{
    qDebug() << "auxthreadcontroller begin";

    connect(this, &auxthreadcontroller::SignalToHeart, &heartWorker,
            &subHeartbeatThread::doProcessHeartRecv, Qt::UniqueConnection);
    connect(&heartThread, &QThread::finished, &heartWorker,
            &subHeartbeatThread::cleanup, Qt::UniqueConnection);
    // The hub pointers are set before the threads start, so that the workers
    // never see them half published.
    heartWorker.m_auxThreadCtrl = this;
    heartWorker.moveToThread(&heartThread);
    heartThread.start(QThread::InheritPriority);

    connect(this, &auxthreadcontroller::SignalToTQThread, &serialWorker,
            &subSerialTQThread::doProcessRecvReq,
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection));
    connect(&serialThread, &QThread::finished, &serialWorker,
            &subSerialTQThread::cleanup, Qt::UniqueConnection);
    serialWorker.setAuxThreadCtrl(this);
    // A stop signal (Ctrl+Z) writes the throttle's zeros, then the process
    // stops. Taken in the middle of the worker's own message, it would let
    // that message turn a motor again after SIGCONT: the worker's thread
    // leaves the stop signals to the others.
    connect(&serialThread, &QThread::started, [] { lastresort::keepStopsAway(); });
    serialWorker.moveToThread(&serialThread);
    serialThread.start(QThread::InheritPriority);
}

auxthreadcontroller::~auxthreadcontroller()
{
    // Let replies already queued to the GUI thread arrive before the
    // workers go away.
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < 50)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);

    heartThread.quit();
    heartThread.wait();
    // The serial thread ends only once its worker has taken every request
    // queued before (the throttle groups' last zeros); cleanup() then writes
    // them out before the port closes.
    QMetaObject::invokeMethod(
        &serialWorker, [this] { serialThread.quit(); }, Qt::QueuedConnection);
    serialThread.wait();
    // The workers are stopped: deliver what they queued that the loop above
    // did not reach, so that each reply gets to its receiver, which owns and
    // frees its payload. Dropped with a page, a payload would be lost.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    qDebug() << "auxthreadcontroller-----quit--over";
}

void auxthreadcontroller::NotifyMessage(Communicat msg)
{
    switch (msg.DestType) {
    case e_MAINPAGE:
        emit SignalToMainPage(msg);
        break;
    case e_CASHSELPAGE:
        emit SignalToCashSelPage(msg);
        break;
    case e_TQPAGE:
        emit SignalToTQPage(msg);
        break;
    case e_TQFORMALPAGE:
        emit SignalToTQFormalPage(msg);
        break;
    case e_NETTHREAD:
        qDebug() << "e_NETTHREAD----启动心跳包线程--------";
        emit SignalToHeart(msg);
        break;
    case e_TQTHREAD:
        emit SignalToTQThread(msg);
        break;
    default:
        // 4, 5, 7, 8 and 10 have no route.
        break;
    }
}
