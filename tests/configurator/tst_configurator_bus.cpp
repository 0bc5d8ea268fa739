// The configurator page at a test bench: the real window with its hub and
// serial worker, and the simulated adapter with its ESC nodes on a
// pseudo-terminal. The technician types the adapter's path, opens it, sees
// the nodes, and changes the bus rate and a node ID.

#include <QtTest>

#include <QElapsedTimer>

#include <memory>
#include <vector>

#include "app/appwidget.h"
#include "app/auxthreadcontroller.h"
#include "app/mainpagecontrol.h"
#include "app/tqformalpagecontrol.h"
#include "configurator/tqcan.h"
#include "firmwaredb.h"
#include "link/subserialtqthread.h"
#include "linkharness.h"
#include "modalboxcloser.h"
#include "pagetesthelpers.h"

using namespace pagetest;

namespace {

// The simulated bus and the window; the window goes first, its worker
// closing the port.
struct Bench {
    explicit Bench(std::vector<uint8_t> nodes, double telemetryHz = 0)
        : bus(options(std::move(nodes), telemetryHz))
    {
        window.show();
    }
    static escsim::Options options(std::vector<uint8_t> nodes, double telemetryHz)
    {
        escsim::Options o;
        o.nodes = std::move(nodes);
        o.telemetryHz = telemetryHz;
        return o;
    }
    TQCAN* page() { return window.configuratorPage(); }
    void open(const QString& port) { typePort(page(), port); click(page(), "btnOpen"); }

    escsim::Bus bus;
    std::string error;
    const QString path = QString::fromStdString(startOnThread(bus, &error));
    appwidget window;
};

} // namespace

class tst_ConfiguratorBus : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_env.ready(), "the translations must be built next to the test"); }
    void init() { PageEnv::setLanguage(0); } // a row may have switched the page to Chinese
    void nodesComeAndGoAndCloseClears();
    void canBitRateChangeMovesEveryNode_data();
    void canBitRateChangeMovesEveryNode();
    void nodeIdChangeRelistsTheNode();
    void nodeIdChangeIsRefusedDuringAnUpgrade();
    void closingWithThePortOpenFreesEveryReply();

private:
    PageEnv m_env;
};

void tst_ConfiguratorBus::nodesComeAndGoAndCloseClears()
{
    Bench bench({16, 17});
    QVERIFY2(!bench.path.isEmpty(), bench.error.c_str());
    QcwIndicatorLamp* link = lamp(bench.page());

    // A port that cannot be opened: its box, and the page stays closed.
    {
        ModalBoxCloser boxes;
        bench.open("/dev/tq-no-such-adapter");
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({"Open Serial Port Failed !"}), kSlowMs);
        QCOMPARE(caption(bench.page(), "btnOpen"), QString("Open"));
        QVERIFY(child(bench.page(), "comboBox_serial")->isEnabled());
        QVERIFY(!link->isAlarm());
    }

    // When the first heartbeat reaches the page; only the port is looked at,
    // the payload belongs to the page.
    QElapsedTimer sinceHeartbeat;
    QObject watcher;
    QObject::connect(mainpageControl::getInstance()->getAuxThreadController()->getSerialWorker(),
                     &subSerialTQThread::signalNotifyTQPage, &watcher, [&](response_data_struct_t r) {
                         if (r.port_id == 7509 && !sinceHeartbeat.isValid())
                             sinceHeartbeat.start();
                     }, Qt::QueuedConnection);
    bench.open(bench.path);
    QTRY_VERIFY_WITH_TIMEOUT(sinceHeartbeat.isValid(), kSlowMs);
    // Listed in both tables within 2 s of the first heartbeat, with the
    // texts of their node information.
    QTRY_COMPARE_WITH_TIMEOUT(listed(bench.page()), QStringList({"10", "11"}), 2000);
    QCOMPARE(rowTexts(devTable(bench.page()), 0), QStringList({"10", "P_FLY-ESC_A", "1.0", "2.3"}));
    QCOMPARE(rowTexts(devTable(bench.page()), 1), QStringList({"11", "P_FLY-ESC_A", "1.0", "2.3"}));
    QVERIFY(link->isAlarm() && !link->isRedMode());

    // Node 17 is unplugged: its rows go after the count-down, 16 stays.
    bench.bus.setNodeSilent(17, true);
    QTRY_COMPARE_WITH_TIMEOUT(listed(bench.page()), QStringList({"10"}), kSlowMs);
    QTest::qWait(3000);
    QCOMPARE(listed(bench.page()), QStringList({"10"}));
    QVERIFY(link->isAlarm() && !link->isRedMode());

    // Close: lamp off and both tables empty.
    click(bench.page(), "btnOpen");
    QCOMPARE(caption(bench.page(), "btnOpen"), QString("Open"));
    QVERIFY(!link->isAlarm());
    QVERIFY(listed(bench.page()).isEmpty());
}

void tst_ConfiguratorBus::canBitRateChangeMovesEveryNode_data()
{
    // The rate box's first and last items; the nodes at both ends of the ID
    // range the change walks (48 is the last, "encoder"). A node that
    // refuses the write, or is silent while the rates are walked, stays at
    // 500K: one box names it once the others are back.
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVector<uint>>("adapter"); // opened at 500K, each other rate, the target
    QTest::addColumn<QVector<int>>("refusing");  // answer the write with 0x13
    QTest::addColumn<QVector<int>>("silent");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("language"); // of the page: 0 English, 1 Chinese
    const QVector<uint> to1000 = {500000, 250000, 500000, 800000, 1000000};
    const QString lost = "These nodes did not take the new bit rate 1000K and may still run at their old rate:\n";
    QTest::newRow("to 1000K, the last rate") << 3 << QString("1000K") << to1000 << QVector<int>() << QVector<int>()
                                             << QString() << 0;
    QTest::newRow("to 250K, the first rate") << 0 << QString("250K")
                                             << QVector<uint>({500000, 500000, 800000, 1000000, 250000})
                                             << QVector<int>() << QVector<int>() << QString() << 0;
    QTest::newRow("node 17 refuses") << 3 << QString("1000K") << to1000 << QVector<int>({17}) << QVector<int>()
                                     << lost + "node 0x11: refused the new rate (error 0x13)" << 0;
    QTest::newRow("node 17 silent") << 3 << QString("1000K") << to1000 << QVector<int>() << QVector<int>({17})
                                    << lost + "node 0x11: not heard at the new rate" << 0;
    QTest::newRow("node 48 refuses, 16 and 17 silent")
        << 3 << QString("1000K") << to1000 << QVector<int>({48}) << QVector<int>({16, 17})
        << lost + "node 0x30: refused the new rate (error 0x13)\nnode 0x10: not heard at the new rate\n"
                  "node 0x11: not heard at the new rate"
        << 0;
    QTest::newRow("every node refuses: nothing to await")
        << 3 << QString("1000K") << to1000 << QVector<int>({16, 17, 48}) << QVector<int>()
        << lost + "node 0x10: refused the new rate (error 0x13)\nnode 0x11: refused the new rate (error 0x13)\n"
                  "node 0x30: refused the new rate (error 0x13)"
        << 0;
    QTest::newRow("node 17 refuses, 48 silent, in Chinese")
        << 3 << QString("1000K") << to1000 << QVector<int>({17}) << QVector<int>({48})
        << QString("以下节点没有切换到新的波特率 1000K，可能仍在原波特率下运行：\n"
                   "节点 0x11：拒绝了新的波特率（错误 0x13）\n节点 0x30：在新的波特率下没有响应")
        << 1;
    // The port lost as the adapter is set to the row's last rate: a box beside
    // the port's, the rate box at the rate the nodes listed were told, if so.
    const QString cut = "The bit-rate change to 1000K did not finish: the port closed";
    const QString told = cut + ". The nodes were told 1000K, which the rate box shows now.\n" + lost;
    const QString unheard = "node 0x10: not heard at the new rate\nnode 0x11: not heard at the new rate\n"
                            "node 0x30: not heard at the new rate";
    QTest::newRow("port lost at 500K, before the write there") << 3 << QString("500K")
        << QVector<uint>({500000, 250000, 500000}) << QVector<int>()
        << QVector<int>() << cut + " before the nodes listed were told it. They still run at 500K, which the rate "
                                   "box shows.\n" + lost + unheard << 0;
    QTest::newRow("port lost at 800K") << 3 << QString("1000K") << QVector<uint>({500000, 250000, 500000, 800000})
                                       << QVector<int>() << QVector<int>() << told + unheard << 0;
    QTest::newRow("port lost at 1000K, 17 refused") << 3 << QString("1000K") << to1000 << QVector<int>({17})
        << QVector<int>() << told + "node 0x11: refused the new rate (error 0x13)\nnode 0x10: not heard at the new "
                                    "rate\nnode 0x30: not heard at the new rate" << 0;
}

void tst_ConfiguratorBus::canBitRateChangeMovesEveryNode()
{
    QFETCH(int, target);
    QFETCH(QString, text);
    QFETCH(QVector<uint>, adapter);
    QFETCH(QVector<int>, refusing);
    QFETCH(QVector<int>, silent);
    QFETCH(QString, box);
    QFETCH(int, language);
    Bench bench({16, 17, 48});
    QVERIFY2(!bench.path.isEmpty(), bench.error.c_str());
    child<QComboBox>(bench.page(), "comboBox_lang")->setCurrentIndex(language);
    ModalBoxCloser boxes;
    const auto listedSorted = [&bench] {
        QStringList nodes = listed(bench.page());
        nodes.sort();
        return nodes;
    };
    bench.open(bench.path);
    QTRY_COMPARE_WITH_TIMEOUT(listedSorted(), QStringList({"10", "11", "30"}), kSlowMs);
    for (int node : refusing)
        bench.bus.setRegisterFault(uint8_t(node), 4, 0x13);
    for (int node : silent)
        bench.bus.setNodeSilent(uint8_t(node), true);

    // The link's report comes after the step that set the adapter's rate.
    const bool lost = box.contains("did not finish");
    const auto losePort = [&bench] { bench.page()->doProcessRecvTQPack(linkCode(kRespOpenResult, kOpenPortLost)); };
    connect(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalOpenOrClosePortF, bench.page(),
            [&](bool open, QString, int rate) {
                if (lost && open && uint(rate) == adapter.back())
                    QMetaObject::invokeMethod(bench.page(), losePort, Qt::QueuedConnection);
            });
    child<QComboBox>(bench.page(), "comboBox_baud_set")->setCurrentIndex(target);
    click(bench.page(), "btn_set_baud");
    QWidget* setBaud = child(bench.page(), "btn_set_baud");
    QVERIFY(!setBaud->isEnabled());
    // The silent nodes speak again once the adapter is at the target rate:
    // at theirs, where the page no longer listens.
    QTRY_COMPARE_WITH_TIMEOUT(bench.bus.bitrateCommands(), std::vector<uint32_t>(adapter.begin(), adapter.end()),
                              kSlowMs);
    if (lost) {
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({"Serial Port Closed Unexpectedly !", box}), kSlowMs);
        QCOMPARE(child<QComboBox>(bench.page(), "comboBox_baud")->currentText(), text);
        QVERIFY(setBaud->isEnabled());
        return;
    }
    for (int node : silent)
        bench.bus.setNodeSilent(uint8_t(node), false);
    // The change ends once the nodes are back, or are named.
    QTRY_VERIFY_WITH_TIMEOUT(setBaud->isEnabled(), kSlowMs);
    QCOMPARE(boxes.texts(), box.isEmpty() ? QStringList() : QStringList({box}));

    // The other nodes took the target's code in register 4 and run at its
    // rate; the ones named are still at 500K.
    QStringList back;
    for (uint8_t node : {16, 17, 48}) {
        const bool followed = !refusing.contains(node) && !silent.contains(node);
        int16_t code = -1;
        QVERIFY(bench.bus.registerValue(node, 4, &code));
        QCOMPARE(code, int16_t(followed ? target : 1));
        QCOMPARE(bench.bus.nodeBitrate(node), followed ? adapter.back() : 500000u);
        if (followed)
            back << QString::number(node, 16);
    }
    QCOMPARE(bench.bus.adapterBitrate(), adapter.back());
    QCOMPARE(child<QComboBox>(bench.page(), "comboBox_baud")->currentText(), text);

    // Listed again at the new rate.
    QTRY_COMPARE_WITH_TIMEOUT(listedSorted(), back, kSlowMs);
    if (!back.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(lamp(bench.page())->isAlarm() && !lamp(bench.page())->isRedMode(), kSlowMs);
    QCOMPARE(boxes.texts().size(), box.isEmpty() ? 0 : 1);
}

void tst_ConfiguratorBus::nodeIdChangeRelistsTheNode()
{
    Bench bench({16});
    QVERIFY2(!bench.path.isEmpty(), bench.error.c_str());
    bench.open(bench.path);
    QTRY_COMPARE_WITH_TIMEOUT(listed(bench.page()), QStringList({"10"}), kSlowMs);

    child<QComboBox>(bench.page(), "comboBox_id_set")->setCurrentIndex(4); // 0x14, node 20
    click(bench.page(), "btn_set_id");
    QTRY_VERIFY_WITH_TIMEOUT(bench.bus.hasNode(20), kSlowMs);
    QVERIFY(!bench.bus.hasNode(16));
    QTRY_COMPARE_WITH_TIMEOUT(listed(bench.page()), QStringList({"14"}), kSlowMs);
}

// While a node runs its boot loader the ID change is refused as the rate
// change is: the node would take the ID too, and the list that shows the
// upgrade's progress would be cleared.
void tst_ConfiguratorBus::nodeIdChangeIsRefusedDuringAnUpgrade()
{
    Bench bench({16, 17});
    QVERIFY2(!bench.path.isEmpty(), bench.error.c_str());
    QVERIFY(testdb::installForPage("fw_bus.db", {testdb::row("2.5.0", "newest", 2000, 500)}));
    bench.window.setTqcanWorkMode(false); // finds the database, as at start
    ModalBoxCloser boxes;
    bench.open(bench.path);
    QTRY_COMPARE_WITH_TIMEOUT(listedNodes(devTable(bench.page())).size(), 2, kSlowMs);
    // Node 16's parameters, read before: nor are they written, restored or read.
    const int row = listedNodes(devTable(bench.page())).indexOf("10");
    QTest::mouseClick(devList(bench.page())->cellWidget(row, 0), Qt::LeftButton);
    click(bench.page(), "btn_read_para");
    QTRY_VERIFY_WITH_TIMEOUT(child<QTableWidget>(bench.page(), "tableWidget_set_regList")->cellWidget(1, 3), kSlowMs);
    boxes.clear();
    clickCell(devTable(bench.page()), row, 1);
    click(bench.page(), "btnUpgradedev");
    QTRY_VERIFY_WITH_TIMEOUT(bench.bus.inUpgradeMode(16), kSlowMs);

    child<QComboBox>(bench.page(), "comboBox_id_set")->setCurrentIndex(4); // node 20
    const QStringList refused(QVector<QString>(4, "Please wait until the upgrade has finished !").toList());
    for (const char* button : {"btn_set_id", "btn_para_download", "btn_recovery", "btn_read_para"})
        click(bench.page(), button);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), refused, kSlowMs);
    QCOMPARE(listedNodes(devTable(bench.page())).size(), 2);
    // The upgrade goes on to its end; no node took the ID, nor a parameter.
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), refused + QStringList({"Upgrade success!"}), 60000);
    for (const escsim::ReceivedRequest& r : bench.bus.requests(16))
        QVERIFY(r.port != 256 || r.payload.at(0) != 2);
    QVERIFY(bench.bus.hasNode(16) && bench.bus.hasNode(17));
    QVERIFY(!bench.bus.hasNode(20));
    QDir(QStringLiteral("download")).removeRecursively();
}

QTEST_MAIN(tst_ConfiguratorBus)
#include "tst_configurator_bus.moc"

void tst_ConfiguratorBus::closingWithThePortOpenFreesEveryReply()
{
    // 32 nodes sending telemetry as fast as the line goes: when the window
    // closes with the port open, replies are still on their way to the page.
    // Each must reach it, which frees it, before the page goes; the leak
    // checker of the sanitizer build reports any that was dropped.
    std::vector<uint8_t> nodes;
    for (uint8_t node = 16; node < 48; ++node)
        nodes.push_back(node);
    auto bench = std::make_unique<Bench>(nodes, 500.0);
    QVERIFY2(!bench->path.isEmpty(), bench->error.c_str());
    bench->open(bench->path);
    QTRY_COMPARE_WITH_TIMEOUT(listed(bench->page()).size(), 32, kSlowMs);
    bench.reset();
}
