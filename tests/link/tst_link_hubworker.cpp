// The serial worker as the application runs it: created, moved and started
// by the real hub, driven through the real page controllers.

#include <QSignalSpy>
#include <QtTest>

#include "app/auxthreadcontroller.h"
#include "app/tqformalpagecontrol.h"
#include "app/tqpagecontrol.h"
#include "link/portsearch.h"
#include "linkharness.h"

class tst_link_hubworker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { registerCommunicatMetaTypes(); }

    void searchResultReachesBothControllers()
    {
        auto* hub = new auxthreadcontroller;
        tqformalpagecontrol* formal = tqformalpagecontrol::getInstance();
        TQPageControl* dev = TQPageControl::getInstance();
        formal->setAuxThreadCtrl(hub);
        dev->setAuxThreadCtrl(hub);
        QSignalSpy formalSpy(formal, &tqformalpagecontrol::signalNotifyTQResultF);
        QSignalSpy devSpy(dev, &TQPageControl::signalNotifyTQResult);

        emit formal->signalSeachPortF();
        QTRY_COMPARE_WITH_TIMEOUT(formalSpy.count(), 1, kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(devSpy.count(), 1, kWaitMs);
        const CommunicatPage a = formalSpy.at(0).at(0).value<CommunicatPage>();
        const CommunicatPage b = devSpy.at(0).at(0).value<CommunicatPage>();
        QCOMPARE(a.code, 100);
        QCOMPARE(a.name, QString("TQ_OPAL_SEARCH"));
        // What the system lists now (the format is pinned in portListFormat).
        QCOMPARE(a.text, portSearchText());
        QCOMPARE(b.code, a.code);
        QCOMPARE(b.name, a.name);
        QCOMPARE(b.text, a.text);
        delete hub;
    }

    void portListFormat()
    {
        // Known names, whatever serial ports this machine has: sorted, each
        // followed by ",", empty names skipped.
        int count = -1;
        QCOMPARE(portListText({"ttyUSB1", "ttyACM0", QString(), "ttyS0", "ttyUSB0"}, &count),
                 QString("ttyACM0,ttyS0,ttyUSB0,ttyUSB1,"));
        QCOMPARE(count, 4);
        QCOMPARE(portListText({"ttyUSB0"}, &count), QString("ttyUSB0,"));
        QCOMPARE(count, 1);
        QCOMPARE(portListText({}, &count), QString());
        QCOMPARE(count, 0);
    }

    void shutdownWithPortOpen()
    {
        escsim::Bus bus;
        std::string err;
        const QString path = QString::fromStdString(startOnThread(bus, &err));
        QVERIFY2(!path.isEmpty(), err.c_str());

        auto* hub = new auxthreadcontroller;
        WorkerRecords records(hub->getSerialWorker());
        tqformalpagecontrol* formal = tqformalpagecontrol::getInstance();
        formal->setAuxThreadCtrl(hub);
        emit formal->signalOpenOrClosePortF(true, path, 500000);
        LinkRecord r;
        QVERIFY(records.waitFor(kRespOpenResult, 0, kWaitMs, &r));
        QCOMPARE(r.extra, quint8(kOpenOk));
        emit formal->signalSeachVersionF(16);
        QVERIFY(records.waitFor(430, 16));

        // The hub stops the serial thread; the worker closes its port there.
        delete hub;
        QVERIFY(!formal->auxThreadCtrl());
        // Without a hub a request is refused, not sent to a freed worker.
        QVERIFY(!formal->sendCompack(Communicat()));
    }
};

QTEST_GUILESS_MAIN(tst_link_hubworker)
#include "tst_link_hubworker.moc"
