// Every request signal of the page controllers builds exactly one record,
// field by field, and hands it to the hub; without a hub it is dropped with
// a log line.

#include <QSignalSpy>
#include <QtTest>

#include "app/auxthreadcontroller.h"
#include "app/mainpagecontrol.h"
#include "app/msgtypes.h"
#include "app/tqformalpagecontrol.h"
#include "app/tqpagecontrol.h"
#include "quiethub.h"
#include "recordfields.h"

namespace {

qintptr addr(const QObject* o) { return reinterpret_cast<qintptr>(o); }

} // namespace

class tst_PageControllers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void withoutHubEverySignalIsDroppedWithLogLine();
    void configuratorControllerRecords();
    void developerPanelControllerRecords();
    void searchResultReachesPagesOnlyFromSerialWorker();
    void cleanupTestCase();

private:
    auxthreadcontroller* m_hub = nullptr;
};

void tst_PageControllers::initTestCase()
{
    registerCommunicatMetaTypes();
}

void tst_PageControllers::withoutHubEverySignalIsDroppedWithLogLine()
{
    // Runs first: no controller has been given a hub yet.
    auto* f = tqformalpagecontrol::getInstance();
    auto* p = TQPageControl::getInstance();
    const int signalsTried = 9 + 9;
    for (int i = 0; i < signalsTried; ++i)
        QTest::ignoreMessage(QtDebugMsg, "sendCompack err:mAuxThreadCtrl is null");
    emit f->signalModeCtrlF(16, 0xFFFF, "0");
    emit f->signalSeachRegF(16, 5, 0, 0);
    emit f->signalDownloadFirmwareF(16, 3, "abc", "12345678");
    emit f->signalDownloadFirmwareGOF(16);
    emit f->signalSeachVersionF(16);
    emit f->signalGasMode6152F(6152, 1, 2, 3, 4);
    emit f->signalOpenOrClosePortF(true, "ttyUSB0", 500000);
    emit f->signalSeachPortF();
    emit f->signalRadioMode6145F(6145, 20, 20);
    emit p->signalOpenOrClosePort(true);
    emit p->signalSeachVersion(16);
    emit p->signalSeachReg(16, 1, 1, 0);
    emit p->signalModeCtrl(16, 0xFFFA, "0");
    emit p->signalRadioMode6144(6144, 1, 16);
    emit p->signalRadioMode6145(6145, 17, 16);
    emit p->signalGasMode6152(6152, 1, 2, 3, 4);
    emit p->signalDownloadFirmware(16, 1, 2, "V1");
    emit p->signalReadFile257(0, 16, 1001);
    QTest::ignoreMessage(QtDebugMsg, "registerCallAuxThread err:mAuxThreadCtrl is null");
    QCOMPARE(p->getSerialWorker(), nullptr);

    // The kiosk controller's heartbeat request is dropped the same way.
    QTest::ignoreMessage(QtDebugMsg, "sendCompack err:mAuxThreadCtrl is null");
    mainpageControl::getInstance()->machine_init();
}

void tst_PageControllers::configuratorControllerRecords()
{
    m_hub = mainpageControl::getInstance()->createAuxThreadCtrl();
    disconnectWorkers(m_hub);  // records are checked where they leave the hub
    auto* f = tqformalpagecontrol::getInstance();
    f->setAuxThreadCtrl(m_hub);
    QSignalSpy spy(m_hub, &auxthreadcontroller::SignalToTQThread);
    const qintptr s = addr(f);

    emit f->signalModeCtrlF(16, 0xFFFD, " .vr-kisa");
    emit f->signalSeachRegF(17, 5, 0, 0);
    emit f->signalSeachRegF(18, 4, 2, 3);
    const QByteArray image("\x01\x02\xff", 3);
    const QByteArray tag("\x80\x00\x01\xfe" "ABCD", 8);
    emit f->signalDownloadFirmwareF(19, 3, image, tag);
    emit f->signalDownloadFirmwareGOF(20);
    emit f->signalSeachVersionF(21);
    emit f->signalGasMode6152F(6153, 100, 200, 300, 16383);
    emit f->signalOpenOrClosePortF(true, "/dev/pts/3", 1000000);
    emit f->signalOpenOrClosePortF(false, "/dev/pts/3", 0);
    emit f->signalSeachPortF();
    emit f->signalRadioMode6145F(6145, 48, 48);

    QCOMPARE(spy.size(), 11);
    auto at = [&](int i) { return recordFields(spy.at(i).at(0).value<Communicat>()); };
    QCOMPARE(at(0), recordFields({3, 9, "TQ_OPAL_CTRL", "65533", " .vr-kisa", {}, s, 16}));
    QCOMPARE(at(1), recordFields({3, 9, "TQ_OPAL_REG", "5", "0,0", {}, s, 17}));
    QCOMPARE(at(2), recordFields({3, 9, "TQ_OPAL_REG", "4", "2,3", {}, s, 18}));
    // Every byte of the tag survives the trip through the text field.
    const QString tagText = QString::fromLatin1(tag.constData(), tag.size());
    QCOMPARE(at(3), recordFields({3, 9, "TQ_OPAL_DOWNLOAD", tagText, "3", image, s, 19}));
    QCOMPARE(spy.at(3).at(0).value<Communicat>().arg1.toLatin1(), tag);
    QCOMPARE(at(4), recordFields({3, 9, "TQ_OPAL_DOWNLOAD_GO", "", "", {}, s, 20}));
    QCOMPARE(at(5), recordFields({3, 9, "TQ_OPAL_VERSION", "", "", {}, s, 21}));
    QCOMPARE(at(6), recordFields({3, 9, "TQ_OPAL_RADIO_GAS_UPDATA", "6153", "100,200,300,16383", {}, s, 0}));
    QCOMPARE(at(7), recordFields({3, 9, "TQ_OPAL_OPEN", "/dev/pts/3", "", {}, s, 1000000}));
    QCOMPARE(at(8), recordFields({3, 9, "TQ_OPAL_CLOSE", "/dev/pts/3", "", {}, s, 0}));
    QCOMPARE(at(9), recordFields({3, 9, "TQ_OPAL_SEARCH", "", "", {}, s, 0}));
    QCOMPARE(at(10), recordFields({3, 9, "TQ_OPAL_RADIO_6145", "6145", "48", {}, s, 48}));
}

void tst_PageControllers::developerPanelControllerRecords()
{
    auto* p = TQPageControl::getInstance();
    p->setAuxThreadCtrl(m_hub);
    QCOMPARE(p->getSerialWorker(), m_hub->getSerialWorker());
    QSignalSpy spy(m_hub, &auxthreadcontroller::SignalToTQThread);
    const qintptr s = addr(p);

    p->setSerialPortParam("ttyACM0", 500000, 8, 1, "None");
    QTest::ignoreMessage(QtDebugMsg, "TQPageControl::doProcessClickedOpen---");
    QTest::ignoreMessage(QtDebugMsg, "TQPageControl--open-over--");
    emit p->signalOpenOrClosePort(true);
    emit p->signalOpenOrClosePort(false);
    emit p->signalSeachVersion(16);
    emit p->signalSeachReg(16, 7, 1, 99);
    emit p->signalSeachReg(16, 7, 2, -5);
    emit p->signalModeCtrl(16, 0xFFFA, "0");
    emit p->signalRadioMode6144(6144, 1, 16);
    emit p->signalRadioMode6145(6145, 17, 16);
    emit p->signalGasMode6152(6152, 0, 1, 2, 3);
    QTest::ignoreMessage(QtDebugMsg, "-----doProcessOpenDbFile---strPath= \"/tmp/x.db\"");
    emit p->signalOpenDbFile("/tmp/x.db");
    emit p->signalDownloadFirmware(16, 2, 7, "V1.2");
    emit p->signalReadFile257(512, 17, 1000);
    emit p->signalReadFile257(256, 17, 1001, 31); // numbered by the page

    QCOMPARE(p->dbFilePath(), QString("/tmp/x.db"));
    QCOMPARE(spy.size(), 12);
    auto at = [&](int i) { return recordFields(spy.at(i).at(0).value<Communicat>()); };
    QCOMPARE(at(0), recordFields({2, 9, "TQ_OPAL_OPEN", "ttyACM0", "", {}, s, 0}));
    QCOMPARE(at(1), recordFields({2, 9, "TQ_OPAL_CLOSE", "ttyACM0", "", {}, s, 0}));
    QCOMPARE(at(2), recordFields({2, 9, "TQ_OPAL_VERSION", "", "", {}, s, 16}));
    QCOMPARE(at(3), recordFields({2, 9, "TQ_OPAL_REG", "7", "1,99", {}, s, 16}));
    QCOMPARE(at(4), recordFields({2, 9, "TQ_OPAL_REG", "7", "2,-5", {}, s, 16}));
    QCOMPARE(at(5), recordFields({2, 9, "TQ_OPAL_CTRL", "65530", "0", {}, s, 16}));
    QCOMPARE(at(6), recordFields({2, 9, "TQ_OPAL_RADIO_6144", "6144", "1", {}, s, 16}));
    QCOMPARE(at(7), recordFields({2, 9, "TQ_OPAL_RADIO_6145", "6145", "17", {}, s, 16}));
    QCOMPARE(at(8), recordFields({2, 9, "TQ_OPAL_RADIO_GAS_UPDATA", "6152", "0,1,2,3", {}, s, 0}));
    QCOMPARE(at(9), recordFields({2, 9, "TQ_OPAL_DOWNLOAD", "2", "V1.2", {}, s, 16}));
    QCOMPARE(at(10), recordFields({2, 9, "TQ_OPAL_READ_FILE_CTRL", "257", "17,512", {}, s, 1000}));
    QCOMPARE(at(11), recordFields({2, 9, "TQ_OPAL_READ_FILE_CTRL", "257", "17,256,31", {}, s, 1001}));

    // The kiosk controller's heartbeat request goes to destination 6.
    mainpageControl* home = mainpageControl::getInstance();
    QSignalSpy heart(m_hub, &auxthreadcontroller::SignalToHeart);
    home->machine_init();
    QCOMPARE(heart.size(), 1);
    QCOMPARE(recordFields(heart.at(0).at(0).value<Communicat>()),
             recordFields({0, 6, "cmd_sync_ntp", "Init", "", {}, addr(home), 0}));
}

void tst_PageControllers::searchResultReachesPagesOnlyFromSerialWorker()
{
    QSignalSpy formal(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalNotifyTQResultF);
    QSignalSpy panel(TQPageControl::getInstance(), &TQPageControl::signalNotifyTQResult);

    Communicat result;
    result.SrcType = e_TQTHREAD;
    result.cmdtype = g_strCmdType[e_TQ_OPAL_SEARCH];
    result.arg2 = "ttyUSB0,ttyACM0,";
    result.DestType = e_TQFORMALPAGE;
    m_hub->NotifyMessage(result);
    result.DestType = e_TQPAGE;
    m_hub->NotifyMessage(result);

    // Not from the worker, or not a search: ignored.
    Communicat other = result;
    other.SrcType = e_TQFORMALPAGE;
    m_hub->NotifyMessage(other);
    other = result;
    other.cmdtype = "tq_opal_search";
    m_hub->NotifyMessage(other);

    // From the worker's thread these arrive queued; from here, at once.
    QCOMPARE(formal.size(), 1);
    QCOMPARE(panel.size(), 1);
    const auto page = panel.at(0).at(0).value<CommunicatPage>();
    QCOMPARE(page.code, 100);
    QCOMPARE(page.name, QString("TQ_OPAL_SEARCH"));
    QCOMPARE(page.text, QString("ttyUSB0,ttyACM0,"));
}

void tst_PageControllers::cleanupTestCase()
{
    mainpageControl::getInstance()->deleteMutexThread();
    QCOMPARE(mainpageControl::getInstance()->getAuxThreadController(), nullptr);
}

QTEST_MAIN(tst_PageControllers)
#include "tst_pagecontrollers.moc"
