// Each button of the developer panel hands exactly one record to the hub on
// its way to the serial worker (or, where it must not, none), and port-search
// results fill the port list.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTextEdit>
#include <QtTest>

#include "app/auxthreadcontroller.h"
#include "app/tqpagecontrol.h"
#include "devpanel/tqwidget.h"

namespace {

struct Expected {
    QString cmd;
    QString arg1;
    QString arg2;
    int param;
};

// Every record of the panel comes from its controller and goes to the
// serial worker, without payload.
void compareRecord(const Communicat& got, const Expected& want)
{
    QCOMPARE(got.SrcType, 2);
    QCOMPARE(got.DestType, 9);
    QCOMPARE(got.cmdtype, want.cmd);
    QCOMPARE(got.arg1, want.arg1);
    QCOMPARE(got.arg2, want.arg2);
    QCOMPARE(got.data, QByteArray());
    QCOMPARE(got.sender, reinterpret_cast<qintptr>(TQPageControl::getInstance()));
    QCOMPARE(got.param, want.param);
}

Communicat recordAt(const QSignalSpy& spy, int i)
{
    return spy.at(i).at(0).value<Communicat>();
}

CommunicatPage searchResult(const QString& text, const QString& name = QStringLiteral("TQ_OPAL_SEARCH"))
{
    CommunicatPage page;
    page.code = 100;
    page.name = name;
    page.text = text;
    return page;
}

} // namespace

class tst_DevPanelRequests : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void openAndCloseFollowTheCaption();
    void eachRequestButtonSendsItsRecord();
    void sixThousandOneHundredFortyFourTakesBothCombos();
    void registerIndexOutsideOneByteIsRefused_data();
    void registerIndexOutsideOneByteIsRefused();
    void firmwarePathIsStoredAndDownloadWithoutImageIsNotSent();
    void clearEmptiesTheLog();
    void searchResultsFillThePortList();
    void cleanupTestCase();

private:
    template <typename T> T* child(const char* name) const { return m_panel->findChild<T*>(name); }
    bool click(const char* name);
    bool selectText(const char* combo, const QString& text);
    QString lastLogLine() const;

    auxthreadcontroller* m_hub = nullptr;
    tqWidget* m_panel = nullptr;
};

bool tst_DevPanelRequests::click(const char* name)
{
    auto* button = child<QPushButton>(name);
    if (!button)
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

bool tst_DevPanelRequests::selectText(const char* combo, const QString& text)
{
    auto* box = child<QComboBox>(combo);
    const int index = box ? box->findText(text) : -1;
    if (index < 0)
        return false;
    box->setCurrentIndex(index);
    return true;
}

QString tst_DevPanelRequests::lastLogLine() const
{
    return child<QTextEdit>("cx_searial_recv_text")->toPlainText().split(QLatin1Char('\n')).last();
}

void tst_DevPanelRequests::initTestCase()
{
    registerCommunicatMetaTypes();
    m_hub = new auxthreadcontroller;
    // Records are checked where they leave the hub. The real workers stay
    // out of it: their log lines from other threads would race with
    // QTest::ignoreMessage, which is not thread-safe.
    QObject::disconnect(m_hub, &auxthreadcontroller::SignalToTQThread, m_hub->getSerialWorker(), nullptr);
    QObject::disconnect(m_hub, &auxthreadcontroller::SignalToHeart, m_hub->getHeartWorker(), nullptr);
    TQPageControl::getInstance()->setAuxThreadCtrl(m_hub);
    m_panel = new tqWidget;
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel));
}

void tst_DevPanelRequests::cleanupTestCase()
{
    delete m_panel;
    delete m_hub;
}

void tst_DevPanelRequests::openAndCloseFollowTheCaption()
{
    // A name no machine has: the serial worker behind the hub really tries
    // to open what is asked for.
    emit TQPageControl::getInstance()->signalNotifyTQResult(searchResult("ttyTQ-no-such-port,"));
    auto* open = child<QPushButton>("btnOpen");
    QVERIFY(open);
    QCOMPARE(open->text(), QString("打开"));
    QSignalSpy spy(m_hub, &auxthreadcontroller::SignalToTQThread);

    QVERIFY(click("btnOpen"));
    QCOMPARE(open->text(), QString("关闭"));
    QVERIFY(click("btnOpen"));
    QCOMPARE(open->text(), QString("打开"));

    QCOMPARE(spy.size(), 2);
    compareRecord(recordAt(spy, 0), {"TQ_OPAL_OPEN", "ttyTQ-no-such-port", "", 0});
    compareRecord(recordAt(spy, 1), {"TQ_OPAL_CLOSE", "ttyTQ-no-such-port", "", 0});
    QCOMPARE(TQPageControl::getInstance()->portName(), QString("ttyTQ-no-such-port"));
}

void tst_DevPanelRequests::eachRequestButtonSendsItsRecord()
{
    QSignalSpy spy(m_hub, &auxthreadcontroller::SignalToTQThread);

    QVERIFY(click("btn_version"));
    // Register 5 and the access code are there from the start.
    QVERIFY(selectText("comboBox_OP", "读寄存器"));
    QVERIFY(click("btnCheckReg"));
    QVERIFY(selectText("comboBox_OP", "读 all"));
    QVERIFY(click("btnCheckReg"));
    child<QLineEdit>("lEditRegAddr")->setText("255");
    QVERIFY(selectText("comboBox_OP", "写寄存器"));
    QVERIFY(click("btnCheckReg"));
    // Text that is no number asks for register 0.
    child<QLineEdit>("lEditRegAddr")->setText("abc");
    QVERIFY(click("btnCheckReg"));
    QTest::ignoreMessage(QtDebugMsg, "------strPasswd= \".vr-kisa\"");
    QVERIFY(click("btnUpdataApp"));
    QVERIFY(click("btnReboot"));
    QVERIFY(click("btnGas"));
    // The node-ID row passes the operation index where the link reads the
    // new ID (0 or 1, outside 16..48), so nothing reaches the bus from it.
    child<QLineEdit>("lEditDevID")->setText("20");
    QVERIFY(selectText("comboBox_setId", "取消设置"));
    QVERIFY(click("btnSetDevId"));

    QCOMPARE(spy.size(), 9);
    compareRecord(recordAt(spy, 0), {"TQ_OPAL_VERSION", "", "", 16});
    compareRecord(recordAt(spy, 1), {"TQ_OPAL_REG", "5", "0,0", 16});
    compareRecord(recordAt(spy, 2), {"TQ_OPAL_REG", "5", "1,0", 16});
    compareRecord(recordAt(spy, 3), {"TQ_OPAL_REG", "255", "2,0", 16});
    compareRecord(recordAt(spy, 4), {"TQ_OPAL_REG", "0", "2,0", 16});
    compareRecord(recordAt(spy, 5), {"TQ_OPAL_CTRL", "65533", ".vr-kisa", 16});
    QCOMPARE(recordAt(spy, 5).arg2.toLocal8Bit().size(), 8);
    compareRecord(recordAt(spy, 6), {"TQ_OPAL_CTRL", "65535", "0", 16});
    compareRecord(recordAt(spy, 7), {"TQ_OPAL_RADIO_GAS_UPDATA", "6152", "50,51,52,53", 0});
    compareRecord(recordAt(spy, 8), {"TQ_OPAL_RADIO_6145", "6145", "1", 20});
}

void tst_DevPanelRequests::sixThousandOneHundredFortyFourTakesBothCombos()
{
    QSignalSpy spy(m_hub, &auxthreadcontroller::SignalToTQThread);
    QVERIFY(selectText("comboBox_radio_6144", "254"));
    QVERIFY(selectText("comboBox_radio_614_NodeId", "128"));
    QVERIFY(click("radio_6144_send"));
    QVERIFY(selectText("comboBox_radio_6144", "10"));
    QVERIFY(selectText("comboBox_radio_614_NodeId", "16"));
    QVERIFY(click("radio_6144_send"));

    QCOMPARE(spy.size(), 2);
    compareRecord(recordAt(spy, 0), {"TQ_OPAL_RADIO_6144", "6144", "254", 128});
    compareRecord(recordAt(spy, 1), {"TQ_OPAL_RADIO_6144", "6144", "10", 16});
}

void tst_DevPanelRequests::registerIndexOutsideOneByteIsRefused_data()
{
    QTest::addColumn<QString>("index");
    QTest::newRow("256") << "256";
    QTest::newRow("261 would write register 5") << "261";
    QTest::newRow("negative") << "-1";
    QTest::newRow("beyond int") << "99999999999";
}

void tst_DevPanelRequests::registerIndexOutsideOneByteIsRefused()
{
    QFETCH(QString, index);
    QSignalSpy spy(m_hub, &auxthreadcontroller::SignalToTQThread);
    child<QLineEdit>("lEditRegAddr")->setText(index);
    QVERIFY(selectText("comboBox_OP", "写寄存器"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("outside 0-255"));
    QVERIFY(click("btnCheckReg"));

    QCOMPARE(spy.size(), 0);
    QVERIFY(lastLogLine().contains(index));
    QVERIFY(lastLogLine().contains("not sent"));
}

void tst_DevPanelRequests::firmwarePathIsStoredAndDownloadWithoutImageIsNotSent()
{
    QSignalSpy spy(m_hub, &auxthreadcontroller::SignalToTQThread);
    child<QLineEdit>("lEditFirmwareDB")->setText("/tmp/firmware.db");
    QVERIFY(click("btnOpenFirmware"));
    QCOMPARE(TQPageControl::getInstance()->dbFilePath(), QString("/tmp/firmware.db"));

    // Neither part chosen reads as part 1; only part 2 chosen reads as 2.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("part1.*not sent"));
    QVERIFY(click("btnDownLoadFirmware"));
    QVERIFY(lastLogLine().contains("part1"));
    child<QRadioButton>("radioBPart2")->setChecked(true);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("part2.*not sent"));
    QVERIFY(click("btnDownLoadFirmware"));
    QVERIFY(lastLogLine().contains("part2"));
    QVERIFY(lastLogLine().contains("no image"));

    QCOMPARE(spy.size(), 0);
}

void tst_DevPanelRequests::clearEmptiesTheLog()
{
    auto* log = child<QTextEdit>("cx_searial_recv_text");
    QVERIFY(click("btn_clear"));
    m_panel->appendLog("one");
    m_panel->appendLog("two");
    QCOMPARE(log->toPlainText(), QString("one\ntwo"));
    // The newest line stays in view.
    QCOMPARE(log->textCursor().position(), log->document()->characterCount() - 1);
    QVERIFY(click("btn_clear"));
    QVERIFY(log->toPlainText().isEmpty());
}

void tst_DevPanelRequests::searchResultsFillThePortList()
{
    auto* ports = child<QComboBox>("comboBox_serial");
    ports->clear();
    TQPageControl* ctrl = TQPageControl::getInstance();

    emit ctrl->signalNotifyTQResult(searchResult("ttyUSB0,ttyACM0,"));
    QCOMPARE(ports->count(), 2);
    QCOMPARE(ports->itemText(0), QString("ttyUSB0"));
    QCOMPARE(ports->itemText(1), QString("ttyACM0"));

    // Nothing is removed or compared: a second search lists its ports again.
    emit ctrl->signalNotifyTQResult(searchResult("COM3,,COM5,"));
    emit ctrl->signalNotifyTQResult(searchResult("COM3"));
    // An empty result, or a page of another kind, adds nothing.
    emit ctrl->signalNotifyTQResult(searchResult(""));
    emit ctrl->signalNotifyTQResult(searchResult("COM9,", "TQ_OPAL_VERSION"));

    QStringList items;
    for (int i = 0; i < ports->count(); ++i)
        items << ports->itemText(i);
    QCOMPARE(items, QStringList({"ttyUSB0", "ttyACM0", "COM3", "COM5", "COM3"}));

    // Through the hub, as the serial worker reports it.
    Communicat result;
    result.SrcType = 9;
    result.DestType = 2;
    result.cmdtype = "TQ_OPAL_SEARCH";
    result.arg2 = "ttyS4,";
    m_hub->NotifyMessage(result);
    QCOMPARE(ports->count(), 6);
    QCOMPARE(ports->itemText(5), QString("ttyS4"));
}

QTEST_MAIN(tst_DevPanelRequests)
#include "tst_devpanel_requests.moc"
