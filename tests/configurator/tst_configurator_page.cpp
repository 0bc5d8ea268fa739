// The configurator page on its own, fed with responses as the link delivers
// them. No worker runs: the page's requests reach its controllers, which have
// no hub and drop them, and the tests watch the controllers' signals.

#include <QRadioButton>
#include <QtTest>

#include <QLabel>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>

#include <memory>

#include "app/msgtypes.h"
#include "app/tqformalpagecontrol.h"
#include "app/tqpagecontrol.h"
#include "configurator/tqcan.h"
#include "firmwaredb.h"
#include "kiosk/kioskini.h"
#include "logcapture.h"
#include "modalboxcloser.h"
#include "pagetesthelpers.h"

using namespace pagetest;

namespace {

// Every request the page hands its two controllers, as "signal(arg,...)".
class ControllerRequests
{
public:
    ControllerRequests()
    {
        for (QObject* controller : std::initializer_list<QObject*>{tqformalpagecontrol::getInstance(),
                                                                   TQPageControl::getInstance()}) {
            const QMetaObject* meta = controller->metaObject();
            for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
                if (meta->method(i).methodType() == QMetaMethod::Signal)
                    m_spies.push_back(std::make_unique<QSignalSpy>(controller, meta->method(i)));
            }
        }
    }
    QStringList lines() const
    {
        QStringList out;
        for (const auto& spy : m_spies) {
            for (const QList<QVariant>& args : *spy) {
                QStringList texts;
                for (const QVariant& arg : args)
                    texts << arg.toString();
                out << QString::fromLatin1(spy->signal()).section('(', 0, 0) + '(' + texts.join(',') + ')';
            }
        }
        return out;
    }

private:
    std::vector<std::unique_ptr<QSignalSpy>> m_spies;
};

} // namespace

class tst_ConfiguratorPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_env.ready(), "the translations must be built next to the test"); }
    void init();
    void cleanup()
    {
        m_page.reset();
        QDir(QStringLiteral("download")).removeRecursively();
    }

    void nodesAreListedFromHeartbeatAndInformation();
    void tablesGrowPastTwelveNodes();
    void silentNodeGoesAtTheFourthTick();
    void selectionStaysWithItsNode();
    void linkLampFollowsLinkAndNodes();
    void everyButtonReachesItsHandler_data();
    void everyButtonReachesItsHandler();
    void portListRefreshKeepsTheChoice_data();
    void portListRefreshKeepsTheChoice();
    void openResultShowsThePortClosed_data();
    void openResultShowsThePortClosed();
    void responsesWhileClosedListNothing();
    void deviceInformationIsDecoded_data();
    void deviceInformationIsDecoded();
    void oddPayloadsAreFreedAndNeverOverread();
    void descriptionIsDecodedWhenComplete();
    void descriptionFollowUpRequests_data();
    void descriptionFollowUpRequests();
    void bitRateChangeStopsWhenThePortCloses_data();
    void bitRateChangeStopsWhenThePortCloses();
    void nodeIdBroadcastAsksWithSeveralNodes_data();
    void nodeIdBroadcastAsksWithSeveralNodes();
    void anyKeyStopsTheThrottleOnItsTab();
    void languageSwitchesAndIsRemembered();
    void languageIsStoredOnlyWhenTheUserChanges();
    void translationsNextToTheExecutable();

private:
    QWidget* page() const { return m_page.get(); }
    QTableWidget* dev() const { return devTable(page()); }
    void feed(response_data_struct_t r) { m_page->doProcessRecvTQPack(r); }
    void list(uint8_t node)
    {
        feed(heartbeat(node));
        feed(deviceInfo(node));
    }
    void openPort()
    {
        typePort(page(), "/dev/tq-test-port");
        click(page(), "btnOpen");
        QCOMPARE(caption(page(), "btnOpen"), QString("Close"));
    }
    void restart() { m_page.reset(new TQCAN); }

    PageEnv m_env;
    std::unique_ptr<TQCAN> m_page;
};

void tst_ConfiguratorPage::init()
{
    PageEnv::setLanguage(0);
    restart();
    m_page->resize(1366, 800);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page()));
}

void tst_ConfiguratorPage::nodesAreListedFromHeartbeatAndInformation()
{
    openPort();
    QSignalSpy asked(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalSeachVersionF);
    QWidget* escRow = child(page(), "lEdit_zs_y1_1");

    // An unknown node's heartbeat asks who it is; the answer lists it.
    feed(heartbeat(16));
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.at(0).at(0).toInt(), 16);
    QVERIFY(listed(page()).isEmpty());
    feed(deviceInfo(16));
    feed(deviceInfo(17, "P_FLY-ESC_B", 1, 2, 3, 14));
    QCOMPARE(rowTexts(dev(), 0), QStringList({"10", "P_FLY-ESC_A", "1.0", "2.3"}));
    QCOMPARE(rowTexts(dev(), 1), QStringList({"11", "P_FLY-ESC_B", "1.2", "3.14"}));
    QCOMPARE(listed(page()), QStringList({"10", "11"}));
    // A click on a node selects and checks its row alone and shows its versions.
    clickCell(dev(), 1, 2);
    QCOMPARE(dev()->selectionModel()->selectedRows(), QModelIndexList({dev()->model()->index(1, 0)}));
    QCOMPARE(dev()->item(1, 0)->checkState(), Qt::Checked);
    QCOMPARE(dev()->item(0, 0)->checkState(), Qt::Unchecked);
    QCOMPARE(child<QLineEdit>(page(), "lEdit_upgrade_firmver")->text(), QString("3.14"));

    // A listed node's heartbeat enables its ESC row; its information asked
    // again refreshes its row in place.
    QVERIFY(!escRow->isEnabled());
    feed(heartbeat(16));
    QCOMPARE(asked.size(), 1);
    QVERIFY(escRow->isEnabled());
    auto* setPoint = child<QSpinBox>(page(), "spinBox_y_1");
    setPoint->setValue(400);
    feed(deviceInfo(16)); // the same device: its set-point stays
    QCOMPARE(setPoint->value(), 400);
    feed(deviceInfo(16, "P_FLY-ESC_A", 1, 0, 2, 4));
    QCOMPARE(rowTexts(dev(), 0).last(), QString("2.4"));
    QCOMPARE(listed(page()).size(), 2);
    QCOMPARE(setPoint->value(), 0); // another device now: nobody set it

    // Closing the port drops them all and disables their rows.
    click(page(), "btnOpen");
    QVERIFY(listed(page()).isEmpty());
    QVERIFY(!escRow->isEnabled());
}

void tst_ConfiguratorPage::tablesGrowPastTwelveNodes()
{
    openPort();
    for (uint8_t node = 15; node <= 49; ++node) // the ESC nodes are 16..48
        list(node);
    QCOMPARE(listed(page()).size(), 33);
    QCOMPARE(rowTexts(dev(), 32).first(), QString("30"));

    // The last row serves as the first: its node's information asked again
    // refreshes it in place, and it can be chosen for the upgrade and for
    // the parameters.
    feed(deviceInfo(48, "P_FLY-ESC_A", 1, 0, 2, 9));
    QCOMPARE(rowTexts(dev(), 32), QStringList({"30", "P_FLY-ESC_A", "1.0", "2.9"}));
    dev()->scrollToBottom();
    clickCell(dev(), 32, 2);
    QCOMPARE(dev()->item(32, 0)->checkState(), Qt::Checked);
    auto* setList = child<QTableWidget>(page(), "tableWidget_set_devList");
    setList->scrollToBottom();
    qobject_cast<QRadioButton*>(setList->cellWidget(32, 0))->click();
    QSignalSpy read(TQPageControl::getInstance(), &TQPageControl::signalReadFile257);
    ModalBoxCloser boxes;
    click(page(), "btnUpgradedev"); // chosen: it asks for a version, not a device
    click(page(), "btn_read_para");
    QCOMPARE(boxes.texts(), QStringList({"Not Have Valid Firmware To Updata,Please Check !",
                                         "Read Para File Completed!"}));
    QCOMPARE(read.size(), 1);
    QCOMPARE(read.at(0).at(1).toInt(), 48);
}

void tst_ConfiguratorPage::silentNodeGoesAtTheFourthTick()
{
    // The device tick is driven by hand here; nothing below runs the event
    // loop, so the page's own timer cannot tick in between.
    const auto tick = [this] { QVERIFY(QMetaObject::invokeMethod(m_page.get(), "doProcessCheckDevTimerOut")); };
    openPort();
    list(16);
    list(17);
    list(18);
    for (int i = 0; i < 3; ++i) {
        tick();
        feed(heartbeat(17)); // 17 keeps talking
    }
    QCOMPARE(listed(page()), QStringList({"10", "11", "12"}));
    feed(heartbeat(18)); // 18 speaks once more, then falls silent
    tick();              // 16 silent for four ticks: gone
    QCOMPARE(listed(page()), QStringList({"11", "12"}));
    QVERIFY(!child(page(), "lEdit_zs_y1_1")->isEnabled());
    QVERIFY(child(page(), "lEdit_zs_y1_2")->isEnabled());
    feed(heartbeat(17)); // and 17 a tick after it
    for (int i = 0; i < 3; ++i)
        tick();
    QCOMPARE(listed(page()), QStringList({"11"}));
    tick();
    QVERIFY(listed(page()).isEmpty());

    // A node being upgraded restarts and is silent on purpose: it stays
    // listed while the upgrade runs (its own watchdog ends a stalled one
    // after 10 ticks); a silent neighbour goes as before.
    // The version comes from a database whose parts a node could take.
    QVERIFY(testdb::installForPage("fw_page.db", {testdb::row("9.9", "note", 300, 200)}));
    m_page->initDbPath();
    list(16);
    list(17);
    clickCell(dev(), 0, 2);
    QCOMPARE(child<QComboBox>(page(), "comboBox_dev_ver")->currentText(), QString("9.9"));
    NumberedRequests asked;
    click(page(), "btnUpgradedev");
    feed(asked.info(16)); // still what it was: the upgrade goes on
    // Its first heartbeat from the boot loader (mode 3) moves the upgrade on
    // to the status register; later ones do not ask again.
    QSignalSpy status(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalSeachRegF);
    for (int i = 0; i < 2; ++i)
        feed(record(7509, 16, std::string("\0\0\0\0\0\3", 6)));
    QCOMPARE(status.size(), 1);
    QCOMPARE(status.at(0), QList<QVariant>({16, 5, 0, 0}));
    for (int i = 0; i < 9; ++i)
        tick();
    QCOMPARE(listed(page()), QStringList({"10"}));
    // Nor may the bus change its rate under it.
    ModalBoxCloser boxes;
    click(page(), "btn_set_baud");
    QTRY_COMPARE(boxes.texts(), QStringList({"Please wait until the upgrade has finished !"}));
    QVERIFY(child(page(), "btn_set_baud")->isEnabled());
}

void tst_ConfiguratorPage::selectionStaysWithItsNode()
{
    const auto tick = [this] { QVERIFY(QMetaObject::invokeMethod(m_page.get(), "doProcessCheckDevTimerOut")); };
    openPort();
    list(16);
    list(17);
    feed(deviceInfo(18, "P_FLY-ESC_B", 1, 2, 3, 14));
    clickCell(dev(), 2, 2); // node 18 chosen for the upgrade and for the parameters
    QCOMPARE(dev()->item(2, 0)->checkState(), Qt::Checked);
    auto* setList = child<QTableWidget>(page(), "tableWidget_set_devList");
    const auto radio = [setList](int row) { return qobject_cast<QRadioButton*>(setList->cellWidget(row, 0)); };
    QVERIFY(radio(2));
    radio(2)->click();
    // Node 16, in the row above, falls silent and goes.
    for (int i = 0; i < 4; ++i) {
        feed(heartbeat(17));
        feed(heartbeat(18));
        tick();
    }
    QCOMPARE(listed(page()), QStringList({"11", "12"}));
    QCOMPARE(rowTexts(dev(), 1).first(), QString("12"));
    QCOMPARE(dev()->item(1, 0)->checkState(), Qt::Checked);
    QCOMPARE(dev()->item(0, 0)->checkState(), Qt::Unchecked);
    QCOMPARE(child<QLineEdit>(page(), "lEdit_upgrade_firmver")->text(), QString("3.14"));
    QCOMPARE(setList->item(1, 1)->text(), QString("12"));
    QVERIFY(radio(1) && radio(1)->isChecked());
    QVERIFY(radio(0) && !radio(0)->isChecked());
    // The buttons move with their rows whatever the page keeps; the page's
    // own record of the chosen row must move too: choosing node 17 now
    // clears node 18's button, not the empty row where it was.
    radio(0)->click();
    QVERIFY(radio(0)->isChecked());
    QVERIFY(!radio(1)->isChecked());
    // A click on an empty row clears the button again: the page sets and
    // clears each one itself, none may hold on to its check.
    clickCell(setList, 5, 1);
    QVERIFY(!radio(0)->isChecked());
}

void tst_ConfiguratorPage::linkLampFollowsLinkAndNodes()
{
    QcwIndicatorLamp* link = lamp(page());
    QVERIFY(!link->isAlarm());
    openPort();
    // Open, with neither the adapter nor a node answering: lit red at the
    // fourth tick all the same (ticks by hand, the event loop stays idle).
    for (int i = 0; i < 4; ++i) {
        QVERIFY(!link->isAlarm());
        QVERIFY(QMetaObject::invokeMethod(m_page.get(), "doProcessCheckDevTimerOut"));
    }
    QVERIFY(link->isRedMode() && link->isAlarm());
    feed(linkCode(kRespLinkFrame)); // the adapter answers: green
    QVERIFY(link->isAlarm() && !link->isRedMode());
    // No node answers for several ticks: red.
    QTRY_VERIFY_WITH_TIMEOUT(link->isRedMode(), kSlowMs);
    QVERIFY(link->isAlarm());
    list(16); // green again at the next tick
    QTRY_VERIFY_WITH_TIMEOUT(!link->isRedMode(), kSlowMs);
    QVERIFY(link->isAlarm());
    click(page(), "btnOpen"); // closed: off
    QVERIFY(!link->isAlarm());
}

void tst_ConfiguratorPage::everyButtonReachesItsHandler_data()
{
    // Each button the page shows, clicked with a port typed but not open and
    // no node listed: what its handler then asks of the controllers, or says.
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("rate"); // the index of comboBox_baud at the click
    QTest::addColumn<QStringList>("effect");
    const QString notOpen = "box: Please Open Serial Port First !";
    const QString noParameters = "box: Please Get Setting Parameter First !";
    QTest::newRow("refresh") << "btn_refresh_port" << 1 << QStringList{"signalSeachPortF()"};
    QTest::newRow("open at 500K") << "btnOpen" << 1
                                  << QStringList{"signalOpenOrClosePortF(true,/dev/tq-test-port,500000)"};
    QTest::newRow("open at 1000K") << "btnOpen" << 3
                                   << QStringList{"signalOpenOrClosePortF(true,/dev/tq-test-port,1000000)"};
    QTest::newRow("bit rate") << "btn_set_baud" << 1 << QStringList{notOpen};
    QTest::newRow("node ID") << "btn_set_id" << 1 << QStringList{notOpen};
    QTest::newRow("read parameters") << "btn_read_para" << 1 << QStringList{"box: Please Chose One Dev"};
    QTest::newRow("write parameters") << "btn_para_download" << 1 << QStringList{noParameters};
    QTest::newRow("restore") << "btn_recovery" << 1 << QStringList{noParameters};
    QTest::newRow("save to file") << "btn_local_save" << 1 << QStringList{noParameters};
    QTest::newRow("load from file") << "btn_local_load" << 1 << QStringList{"box: Please Chose One Dev"};
    QTest::newRow("upgrade") << "btnUpgradedev" << 1 << QStringList{"box: Please Select One Device"};
    QTest::newRow("database download") << "btnDownloadDBCSV" << 1
                                       << QStringList{"box: Network Err, Please Check !"};
}

void tst_ConfiguratorPage::everyButtonReachesItsHandler()
{
    QFETCH(QString, button);
    QFETCH(int, rate);
    QFETCH(QStringList, effect);
    // Nothing answers on this port of the machine.
    kioskini::storeValue("firmware/url", "http://127.0.0.1:1/devFileList.csv", true);
    typePort(page(), "/dev/tq-test-port");
    child<QComboBox>(page(), "comboBox_baud")->setCurrentIndex(rate);
    QWheelEvent wheel({}, {}, {}, {0, 120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(child<QComboBox>(page(), "comboBox_baud"), &wheel); // a wheel step changes no rate
    ControllerRequests requests;
    ModalBoxCloser boxes;
    click(page(), qPrintable(button));
    const auto seen = [&] {
        QStringList out = requests.lines();
        for (const QString& text : boxes.texts())
            out << "box: " + text;
        return out;
    };
    QTRY_COMPARE_WITH_TIMEOUT(seen(), effect, kSlowMs);
}

void tst_ConfiguratorPage::portListRefreshKeepsTheChoice_data()
{
    // The port box before a new search result: its list, then what is
    // typed or chosen ("@N": item N), and whether that port is open.
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("shown");
    QTest::newRow("typed path") << "ttyUSB0," << "/dev/pts/7" << false << "ttyUSB0,ttyACM0," << "/dev/pts/7";
    QTest::newRow("typed path, open") << "" << "/dev/pts/7" << true << "ttyUSB0," << "/dev/pts/7";
    QTest::newRow("listed port, listed again") << "ttyUSB0,ttyACM0," << "@1" << false << "ttyACM0,ttyUSB1,"
                                               << "ttyACM0";
    // Neither the first item nor at its old place: only the name finds it.
    QTest::newRow("listed port, listed again further down") << "ttyUSB0,ttyACM0," << "@1" << false
                                                            << "ttyS0,ttyUSB0,ttyACM0," << "ttyACM0";
    QTest::newRow("listed port, gone") << "ttyUSB0,ttyACM0," << "@1" << false << "ttyS0," << "ttyS0";
    QTest::newRow("listed port, open and gone") << "ttyUSB0,ttyACM0," << "@1" << true << "ttyS0," << "ttyACM0";
}

void tst_ConfiguratorPage::portListRefreshKeepsTheChoice()
{
    QFETCH(QString, before);
    QFETCH(QString, choice);
    QFETCH(bool, open);
    QFETCH(QString, result);
    QFETCH(QString, shown);
    const auto search = [](const QString& ports) {
        emit tqformalpagecontrol::getInstance()->signalNotifyTQResultF(
            CommunicatPage{kPageCodeSearchResult, g_strCmdType[e_TQ_OPAL_SEARCH], ports});
    };
    auto* box = child<QComboBox>(page(), "comboBox_serial");
    search(before);
    if (choice.startsWith('@'))
        box->setCurrentIndex(choice.mid(1).toInt());
    else
        typePort(page(), choice);
    if (open)
        click(page(), "btnOpen");
    search(result);
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    QCOMPARE(items, result.split(',', Qt::SkipEmptyParts));
    QCOMPARE(box->currentText(), shown);
    if (open) { // closed again, the port shown is the one that was open
        click(page(), "btnOpen");
        QCOMPARE(box->currentText(), shown);
    }
}

void tst_ConfiguratorPage::openResultShowsThePortClosed_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("box");
    QTest::newRow("cannot open") << int(kOpenFailed) << "Open Serial Port Failed !";
    QTest::newRow("port lost") << int(kOpenPortLost) << "Serial Port Closed Unexpectedly !";
    QTest::newRow("port lost, throttle groups turning")
        << int(kOpenPortLostTurning) << "Serial Port Closed Unexpectedly !\n\nThe motors of the throttle test may keep "
                                        "their last set-points. The next port opened is sent their zeros first.";
}

void tst_ConfiguratorPage::openResultShowsThePortClosed()
{
    QFETCH(int, result);
    QFETCH(QString, box);
    ModalBoxCloser boxes;
    openPort();
    feed(linkCode(kRespOpenResult, kOpenOk)); // changes nothing
    feed(linkCode(kRespLinkFrame));
    list(16);
    QVERIFY(!child(page(), "comboBox_serial")->isEnabled());
    feed(linkCode(kRespOpenResult, uint8_t(result)));
    QTRY_COMPARE(boxes.texts(), QStringList({box}));
    QCOMPARE(caption(page(), "btnOpen"), QString("Open"));
    QVERIFY(child(page(), "comboBox_serial")->isEnabled());
    QVERIFY(!lamp(page())->isAlarm());
    QVERIFY(listed(page()).isEmpty());
}

void tst_ConfiguratorPage::responsesWhileClosedListNothing()
{
    // Late responses of a port just closed must not list a node that then
    // could never time out.
    QSignalSpy asked(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalSeachVersionF);
    openPort();
    click(page(), "btnOpen");
    list(16);
    QCOMPARE(asked.size(), 0);
    QVERIFY(listed(page()).isEmpty());
}

void tst_ConfiguratorPage::deviceInformationIsDecoded_data()
{
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<QStringList>("row"); // empty: not listed
    const auto named = [](const QByteArray& name) { // versions 1.0 and 2.0
        return (QByteArray("\0\0\1\0\2\0", 6) + QByteArray(24, '\0') + name).leftJustified(296, '\0');
    };
    QTest::newRow("UTF-8") << named("电调") << QStringList({"10", "电调", "1.0", "2.0"});
    QTest::newRow("GB18030") << named("\xB5\xE7\xB5\xF7") << QStringList({"10", "电调", "1.0", "2.0"});
    QTest::newRow("name to the end") << QByteArray(296, 'N')
                                     << QStringList({"10", QString(255, 'N'), "78.78", "78.78"});
    QTest::newRow("no name") << QByteArray("\0\0\1\2\3\4", 6) << QStringList({"10", "", "1.2", "3.4"});
    QTest::newRow("no versions") << QByteArray(5, '\0') << QStringList();
}

void tst_ConfiguratorPage::deviceInformationIsDecoded()
{
    QFETCH(QByteArray, info);
    QFETCH(QStringList, row);
    openPort();
    feed(record(430, 16, info.toStdString()));
    QCOMPARE(listed(page()).isEmpty() ? QStringList() : rowTexts(dev(), 0), row);
}

void tst_ConfiguratorPage::oddPayloadsAreFreedAndNeverOverread()
{
    // The sanitizers see to the payloads: each is freed, none read past its end.
    openPort();
    QSignalSpy asked(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalSeachVersionF);
    for (uint16_t port : {256, 257, 409, 430, 435, 6160, 6161, 6162, 7509, 1234}) {
        feed(record(port, 20, ""));
        feed(record(port, 20, "\x11"));
        feed({0, port, 20, 0, 64, nullptr}); // a size without a payload
    }
    QCOMPARE(asked.size(), 3); // a heartbeat without its mode byte still counts
    for (const std::string& reply : {std::string("\x00\x04", 2), std::string("\x10\x07", 2),
                                     std::string("\x10\x07\x01\x00", 4), std::string("\x20\x07", 2),
                                     std::string(32, '\x10')})
        feed(record(256, 16, reply));
    feed(record(435, 16, "\x03"));
    feed(record(409, 16, std::string("\x1c\x00", 2)));
    QVERIFY(listed(page()).isEmpty());
}

void tst_ConfiguratorPage::descriptionIsDecodedWhenComplete()
{
    // The register description comes in chunks of 256 text bytes after a
    // 7-byte head; here the first chunk ends inside a character. Only the
    // device chosen on the parameter tab is read.
    LogCapture log(true);
    openPort();
    list(16);
    QTest::mouseClick(devList(page())->cellWidget(0, 0), Qt::LeftButton);
    ModalBoxCloser boxes;
    NumberedRequests reads;
    click(page(), "btn_read_para");
    QSignalSpy nextChunk(TQPageControl::getInstance(), &TQPageControl::signalReadFile257);
    const std::string text = "ab" + QString(100, QChar(0x8C03)).toUtf8().toStdString(); // 调
    feed(reads.reply(16, fileChunk(0, text.substr(0, 256))));
    QCOMPARE(nextChunk.size(), 1);
    QCOMPARE(nextChunk.at(0).at(0).toInt(), 256);
    feed(reads.reply(16, fileChunk(256, text.substr(256))));
    QCOMPARE(nextChunk.size(), 1);
    // The register list gets the whole text, decoded once: 102 characters.
    QCOMPARE(log.count(QtDebugMsg, "showSetRegInfoFromFireware"), 1);
    QVERIFY(log.contains(QtDebugMsg, "text length 102 "));
}

void tst_ConfiguratorPage::descriptionFollowUpRequests_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("fileType");
    QTest::newRow("English") << 0 << 1001;
    QTest::newRow("Chinese") << 1 << 1000;
}

void tst_ConfiguratorPage::descriptionFollowUpRequests()
{
    QFETCH(int, language);
    QFETCH(int, fileType);
    // The language in force when the read of the chosen device starts
    // decides the file asked for, in the first request and in each
    // follow-up after a whole chunk, at the next offset.
    openPort();
    list(16);
    child<QComboBox>(page(), "comboBox_lang")->setCurrentIndex(language);
    QTest::mouseClick(devList(page())->cellWidget(0, 0), Qt::LeftButton);
    ModalBoxCloser boxes;
    NumberedRequests reads;
    QSignalSpy requests(TQPageControl::getInstance(), &TQPageControl::signalReadFile257);
    click(page(), "btn_read_para");
    QCOMPARE(requests.size(), 1);
    const std::string text = std::string(256, 'a') + std::string(256, 'b') + "end";
    for (int at : {0, 256, 512})
        feed(reads.reply(16, fileChunk(uint32_t(at), text.substr(size_t(at), 256))));
    QCOMPARE(requests.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(requests.at(i).at(0).toInt(), 256 * i);
        QCOMPARE(requests.at(i).at(1).toInt(), 16);
        QCOMPARE(requests.at(i).at(2).toInt(), fileType);
        // Each request its own transfer-ID, the next one of the last.
        QCOMPARE(requests.at(i).at(3).toInt(), (requests.at(0).at(3).toInt() + i) % 32);
    }
}

void tst_ConfiguratorPage::bitRateChangeStopsWhenThePortCloses_data()
{
    // The port is lost while the rates are walked, or once they are and the
    // nodes listed before are awaited at the new one.
    QTest::addColumn<bool>("awaiting");
    QTest::newRow("walking the rates") << false;
    QTest::newRow("awaiting the nodes") << true;
}

void tst_ConfiguratorPage::bitRateChangeStopsWhenThePortCloses()
{
    QFETCH(bool, awaiting);
    ModalBoxCloser boxes;
    openPort();
    list(16);
    QSignalSpy opens(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalOpenOrClosePortF);
    click(page(), "btn_set_baud");
    for (const char* control : {"btn_set_baud", "btnOpen", "btn_set_id", "comboBox_baud_set"})
        QVERIFY2(!child(page(), control)->isEnabled(), control);
    list(16); // nodes heard during the change are not listed
    QVERIFY(listed(page()).isEmpty());

    // Three other rates, then the target: node 16 is awaited there.
    QTRY_VERIFY_WITH_TIMEOUT(opens.size() >= (awaiting ? 4 : 1), kSlowMs);
    if (awaiting)
        QVERIFY(!child(page(), "btn_set_baud")->isEnabled());
    feed(linkCode(kRespOpenResult, kOpenPortLost));
    QTRY_VERIFY(child(page(), "btn_set_baud")->isEnabled());
    const int sent = opens.size();
    QTest::qWait(1500); // long enough for several more steps
    QCOMPARE(opens.size(), sent);
    QCOMPARE(caption(page(), "btnOpen"), QString("Open"));
    QVERIFY(child(page(), "comboBox_baud")->isEnabled());
    // The lost port has its own box; the change's beside it names the node.
    QCOMPARE(boxes.texts().value(0), QString("Serial Port Closed Unexpectedly !"));
    QVERIFY2(boxes.texts().size() == 2 && boxes.texts().at(1).endsWith("\nnode 0x10: not heard at the new rate"),
             qPrintable(boxes.texts().join('|')));

    // A change can start again.
    openPort();
    click(page(), "btn_set_baud");
    QVERIFY(!child(page(), "btn_set_baud")->isEnabled());
}

void tst_ConfiguratorPage::nodeIdBroadcastAsksWithSeveralNodes_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("nodes");
    QTest::addColumn<int>("item"); // of the ID box: node item + 16, the last "encoder" is 48
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QString>("question");
    QTest::newRow("one node: no question") << 0 << 1 << 32 << int(QMessageBox::NoButton) << true << QString();
    QTest::newRow("two nodes: No is the default")
        << 0 << 2 << 32 << int(QMessageBox::NoButton) << false
        << "The new ID is sent to every node on the bus. 2 nodes are listed, and all of them would take "
           "the ID encoder.\nSet it anyway?";
    QTest::newRow("two nodes: Yes")
        << 0 << 2 << 32 << int(QMessageBox::Yes) << true
        << "The new ID is sent to every node on the bus. 2 nodes are listed, and all of them would take "
           "the ID encoder.\nSet it anyway?";
    QTest::newRow("three nodes, Chinese: Yes")
        << 1 << 3 << 4 << int(QMessageBox::Yes) << true
        << "新的节点ID会发送给总线上的所有节点。当前列出了 3 个节点，它们都会变为 ID 0x14。\n仍然设置吗？";
}

void tst_ConfiguratorPage::nodeIdBroadcastAsksWithSeveralNodes()
{
    QFETCH(int, language);
    QFETCH(int, nodes);
    QFETCH(int, item);
    QFETCH(int, answer);
    QFETCH(bool, sent);
    QFETCH(QString, question);
    ModalBoxCloser boxes;
    boxes.setAnswer(QMessageBox::StandardButton(answer));
    QSignalSpy assign(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalRadioMode6145F);
    openPort();
    for (int i = 0; i < nodes; ++i)
        list(uint8_t(16 + i));
    child<QComboBox>(page(), "comboBox_lang")->setCurrentIndex(language);
    child<QComboBox>(page(), "comboBox_id_set")->setCurrentIndex(item);
    auto* setPoint = child<QSpinBox>(page(), "spinBox_y_1");
    setPoint->setValue(40);
    click(page(), "btn_set_id");
    QTRY_COMPARE(assign.size(), sent ? 1 : 0);
    if (sent)
        QCOMPARE(assign.at(0), QList<QVariant>({6145, item + 16, item + 16}));
    QCOMPARE(boxes.texts(), question.isEmpty() ? QStringList() : QStringList({question}));
    // The nodes go (to be listed under their new ID) and their set-points
    // with them, after Yes only.
    QCOMPARE(listed(page()).size(), sent ? 0 : nodes);
    QCOMPARE(setPoint->value(), sent ? 0 : 40);
}

void tst_ConfiguratorPage::anyKeyStopsTheThrottleOnItsTab()
{
    auto* first = child<QSpinBox>(page(), "spinBox_y_1");
    auto* last = child<QSpinBox>(page(), "spinBox_y_32");
    first->setValue(40);
    last->setValue(90);
    QTest::keyClick(page(), Qt::Key_Space); // not on the firmware tab
    QCOMPARE(first->value(), 40);
    child<QTabWidget>(page(), "tabWidget")->setCurrentIndex(2);
    QTRY_COMPARE(page()->focusWidget(), page());
    QTest::keyClick(page(), Qt::Key_A);
    QCOMPARE(first->value() + last->value(), 0);
}

void tst_ConfiguratorPage::languageSwitchesAndIsRemembered()
{
    // Table headers, button captions and other texts of the page.
    const auto texts = [this] {
        QStringList out;
        for (auto [table, column] : {std::pair("tableWidget_dev", 1), {"tableWidget_dev", 2},
                                     {"tableWidget_set_regList", 0}, {"tableWidget_set_devList", 0}})
            out << child<QTableWidget>(page(), table)->horizontalHeaderItem(column)->text();
        for (const char* button : {"btnOpen", "btn_read_para", "btn_local_save", "btnSuspend"})
            out << caption(page(), button);
        return out << child<QTabWidget>(page(), "tabWidget")->tabText(0)
                   << child<QLabel>(page(), "label_set_regList")->text();
    };
    const QStringList english = {"Node", "Type of device", "Register address", "Select", "Open",
                                 "Read parameters", "Save to file", "Show", "Firmware upgrade", "Register list"};
    const QStringList chinese = {"节点", "设备类型", "寄存器地址", "选择", "打开",
                                 "读取参数", "保存到本地", "显示", "固件升级", "寄存器列表"};
    const auto choose = [this](int language) { child<QComboBox>(page(), "comboBox_lang")->setCurrentIndex(language); };
    QCOMPARE(texts(), english);
    choose(1);
    QCOMPARE(texts(), chinese);
    restart(); // the page opens in the language chosen last
    QCOMPARE(texts(), chinese);
    choose(0);
    QCOMPARE(texts(), english);
    restart();
    QCOMPARE(texts(), english);
}

void tst_ConfiguratorPage::languageIsStoredOnlyWhenTheUserChanges()
{
    PageEnv::setLanguage(QVariant());
    restart();
    QVERIFY(!PageEnv::language().isValid());
    child<QComboBox>(page(), "comboBox_lang")->setCurrentIndex(1);
    QCOMPARE(PageEnv::language().toString(), QString("1"));
}

void tst_ConfiguratorPage::translationsNextToTheExecutable()
{
    // Started from a folder without translations (the repository root, say):
    // the files next to the executable serve.
    QVERIFY(QFile::remove("lang_en.qm") && QFile::remove("lang_zh_CN.qm"));
    LogCapture log;
    m_page.reset(); // its translator goes with it
    restart();
    QCOMPARE(caption(page(), "btnOpen"), QString("Open"));
    QCOMPARE(child<QTabWidget>(page(), "tabWidget")->tabText(0), QString("Firmware upgrade"));
    child<QComboBox>(page(), "comboBox_lang")->setCurrentIndex(1);
    QCOMPARE(caption(page(), "btnOpen"), QString("打开"));
    QVERIFY(!log.contains(QtWarningMsg, "cannot load"));
}

QTEST_MAIN(tst_ConfiguratorPage)
#include "tst_configurator_page.moc"
