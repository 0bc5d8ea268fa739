// Each button of the developer panel hands exactly one record to the hub on
// its way to the serial worker (or, where it must not, none), each request
// reaches the node with its fields where the node reads them, and
// port-search results fill the port list.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTextEdit>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

#include "app/tqpagecontrol.h"
#include "devpanel/tqwidget.h"
#include "linkharness.h"
#include "quiethub.h"
#include "recordfields.h"

class tst_DevPanelRequests : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { m_sent.reset(new QSignalSpy(m_hub.data(), &auxthreadcontroller::SignalToTQThread)); }
    void buttonsSendTheirRecords();
    void refusedRequestsSendNothing();
    void searchResultsFillThePortList();
    void nodesReadTheRequestsAsSent();

private:
    template <typename T> T* child(const char* name) const { return m_panel->findChild<T*>(name); }
    bool click(const char* name)
    {
        auto* button = child<QPushButton>(name);
        if (button)
            QTest::mouseClick(button, Qt::LeftButton);
        return button;
    }
    void select(const char* combo, const QString& text) { child<QComboBox>(combo)->setCurrentText(text); }
    // The buttons of the broadcast messages: node control with value 254 for
    // node 128, then 10 for node 16, the fixed throttle, and the node-ID row,
    // which passes the operation index where the link reads the new ID (0 or
    // 1, outside 16..48), so that nothing reaches the bus from it.
    bool clickMessageButtons()
    {
        select("comboBox_radio_6144", "254");
        select("comboBox_radio_614_NodeId", "128");
        bool ok = click("radio_6144_send");
        select("comboBox_radio_6144", "10");
        select("comboBox_radio_614_NodeId", "16");
        ok = click("radio_6144_send") && click("btnGas") && ok;
        child<QLineEdit>("lEditDevID")->setText("20");
        select("comboBox_setId", "取消设置");
        return click("btnSetDevId") && ok;
    }
    // Every record of the panel comes from its controller and goes to the
    // serial worker, without payload.
    static QStringList panelRecord(const QString& cmd, const QString& arg1, const QString& arg2, int param)
    {
        const auto sender = reinterpret_cast<qintptr>(TQPageControl::getInstance());
        return recordFields({2, 9, cmd, arg1, arg2, {}, sender, param});
    }
    static void searchResult(const QString& text, const QString& name = QStringLiteral("TQ_OPAL_SEARCH"))
    {
        emit TQPageControl::getInstance()->signalNotifyTQResult(CommunicatPage{100, name, text});
    }

    QScopedPointer<auxthreadcontroller> m_hub;
    QScopedPointer<tqWidget> m_panel;
    QScopedPointer<QSignalSpy> m_sent;
};

void tst_DevPanelRequests::initTestCase()
{
    registerCommunicatMetaTypes();
    m_hub.reset(new auxthreadcontroller);
    disconnectWorkers(m_hub.data());
    TQPageControl::getInstance()->setAuxThreadCtrl(m_hub.data());
    m_panel.reset(new tqWidget);
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel.data()));
}

void tst_DevPanelRequests::buttonsSendTheirRecords()
{
    searchResult("ttyTQ-no-such-port,");
    auto* open = child<QPushButton>("btnOpen");
    QCOMPARE(open->text(), QString("打开"));
    QVERIFY(click("btnOpen"));
    QCOMPARE(open->text(), QString("关闭"));
    QVERIFY(click("btnOpen"));
    QCOMPARE(open->text(), QString("打开"));
    QCOMPARE(TQPageControl::getInstance()->portName(), QString("ttyTQ-no-such-port"));

    QVERIFY(click("btn_version"));
    // Register 5 and the access code are there from the start.
    select("comboBox_OP", "读寄存器");
    QVERIFY(click("btnCheckReg"));
    select("comboBox_OP", "读 all");
    QVERIFY(click("btnCheckReg"));
    child<QLineEdit>("lEditRegAddr")->setText("255");
    select("comboBox_OP", "写寄存器");
    QVERIFY(click("btnCheckReg"));
    child<QLineEdit>("lEditRegAddr")->setText("abc");  // no number: register 0
    QVERIFY(click("btnCheckReg"));
    QTest::ignoreMessage(QtDebugMsg, "------strPasswd= \".vr-kisa\"");
    QVERIFY(click("btnUpdataApp"));
    QVERIFY(click("btnReboot"));
    QVERIFY(clickMessageButtons());
    // The clear button empties the log and sends nothing.
    m_panel->appendLog("a line");
    QVERIFY(click("btn_clear"));
    QCOMPARE(child<QTextEdit>("cx_searial_recv_text")->toPlainText(), QString());

    const QList<QStringList> want{
        panelRecord("TQ_OPAL_OPEN", "ttyTQ-no-such-port", "", 0),
        panelRecord("TQ_OPAL_CLOSE", "ttyTQ-no-such-port", "", 0),
        panelRecord("TQ_OPAL_VERSION", "", "", 16),
        panelRecord("TQ_OPAL_REG", "5", "0,0", 16),
        panelRecord("TQ_OPAL_REG", "5", "1,0", 16),
        panelRecord("TQ_OPAL_REG", "255", "2,0", 16),
        panelRecord("TQ_OPAL_REG", "0", "2,0", 16),
        panelRecord("TQ_OPAL_CTRL", "65533", ".vr-kisa", 16),
        panelRecord("TQ_OPAL_CTRL", "65535", "0", 16),
        panelRecord("TQ_OPAL_RADIO_6144", "6144", "254", 128),
        panelRecord("TQ_OPAL_RADIO_6144", "6144", "10", 16),
        panelRecord("TQ_OPAL_RADIO_GAS_UPDATA", "6152", "50,51,52,53", 0),
        panelRecord("TQ_OPAL_RADIO_6145", "6145", "1", 20),
    };
    QCOMPARE(m_sent->size(), want.size());
    for (int i = 0; i < want.size(); ++i)
        QCOMPARE(recordFields(m_sent->at(i).at(0).value<Communicat>()), want.at(i));
}

void tst_DevPanelRequests::refusedRequestsSendNothing()
{
    // A register index outside one byte: the link carries only the low byte,
    // so 261 would write register 5.
    select("comboBox_OP", "写寄存器");
    for (const char* index : {"256", "261", "-1", "99999999999"}) {
        child<QLineEdit>("lEditRegAddr")->setText(index);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QString("\"%1\" is outside 0-255").arg(index)));
        QVERIFY(click("btnCheckReg"));
    }

    // A firmware download without image bytes; the path is only stored.
    child<QLineEdit>("lEditFirmwareDB")->setText("/tmp/firmware.db");
    QVERIFY(click("btnOpenFirmware"));
    QCOMPARE(TQPageControl::getInstance()->dbFilePath(), QString("/tmp/firmware.db"));
    // Neither part chosen reads as part 1; only part 2 chosen reads as 2.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("part1.*not sent: no image"));
    QVERIFY(click("btnDownLoadFirmware"));
    child<QRadioButton>("radioBPart2")->setChecked(true);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("part2.*not sent: no image"));
    QVERIFY(click("btnDownLoadFirmware"));
    QCOMPARE(m_sent->size(), 0);
}

void tst_DevPanelRequests::searchResultsFillThePortList()
{
    auto* ports = child<QComboBox>("comboBox_serial");
    ports->clear();
    searchResult("ttyUSB0,ttyACM0,");
    // Nothing is removed or compared: a second search lists its ports again.
    searchResult("COM3,,COM5,");
    searchResult("COM3");
    // An empty result, or a page of another kind, adds nothing.
    searchResult("");
    searchResult("COM9,", "TQ_OPAL_VERSION");
    // Through the hub, as the serial worker reports it.
    m_hub->NotifyMessage(Communicat{9, 2, "TQ_OPAL_SEARCH", "", "ttyS4,", {}, 0, 0});

    QStringList items;
    for (int i = 0; i < ports->count(); ++i)
        items << ports->itemText(i);
    QCOMPARE(items, QStringList({"ttyUSB0", "ttyACM0", "COM3", "COM5", "COM3", "ttyS4"}));
}

void tst_DevPanelRequests::nodesReadTheRequestsAsSent()
{
    // The buttons again, through a hub whose serial worker runs, to the
    // simulated nodes 16 to 19: what each node decoded. Declared in this
    // order, the hub stops its worker before the answers and the bus go.
    escsim::Options o;
    o.nodes = {16, 17, 18, 19};
    escsim::Bus bus(o);
    std::string error;
    const QString path = QString::fromStdString(startOnThread(bus, &error));
    QVERIFY2(!path.isEmpty(), error.c_str());
    auto hub = std::make_unique<auxthreadcontroller>();
    WorkerRecords answers(hub->getSerialWorker());
    const auto liveHub = qScopeGuard([&] {
        hub.reset();
        TQPageControl::getInstance()->setAuxThreadCtrl(m_hub.data());
    });
    TQPageControl::getInstance()->setAuxThreadCtrl(hub.get());

    searchResult(path + ",");
    select("comboBox_serial", path);
    QCOMPARE(child<QPushButton>("btnOpen")->text(), QString("打开"));
    QVERIFY(click("btnOpen"));
    LinkRecord opened;
    QVERIFY(answers.waitFor(kRespOpenResult, 0, kWaitMs, &opened));
    QCOMPARE(int(opened.extra), int(kOpenOk));

    const auto requestsOf16 = [&bus] {
        QList<QPair<int, QByteArray>> out;
        for (const escsim::ReceivedRequest& r : bus.requests(16))
            out << qMakePair(int(r.port), QByteArray(reinterpret_cast<const char*>(r.payload.data()), int(r.payload.size())));
        return out;
    };
    const auto sent = [&](const char* button, int requests) {
        return click(button) && QTest::qWaitFor([&] { return requestsOf16().size() == requests; }, kWaitMs);
    };
    QVERIFY(sent("btn_version", 1));
    child<QLineEdit>("lEditRegAddr")->setText("5");
    select("comboBox_OP", "读寄存器");
    QVERIFY(sent("btnCheckReg", 2));
    select("comboBox_OP", "读 all");
    QVERIFY(sent("btnCheckReg", 3));
    child<QLineEdit>("lEditRegAddr")->setText("200");
    select("comboBox_OP", "写寄存器");
    QVERIFY(sent("btnCheckReg", 4));
    QVERIFY(sent("btnUpdataApp", 5)); // no ignoreMessage here: the worker's thread logs too
    // Messages have no answer: a version request after them has reached the
    // nodes only after they did.
    QVERIFY(clickMessageButtons());
    QVERIFY(sent("btn_version", 6));
    QVERIFY(sent("btnReboot", 7));

    const QList<QPair<int, QByteArray>> want{
        {430, {}},
        {256, QByteArray("\x00\x05", 2)},       // operation, register
        {256, QByteArray("\x01\x05", 2)},
        {256, QByteArray("\x02\xc8\x00\x00", 4)}, // and the value, 16 bits
        {435, QByteArray("\xfd\xff.vr-kisa")},   // command 65533, 16 bits, and the code
        {430, {}},
        {435, QByteArray("\xff\xff" "0")},
    };
    QCOMPARE(requestsOf16(), want);
    for (const int node : {16, 17, 18, 19}) {
        QStringList heard;
        for (const std::string& line : bus.logLines()) {
            const QString text = QString::fromStdString(line);
            if (text.startsWith(QString("node %1: ").arg(node)) && text.contains(QRegularExpression("control|ID")))
                heard << text.mid(9);
        }
        QCOMPARE(heard, QStringList({"node control message: value 254 for node 128",
                                     "node control message: value 10 for node 16"}));
        QCOMPARE(int(bus.throttle(uint8_t(node))), 50 + node - 16);
    }
}

QTEST_MAIN(tst_DevPanelRequests)
#include "tst_devpanel_requests.moc"
