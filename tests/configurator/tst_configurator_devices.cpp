// The page fed with responses as the link delivers them: nodes listed from
// heartbeats and device information, dropped when silent, the node choice,
// the link lamp, the open result, short and odd payloads, and the steps of
// the bit-rate and node-ID changes as requests leave the page.
//
// No worker runs here: the page's requests go to its controllers, which
// have no hub and drop them, and the tests watch the controllers' signals.

#include <QtTest>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>

#include <memory>

#include "app/communicat.h"
#include "app/tqformalpagecontrol.h"
#include "app/tqpagecontrol.h"
#include "configurator/tqcan.h"
#include "modalboxcloser.h"
#include "pagetesthelpers.h"
#include "telemetry/qcwindicatorlamp.h"

using namespace pagetest;

class tst_ConfiguratorDevices : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void nodesAreListedFromTheirInformation();
    void silentNodesAreDroppedAndTheChoiceFollows();
    void tablesGrowPastTwelveNodes();
    void clickingANodeShowsItsVersions();
    void linkLampFollowsLinkAndNodes();
    void openResultsShowTheirBoxes();
    void responsesWhileClosedListNothing();
    void shortAndOddPayloadsAreSafe();
    void bitRateChangeVisitsEveryOtherRate();
    void nodeIdChangeAsksWhenSeveralNodesListen();

private:
    void feed(response_data_struct_t r) { m_page->doProcessRecvTQPack(r); }
    void list(uint8_t node, const std::string& name = "P_FLY-ESC_A")
    {
        feed(heartbeat(node));
        feed(deviceInfo(node, name, 1, 0, 2, 3));
    }
    void openPort()
    {
        typePort(m_page.get(), "/dev/tq-test-port");
        click(m_page.get(), "btnOpen");
        QCOMPARE(child<QPushButton>(m_page.get(), "btnOpen")->text(), QString("Close"));
    }
    QTableWidget* devTable() const { return child<QTableWidget>(m_page.get(), "tableWidget_dev"); }
    QTableWidget* devList() const { return child<QTableWidget>(m_page.get(), "tableWidget_set_devList"); }
    QcwIndicatorLamp* lamp() const { return m_page->findChild<QcwIndicatorLamp*>(); }
    QRadioButton* radio(int row) const
    {
        return qobject_cast<QRadioButton*>(devList()->cellWidget(row, 0));
    }

    std::unique_ptr<TempWorkDir> m_cwd;
    std::unique_ptr<LanguageSettingGuard> m_language;
    std::unique_ptr<TQCAN> m_page;
};

void tst_ConfiguratorDevices::initTestCase()
{
    registerCommunicatMetaTypes();
    m_cwd.reset(new TempWorkDir);
    QVERIFY(m_cwd->isValid());
    QVERIFY2(addTranslations(*m_cwd), "the translations must be built next to the test");
    m_language.reset(new LanguageSettingGuard);
    LanguageSettingGuard::set(0);
}

void tst_ConfiguratorDevices::init()
{
    m_page.reset(new TQCAN);
    m_page->resize(1366, 800);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
}

void tst_ConfiguratorDevices::cleanup()
{
    m_page.reset();
}

void tst_ConfiguratorDevices::nodesAreListedFromTheirInformation()
{
    openPort();
    QSignalSpy versionAsked(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalSeachVersionF);

    // A heartbeat of an unknown node asks who it is, and lists nothing yet.
    feed(heartbeat(16));
    QCOMPARE(versionAsked.size(), 1);
    QCOMPARE(versionAsked.at(0).at(0).toInt(), 16);
    QVERIFY(listedNodes(devTable()).isEmpty());

    feed(deviceInfo(16, "P_FLY-ESC_A", 1, 0, 2, 3));
    feed(deviceInfo(17, "P_FLY-ESC_B", 1, 2, 3, 14));
    QCOMPARE(listedNodes(devTable()), QStringList({"10", "11"}));
    QCOMPARE(listedNodes(devList()), QStringList({"10", "11"}));
    QCOMPARE(columnTexts(devTable(), 2).mid(0, 2), QStringList({"P_FLY-ESC_A", "P_FLY-ESC_B"}));
    QCOMPARE(columnTexts(devTable(), 3).mid(0, 2), QStringList({"1.0", "1.2"}));
    QCOMPARE(columnTexts(devTable(), 4).mid(0, 2), QStringList({"2.3", "3.14"}));
    QVERIFY(radio(0));
    QVERIFY(radio(1));
    QVERIFY(!radio(2));
    QCOMPARE(devTable()->item(0, 0)->checkState(), Qt::Unchecked);

    // A listed node's heartbeat enables its ESC row; asking again refreshes
    // its texts in place.
    QVERIFY(!child<QLineEdit>(m_page.get(), "lEdit_zs_y1_1")->isEnabled());
    feed(heartbeat(16));
    QCOMPARE(versionAsked.size(), 1);
    QVERIFY(child<QLineEdit>(m_page.get(), "lEdit_zs_y1_1")->isEnabled());
    QVERIFY(child<QSpinBox>(m_page.get(), "spinBox_y_1")->isEnabled());
    QVERIFY(!child<QLineEdit>(m_page.get(), "lEdit_zs_y1_2")->isEnabled());
    feed(deviceInfo(16, "P_FLY-ESC_A", 1, 0, 2, 4));
    QCOMPARE(listedNodes(devTable()), QStringList({"10", "11"}));
    QCOMPARE(devTable()->item(0, 4)->text(), QString("2.4"));

    // Nodes outside 16..48 are never listed.
    feed(heartbeat(15));
    feed(deviceInfo(15, "x", 1, 0, 1, 0));
    feed(deviceInfo(49, "x", 1, 0, 1, 0));
    QCOMPARE(versionAsked.size(), 1);
    QCOMPARE(listedNodes(devTable()).size(), 2);

    // Closing the port drops them all and clears the rows they enabled.
    click(m_page.get(), "btnOpen");
    QVERIFY(listedNodes(devTable()).isEmpty());
    QVERIFY(listedNodes(devList()).isEmpty());
    QVERIFY(!radio(0));
    QCOMPARE(devTable()->rowCount(), 12);
    QVERIFY(!child<QLineEdit>(m_page.get(), "lEdit_zs_y1_1")->isEnabled());
}

void tst_ConfiguratorDevices::silentNodesAreDroppedAndTheChoiceFollows()
{
    openPort();
    list(16);
    list(17);
    list(18);
    // Choose node 18 on the parameter tab.
    radio(2)->click();
    QVERIFY(radio(2)->isChecked());

    // 16 and 18 keep sending heartbeats; 17 falls silent.
    QTimer beats;
    connect(&beats, &QTimer::timeout, this, [this] {
        feed(heartbeat(16));
        feed(heartbeat(18));
    });
    beats.start(300);
    QTRY_COMPARE_WITH_TIMEOUT(listedNodes(devTable()), QStringList({"10", "12"}), 15000);
    QCOMPARE(listedNodes(devList()), QStringList({"10", "12"}));
    QCOMPARE(devTable()->rowCount(), 12);
    QCOMPARE(devList()->rowCount(), 12);
    // Node 18 moved up a row and is still the chosen one.
    QVERIFY(radio(1)->isChecked());
    QVERIFY(!child<QLineEdit>(m_page.get(), "lEdit_zs_y1_2")->isEnabled());
    QVERIFY(child<QLineEdit>(m_page.get(), "lEdit_zs_y1_3")->isEnabled());

    // Choosing node 16 now clears the radio of the row node 18 is on.
    radio(0)->click();
    QVERIFY(radio(0)->isChecked());
    QVERIFY(!radio(1)->isChecked());

    // Nothing more is dropped while heartbeats come.
    QTest::qWait(2500);
    QCOMPARE(listedNodes(devTable()), QStringList({"10", "12"}));
}

void tst_ConfiguratorDevices::tablesGrowPastTwelveNodes()
{
    openPort();
    for (uint8_t node = 16; node <= 48; ++node)
        list(node);
    QCOMPARE(devTable()->rowCount(), 33);
    QCOMPARE(devList()->rowCount(), 33);
    QCOMPARE(listedNodes(devTable()).size(), 33);
    QCOMPARE(listedNodes(devList()).last(), QString("30"));
    QCOMPARE(devTable()->item(32, 1)->text(), QString("30"));
}

void tst_ConfiguratorDevices::clickingANodeShowsItsVersions()
{
    openPort();
    list(16);
    feed(deviceInfo(17, "P_FLY-ESC_B", 3, 1, 4, 1));

    clickCell(devTable(), 1, 2);
    QCOMPARE(devTable()->item(1, 0)->checkState(), Qt::Checked);
    QCOMPARE(devTable()->item(0, 0)->checkState(), Qt::Unchecked);
    QCOMPARE(child<QLineEdit>(m_page.get(), "lEdit_upgrade_hardver")->text(), QString("3.1"));
    QCOMPARE(child<QLineEdit>(m_page.get(), "lEdit_upgrade_firmver")->text(), QString("4.1"));
    // No firmware database yet: no type table, no versions.
    QVERIFY(child<QLineEdit>(m_page.get(), "lEdit_upgrade_devType")->text().isEmpty());
    QCOMPARE(child<QComboBox>(m_page.get(), "comboBox_dev_ver")->count(), 0);

    // One checked row at a time.
    clickCell(devTable(), 0, 1);
    QCOMPARE(devTable()->item(0, 0)->checkState(), Qt::Checked);
    QCOMPARE(devTable()->item(1, 0)->checkState(), Qt::Unchecked);
    QCOMPARE(child<QLineEdit>(m_page.get(), "lEdit_upgrade_hardver")->text(), QString("1.0"));

    // An empty row checks nothing and leaves the versions shown.
    clickCell(devTable(), 5, 1);
    QCOMPARE(devTable()->item(0, 0)->checkState(), Qt::Unchecked);
    QCOMPARE(child<QLineEdit>(m_page.get(), "lEdit_upgrade_hardver")->text(), QString("1.0"));
}

void tst_ConfiguratorDevices::linkLampFollowsLinkAndNodes()
{
    QVERIFY(lamp());
    QVERIFY(!lamp()->isAlarm());
    openPort();

    // The adapter answers: green.
    feed(linkCode(kRespLinkFrame));
    QVERIFY(lamp()->isAlarm());
    QVERIFY(!lamp()->isRedMode());

    // No node answers for several ticks with the port open: red.
    QTRY_VERIFY_WITH_TIMEOUT(lamp()->isRedMode(), 10000);
    QVERIFY(lamp()->isAlarm());

    // A node is listed: green again at the next tick.
    list(16);
    QTRY_VERIFY_WITH_TIMEOUT(!lamp()->isRedMode(), 5000);
    QVERIFY(lamp()->isAlarm());

    // Closed: off, and the port picture changes back.
    const QPixmap openPicture = child<QLabel>(m_page.get(), "label_port_led")->pixmap(Qt::ReturnByValue);
    click(m_page.get(), "btnOpen");
    QVERIFY(!lamp()->isAlarm());
    QVERIFY(child<QLabel>(m_page.get(), "label_port_led")->pixmap(Qt::ReturnByValue).toImage()
            != openPicture.toImage());
}

void tst_ConfiguratorDevices::openResultsShowTheirBoxes()
{
    ModalBoxCloser boxes;
    auto* port = child<QComboBox>(m_page.get(), "comboBox_serial");
    auto* rate = child<QComboBox>(m_page.get(), "comboBox_baud");

    // No port chosen.
    port->lineEdit()->clear();
    click(m_page.get(), "btnOpen");
    QTRY_COMPARE(boxes.texts(), QStringList({"Please Chose Serial Port"}));
    QCOMPARE(child<QPushButton>(m_page.get(), "btnOpen")->text(), QString("Open"));

    // Shown open at once, with the port and its rate fixed.
    openPort();
    QVERIFY(!port->isEnabled());
    QVERIFY(!rate->isEnabled());
    feed(linkCode(kRespOpenResult, kOpenOk));
    QCOMPARE(child<QPushButton>(m_page.get(), "btnOpen")->text(), QString("Close"));

    // The link could not open it: the box, and the page shows it closed.
    boxes.clear();
    feed(linkCode(kRespLinkFrame));
    feed(linkCode(kRespOpenResult, kOpenFailed));
    QTRY_COMPARE(boxes.texts(), QStringList({"Open Serial Port Failed !"}));
    QCOMPARE(boxes.titles(), QStringList({"Info"}));
    QCOMPARE(child<QPushButton>(m_page.get(), "btnOpen")->text(), QString("Open"));
    QVERIFY(port->isEnabled());
    QVERIFY(rate->isEnabled());
    QVERIFY(!lamp()->isAlarm());

    // A working port that goes away.
    openPort();
    list(16);
    boxes.clear();
    feed(linkCode(kRespOpenResult, kOpenPortLost));
    QTRY_COMPARE(boxes.texts(), QStringList({"Serial Port Closed Unexpectedly !"}));
    QCOMPARE(child<QPushButton>(m_page.get(), "btnOpen")->text(), QString("Open"));
    QVERIFY(!lamp()->isAlarm());
}

void tst_ConfiguratorDevices::responsesWhileClosedListNothing()
{
    QSignalSpy versionAsked(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalSeachVersionF);
    // Late responses of a port just closed must not list a node that then
    // could never time out.
    feed(heartbeat(16));
    feed(deviceInfo(16, "P_FLY-ESC_A", 1, 0, 2, 3));
    QCOMPARE(versionAsked.size(), 0);
    QVERIFY(listedNodes(devTable()).isEmpty());
}

void tst_ConfiguratorDevices::shortAndOddPayloadsAreSafe()
{
    openPort();
    QSignalSpy versionAsked(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalSeachVersionF);

    // Empty, one-byte and odd payloads on every port the page handles.
    for (uint16_t port : {256, 257, 409, 430, 435, 6160, 6161, 6162, 7509, 1234}) {
        feed(record(port, 20, ""));
        feed(record(port, 20, std::string("\x11", 1)));
        response_data_struct_t none;
        none.port_id = port;
        none.remote_node_id = 20;
        none.payload_size = 64; // a size without a payload reads nothing
        feed(none);
    }
    // A heartbeat without its mode byte still counts.
    QCOMPARE(versionAsked.size(), 3);

    // Device information too short for the versions lists nothing; without
    // a name the node is listed with an empty type.
    feed(record(430, 21, std::string(5, '\0')));
    QVERIFY(listedNodes(devTable()).isEmpty());
    feed(record(430, 21, std::string("\0\0\x01\x02\x03\x04", 6)));
    QCOMPARE(listedNodes(devTable()), QStringList({"15"}));
    QCOMPARE(devTable()->item(0, 3)->text(), QString("1.2"));
    QVERIFY(devTable()->item(0, 2)->text().isEmpty());

    // A name that fills the record to its end, without a terminator.
    std::string full(296, 'N');
    full[2] = 1;
    full[4] = 2;
    feed(record(430, 22, full));
    QCOMPARE(devTable()->item(1, 2)->text().size(), 255);

    // A name in the code page of a Chinese PC.
    std::string gb(296, '\0');
    gb.replace(30, 4, "\xB5\xE7\xB5\xF7"); // 电调 in GB18030
    feed(record(430, 23, gb));
    QCOMPARE(devTable()->item(2, 2)->text(), QString("电调"));

    // Register replies of every length reach their handlers without reading
    // past what arrived.
    feed(record(256, 16, std::string("\x00\x04", 2)));
    feed(record(256, 16, std::string("\x10\x07\x01\x00", 4)));
    feed(record(256, 16, std::string("\x20\x07", 2)));
    feed(record(256, 16, std::string(32, '\x10')));
    feed(record(435, 16, std::string("\x03", 1)));
    feed(record(409, 16, std::string("\x1c\x00", 2)));
    feed(record(257, 16, std::string(7, '\0') + "abc"));
    QCOMPARE(listedNodes(devTable()).size(), 3);
}

void tst_ConfiguratorDevices::bitRateChangeVisitsEveryOtherRate()
{
    ModalBoxCloser boxes;
    auto* target = child<QComboBox>(m_page.get(), "comboBox_baud_set");
    auto* current = child<QComboBox>(m_page.get(), "comboBox_baud");
    auto* setBaud = child<QPushButton>(m_page.get(), "btn_set_baud");

    // Not with the port closed.
    click(m_page.get(), "btn_set_baud");
    QTRY_COMPARE(boxes.texts(), QStringList({"Please Open Serial Port First !"}));

    openPort();
    list(16);
    QSignalSpy opens(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalOpenOrClosePortF);
    QSignalSpy writes(TQPageControl::getInstance(), &TQPageControl::signalSeachReg);
    target->setCurrentIndex(3); // 1000K

    click(m_page.get(), "btn_set_baud");
    QVERIFY(listedNodes(devTable()).isEmpty());
    QVERIFY(!setBaud->isEnabled());
    QVERIFY(!child<QPushButton>(m_page.get(), "btnOpen")->isEnabled());
    QVERIFY(!child<QPushButton>(m_page.get(), "btn_set_id")->isEnabled());
    QVERIFY(!target->isEnabled());
    // Heartbeats during the change are not listed.
    feed(heartbeat(16));
    feed(deviceInfo(16, "P_FLY-ESC_A", 1, 0, 2, 3));
    QVERIFY(listedNodes(devTable()).isEmpty());

    QTRY_VERIFY_WITH_TIMEOUT(setBaud->isEnabled(), 15000);
    QStringList rates;
    for (const QList<QVariant>& open : qAsConst(opens)) {
        QVERIFY(open.at(0).toBool());
        QCOMPARE(open.at(1).toString(), QString("/dev/tq-test-port"));
        rates << open.at(2).toString();
    }
    QCOMPARE(rates, QStringList({"250000", "500000", "800000", "1000000"}));
    QCOMPARE(writes.size(), 3 * 33);
    for (int i = 0; i < writes.size(); ++i) {
        const QList<QVariant>& w = writes.at(i);
        QCOMPARE(w.at(0).toInt(), 16 + i % 33);
        QCOMPARE(w.at(1).toInt(), 4);
        QCOMPARE(w.at(2).toInt(), 2);
        QCOMPARE(w.at(3).toInt(), 3);
    }
    QCOMPARE(current->currentIndex(), 3);
    QVERIFY(child<QPushButton>(m_page.get(), "btnOpen")->isEnabled());
    QVERIFY(!current->isEnabled()); // the port is still open

    // Listed again at the new rate.
    list(16);
    QCOMPARE(listedNodes(devTable()), QStringList({"10"}));

    // Closing the port in the middle stops the change.
    opens.clear();
    target->setCurrentIndex(0);
    click(m_page.get(), "btn_set_baud");
    QTRY_VERIFY(opens.size() >= 1);
    m_page->doProcessRecvTQPack(linkCode(kRespOpenResult, kOpenPortLost));
    QTRY_VERIFY(setBaud->isEnabled());
    const int sent = opens.size();
    QTest::qWait(1000);
    QCOMPARE(opens.size(), sent);
    QCOMPARE(child<QPushButton>(m_page.get(), "btnOpen")->text(), QString("Open"));
    QVERIFY(current->isEnabled());
}

void tst_ConfiguratorDevices::nodeIdChangeAsksWhenSeveralNodesListen()
{
    ModalBoxCloser boxes;
    QSignalSpy assign(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalRadioMode6145F);
    auto* ids = child<QComboBox>(m_page.get(), "comboBox_id_set");

    click(m_page.get(), "btn_set_id");
    QTRY_COMPARE(boxes.texts(), QStringList({"Please Open Serial Port First !"}));
    QCOMPARE(assign.size(), 0);

    // One node: the new ID goes out at once.
    openPort();
    list(16);
    ids->setCurrentIndex(4); // 0x14
    boxes.clear();
    click(m_page.get(), "btn_set_id");
    QCOMPARE(assign.size(), 1);
    QCOMPARE(assign.at(0), QList<QVariant>({6145, 20, 20}));
    QVERIFY(boxes.texts().isEmpty());
    QVERIFY(listedNodes(devTable()).isEmpty());

    // Several nodes would all take it: the page asks first; the default
    // answer is No.
    list(16);
    list(17);
    ids->setCurrentIndex(32); // encoder, node 48
    click(m_page.get(), "btn_set_id");
    QTRY_COMPARE(boxes.texts().size(), 1);
    QVERIFY(boxes.texts().at(0).contains("2 nodes"));
    QVERIFY(boxes.texts().at(0).contains("encoder"));
    QCOMPARE(assign.size(), 1);
}

QTEST_MAIN(tst_ConfiguratorDevices)
#include "tst_configurator_devices.moc"
