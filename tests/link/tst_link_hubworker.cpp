// The serial worker as the application runs it: created, moved and started
// by the real hub, driven through the real page controllers.

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

#include "app/auxthreadcontroller.h"
#include "app/tqformalpagecontrol.h"
#include "app/tqpagecontrol.h"
#include "link/portsearch.h"
#include "sim/escsim.h"
#include "workerharness.h"

class tst_link_hubworker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void searchResultReachesBothControllers();
    void portListText();
    void shutdownWithPortOpen();
};

void tst_link_hubworker::initTestCase()
{
    registerCommunicatMetaTypes();
}

void tst_link_hubworker::searchResultReachesBothControllers()
{
    auto* hub = new auxthreadcontroller;
    tqformalpagecontrol* formal = tqformalpagecontrol::getInstance();
    TQPageControl* dev = TQPageControl::getInstance();
    formal->setAuxThreadCtrl(hub);
    dev->setAuxThreadCtrl(hub);
    QSignalSpy formalSpy(formal, &tqformalpagecontrol::signalNotifyTQResultF);
    QSignalSpy devSpy(dev, &TQPageControl::signalNotifyTQResult);

    emit formal->signalSeachPortF();
    QTRY_COMPARE_WITH_TIMEOUT(formalSpy.count(), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(devSpy.count(), 1, 10000);

    const CommunicatPage a = formalSpy.at(0).at(0).value<CommunicatPage>();
    const CommunicatPage b = devSpy.at(0).at(0).value<CommunicatPage>();
    QCOMPARE(a.code, 100);
    QCOMPARE(a.name, QString("TQ_OPAL_SEARCH"));
    // Pseudo-terminals are not listed, so the machine may have no port at
    // all: the text is empty or names each followed by a comma.
    QVERIFY2(QRegularExpression("^([^,]+,)*$").match(a.text).hasMatch(), qPrintable(a.text));
    QCOMPARE(b.code, a.code);
    QCOMPARE(b.name, a.name);
    QCOMPARE(b.text, a.text);

    delete hub;
}

void tst_link_hubworker::portListText()
{
    int n = -1;
    QCOMPARE(::portListText({"ttyUSB1", "ttyACM0", "", "ttyUSB0"}, &n), QString("ttyACM0,ttyUSB0,ttyUSB1,"));
    QCOMPARE(n, 3);
    QCOMPARE(::portListText({}, &n), QString());
    QCOMPARE(n, 0);
}

void tst_link_hubworker::shutdownWithPortOpen()
{
    escsim::Bus bus;
    std::string err;
    const QString path = QString::fromStdString(bus.start(&err));
    QVERIFY2(!path.isEmpty(), err.c_str());
    bus.startThread();

    auto* hub = new auxthreadcontroller;
    RecordSink sink;
    QObject::connect(hub->getSerialWorker(), &subSerialTQThread::signalNotifyTQPage, &sink, &RecordSink::onRecord,
                     Qt::QueuedConnection);
    tqformalpagecontrol* formal = tqformalpagecontrol::getInstance();
    formal->setAuxThreadCtrl(hub);

    emit formal->signalOpenOrClosePortF(true, path, 500000);
    const int at = sink.waitFor(0, [](const LinkRecord& r) { return r.port == kRespOpenResult; });
    QVERIFY(at >= 0);
    QCOMPARE(sink.records.at(at).extra, quint8(kOpenOk));
    emit formal->signalSeachVersionF(16);
    QVERIFY(sink.waitForPort(0, 430) >= 0);

    // The hub stops the serial thread; the worker closes its port there.
    delete hub;
    QCoreApplication::sendPostedEvents(&sink);
    QVERIFY(!formal->auxThreadCtrl());
    // Without a hub a request is refused, not sent to a freed worker.
    QVERIFY(!formal->sendCompack(Communicat()));
}

QTEST_GUILESS_MAIN(tst_link_hubworker)
#include "tst_link_hubworker.moc"
