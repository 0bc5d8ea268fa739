// The configurator page at a test bench: the real window with its hub and
// serial worker, and the simulated adapter with its ESC nodes on a
// pseudo-terminal. The technician types the adapter's path, opens it, sees
// the nodes, and changes the bus rate and a node ID.

#include <QtTest>

#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>

#include <memory>
#include <string>
#include <vector>

#include "app/appwidget.h"
#include "app/auxthreadcontroller.h"
#include "app/communicat.h"
#include "app/mainpagecontrol.h"
#include "configurator/tqcan.h"
#include "escsim.h"
#include "link/subserialtqthread.h"
#include "modalboxcloser.h"
#include "pagetesthelpers.h"
#include "telemetry/qcwindicatorlamp.h"

using namespace pagetest;

namespace {

// Generous: a loaded two-core machine may be slow; nothing here is a
// timing requirement but the two seconds of the listing check.
constexpr int kSlowMs = 20000;

// The simulated bus and the window, torn down in the right order.
class Bench
{
public:
    explicit Bench(std::vector<uint8_t> nodes)
    {
        escsim::Options options;
        options.nodes = std::move(nodes);
        m_bus.reset(new escsim::Bus(options));
        std::string error;
        m_path = QString::fromStdString(m_bus->start(&error));
        m_error = QString::fromStdString(error);
        if (!m_path.isEmpty())
            m_bus->startThread();
        m_window.reset(new appwidget);
        m_window->show();
    }
    ~Bench()
    {
        m_window.reset(); // stops the worker, which closes the port
        m_bus->stop();
    }

    bool ok() const { return !m_path.isEmpty(); }
    QString error() const { return m_error; }
    QString path() const { return m_path; }
    escsim::Bus& bus() { return *m_bus; }
    TQCAN* page() const { return m_window->configuratorPage(); }
    subSerialTQThread* worker() const
    {
        return mainpageControl::getInstance()->getAuxThreadController()->getSerialWorker();
    }
    QcwIndicatorLamp* lamp() const { return page()->findChild<QcwIndicatorLamp*>(); }
    QTableWidget* devTable() const { return child<QTableWidget>(page(), "tableWidget_dev"); }
    QTableWidget* devList() const { return child<QTableWidget>(page(), "tableWidget_set_devList"); }
    QPushButton* button(const char* name) const { return child<QPushButton>(page(), name); }

    void openAdapter()
    {
        typePort(page(), m_path);
        click(page(), "btnOpen");
    }

private:
    std::unique_ptr<escsim::Bus> m_bus;
    std::unique_ptr<appwidget> m_window;
    QString m_path;
    QString m_error;
};

} // namespace

class tst_ConfiguratorBus : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void nodesComeGoAndCloseClears();
    void unopenablePortGivesItsBox();
    void canBitRateChangeMovesEveryNode();
    void nodeIdChangeRelistsTheNode();

private:
    std::unique_ptr<TempWorkDir> m_cwd;
    std::unique_ptr<LanguageSettingGuard> m_language;
};

void tst_ConfiguratorBus::initTestCase()
{
    registerCommunicatMetaTypes();
    m_cwd.reset(new TempWorkDir);
    QVERIFY(m_cwd->isValid());
    QVERIFY2(addTranslations(*m_cwd), "the translations must be built next to the test");
    m_language.reset(new LanguageSettingGuard);
    LanguageSettingGuard::set(0);
}

void tst_ConfiguratorBus::nodesComeGoAndCloseClears()
{
    Bench bench({16, 17});
    QVERIFY2(bench.ok(), qPrintable(bench.error()));

    // When the first heartbeat reaches the page; only the port is looked at,
    // the payload belongs to the page.
    QElapsedTimer sinceHeartbeat;
    QObject watcher;
    QObject::connect(bench.worker(), &subSerialTQThread::signalNotifyTQPage, &watcher,
                     [&](response_data_struct_t r) {
                         if (r.port_id == 7509 && !sinceHeartbeat.isValid())
                             sinceHeartbeat.start();
                     }, Qt::QueuedConnection);

    bench.openAdapter();
    QCOMPARE(bench.button("btnOpen")->text(), QString("Close"));
    QTRY_VERIFY_WITH_TIMEOUT(bench.lamp()->isAlarm(), kSlowMs);
    QVERIFY(!bench.lamp()->isRedMode());

    QTRY_VERIFY_WITH_TIMEOUT(sinceHeartbeat.isValid(), kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(listedNodes(bench.devTable()), QStringList({"10", "11"}), 2000);
    QCOMPARE(listedNodes(bench.devList()), QStringList({"10", "11"}));
    QCOMPARE(columnTexts(bench.devTable(), 2).mid(0, 2), QStringList({"P_FLY-ESC_A", "P_FLY-ESC_A"}));
    QCOMPARE(columnTexts(bench.devTable(), 3).mid(0, 2), QStringList({"1.0", "1.0"}));
    QCOMPARE(columnTexts(bench.devTable(), 4).mid(0, 2), QStringList({"2.3", "2.3"}));
    QVERIFY(bench.lamp()->isAlarm());
    QVERIFY(!bench.lamp()->isRedMode());

    // Node 17 is unplugged: its rows go after the count-down, 16 stays.
    bench.bus().setNodeSilent(17, true);
    QTRY_COMPARE_WITH_TIMEOUT(listedNodes(bench.devTable()), QStringList({"10"}), kSlowMs);
    QCOMPARE(listedNodes(bench.devList()), QStringList({"10"}));
    QTest::qWait(3000);
    QCOMPARE(listedNodes(bench.devTable()), QStringList({"10"}));
    QVERIFY(!bench.lamp()->isRedMode());

    // Close: lamp off, both tables empty, and late heartbeats list nothing.
    click(bench.page(), "btnOpen");
    QCOMPARE(bench.button("btnOpen")->text(), QString("Open"));
    QVERIFY(!bench.lamp()->isAlarm());
    QVERIFY(listedNodes(bench.devTable()).isEmpty());
    QVERIFY(listedNodes(bench.devList()).isEmpty());
    QTest::qWait(1500);
    QVERIFY(listedNodes(bench.devTable()).isEmpty());
    QVERIFY(!bench.lamp()->isAlarm());

    // And open again: the nodes that answer come back.
    bench.bus().setNodeSilent(17, false);
    click(bench.page(), "btnOpen");
    QTRY_COMPARE_WITH_TIMEOUT(listedNodes(bench.devTable()).size(), 2, kSlowMs);
}

void tst_ConfiguratorBus::unopenablePortGivesItsBox()
{
    Bench bench({16});
    QVERIFY2(bench.ok(), qPrintable(bench.error()));
    ModalBoxCloser boxes;

    typePort(bench.page(), "/dev/tq-no-such-adapter");
    click(bench.page(), "btnOpen");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({"Open Serial Port Failed !"}), kSlowMs);
    QCOMPARE(boxes.titles(), QStringList({"Info"}));
    QCOMPARE(bench.button("btnOpen")->text(), QString("Open"));
    QVERIFY(child<QComboBox>(bench.page(), "comboBox_serial")->isEnabled());
    QVERIFY(!bench.lamp()->isAlarm());
    QTest::qWait(1500);
    QVERIFY(listedNodes(bench.devTable()).isEmpty());

    // The right path then opens as usual.
    bench.openAdapter();
    QTRY_COMPARE_WITH_TIMEOUT(listedNodes(bench.devTable()), QStringList({"10"}), kSlowMs);
}

void tst_ConfiguratorBus::canBitRateChangeMovesEveryNode()
{
    Bench bench({16, 17});
    QVERIFY2(bench.ok(), qPrintable(bench.error()));
    bench.openAdapter();
    QTRY_COMPARE_WITH_TIMEOUT(listedNodes(bench.devTable()).size(), 2, kSlowMs);

    child<QComboBox>(bench.page(), "comboBox_baud_set")->setCurrentIndex(3); // 1000K
    click(bench.page(), "btn_set_baud");
    QVERIFY(!bench.button("btn_set_baud")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(bench.button("btn_set_baud")->isEnabled(), kSlowMs);

    // The nodes took the target's code in register 4 and run at 1000K.
    for (uint8_t node : {16, 17}) {
        int16_t code = -1;
        QVERIFY(bench.bus().registerValue(node, 4, &code));
        QCOMPARE(code, int16_t(3));
        QCOMPARE(bench.bus().nodeBitrate(node), 1000000u);
    }
    // The adapter: opened at 500K, then each other rate, then the target.
    QTRY_COMPARE_WITH_TIMEOUT(bench.bus().bitrateCommands(),
                              std::vector<uint32_t>({500000, 250000, 500000, 800000, 1000000}), kSlowMs);
    QCOMPARE(bench.bus().adapterBitrate(), 1000000u);
    QCOMPARE(child<QComboBox>(bench.page(), "comboBox_baud")->currentText(), QString("1000K"));

    // Listed again at the new rate.
    QTRY_COMPARE_WITH_TIMEOUT(listedNodes(bench.devTable()), QStringList({"10", "11"}), kSlowMs);
    QTRY_VERIFY(bench.lamp()->isAlarm() && !bench.lamp()->isRedMode());
}

void tst_ConfiguratorBus::nodeIdChangeRelistsTheNode()
{
    Bench bench({16});
    QVERIFY2(bench.ok(), qPrintable(bench.error()));
    bench.openAdapter();
    QTRY_COMPARE_WITH_TIMEOUT(listedNodes(bench.devTable()), QStringList({"10"}), kSlowMs);

    child<QComboBox>(bench.page(), "comboBox_id_set")->setCurrentIndex(4); // 0x14, node 20
    click(bench.page(), "btn_set_id");
    QTRY_VERIFY_WITH_TIMEOUT(bench.bus().hasNode(20), kSlowMs);
    QVERIFY(!bench.bus().hasNode(16));
    QTRY_COMPARE_WITH_TIMEOUT(listedNodes(bench.devTable()), QStringList({"14"}), kSlowMs);
    QCOMPARE(listedNodes(bench.devList()), QStringList({"14"}));
}

QTEST_MAIN(tst_ConfiguratorBus)
#include "tst_configurator_bus.moc"
