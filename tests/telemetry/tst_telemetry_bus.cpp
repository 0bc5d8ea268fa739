// The throttle tab at a test bench: the real window with its serial worker,
// and the simulated adapter with ESC nodes that take their set-points and
// report telemetry. The technician opens the port, drives three groups,
// watches the ticked ESC, unplugs one and stops them all with a key.

#include <QtTest>

#include <QLineSeries>

#include <vector>

#include "app/appwidget.h"
#include "configurator/tqcan.h"
#include "linkharness.h"
#include "telemetry/qcwindicatorlamp.h"
#include "telemetry/statuslampform.h"
#include "telemetrytesthelpers.h"

using namespace pagetest;
using namespace telemetrytest;

namespace {

constexpr int kThrottleNotZeroLamp = 10; // bit 5

struct Bench {
    explicit Bench(std::vector<uint8_t> nodes) : bus(options(std::move(nodes))) { window.show(); }
    static escsim::Options options(std::vector<uint8_t> nodes)
    {
        escsim::Options o;
        o.nodes = std::move(nodes);
        o.telemetryHz = 20;
        return o;
    }
    TQCAN* page() { return window.configuratorPage(); }
    void open(const QString& port) { typePort(page(), port); click(page(), "btnOpen"); }
    uint64_t framesIn() const { return bus.adapterStats().framesIn; }

    escsim::Bus bus;
    std::string error;
    const QString path = QString::fromStdString(startOnThread(bus, &error));
    appwidget window;
};

} // namespace

class tst_TelemetryBus : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(m_env.ready(), "the translations must be built next to the test");
        QVERIFY(m_settings.isValid());
        TQCAN::setSettingsFolder(m_settings.path());
    }
    void cleanupTestCase() { TQCAN::setSettingsFolder(QString()); }
    void throttleReachesEachNodeAndTelemetryComesBack();

private:
    PageEnv m_env;
    QTemporaryDir m_settings;
};

void tst_TelemetryBus::throttleReachesEachNodeAndTelemetryComesBack()
{
    Bench bench({16, 17, 20, 27});
    QVERIFY2(!bench.path.isEmpty(), bench.error.c_str());
    TQCAN* page = bench.page();
    child<QTabWidget>(page, "tabWidget")->setCurrentIndex(2);
    bench.open(bench.path);

    // Rows of the nodes on the bus light up; the others stay off.
    for (int row : {1, 2, 5, 12})
        QTRY_VERIFY_WITH_TIMEOUT(setPoint(page, row)->isEnabled(), kSlowMs);
    for (int row : {3, 4, 6, 13, 32})
        QVERIFY(!setPoint(page, row)->isEnabled());

    // Three groups: each node takes its own value from its group's message.
    const std::vector<std::pair<int, int>> points = {{1, 100}, {2, 200}, {5, 500}, {12, 1200}};
    for (const auto& p : points)
        setPoint(page, p.first)->setValue(p.second);
    rowCheck(page, 1)->setChecked(true);
    child<QComboBox>(page, "comboBoxThrot")->setCurrentIndex(3);
    for (const auto& p : points) {
        const uint8_t node = uint8_t(p.first + 15);
        QTRY_COMPARE_WITH_TIMEOUT(int(bench.bus.throttle(node)), p.second, kSlowMs);
        // The telemetry shows the throttle and, once settled, ten times the speed.
        QTRY_COMPARE_WITH_TIMEOUT(rowValues(page, p.first)[2], QString::number(p.second), kSlowMs);
        QTRY_COMPARE_WITH_TIMEOUT(rowValues(page, p.first)[0], QString::number(p.second), kSlowMs);
    }
    // The ticked ESC: "Throt not 0" lit, its lines drawn.
    auto* lamps = page->findChild<statusLampForm*>();
    QTRY_VERIFY_WITH_TIMEOUT(lamps->lamp(kThrottleNotZeroLamp)->isAlarm(), kSlowMs);
    QTRY_VERIFY_WITH_TIMEOUT(chart(page)->series(MainWindow::kSpeed)->count() > 5, kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(chart(page)->series(MainWindow::kThrottle)->pointsVector().last().y(), 100.0, kSlowMs);

    // Node 17 unplugged: its row goes dark with zeros.
    bench.bus.setNodeSilent(17, true);
    QTRY_VERIFY_WITH_TIMEOUT(!setPoint(page, 2)->isEnabled(), kSlowMs);
    QCOMPARE(rowValues(page, 2)[0], QString("0"));
    QCOMPARE(setPoint(page, 2)->value(), 0);

    // A key on the tab: every set-point 0, the nodes stop and report it.
    rowCheck(page, 1)->setFocus();
    QTest::keyClick(rowCheck(page, 1), Qt::Key_X);
    for (uint8_t node : {16, 20, 27})
        QTRY_COMPARE_WITH_TIMEOUT(int(bench.bus.speed(node)), 0, kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(rowValues(page, 1)[0], QString("0"), kSlowMs);
    QTRY_VERIFY_WITH_TIMEOUT(!lamps->lamp(kThrottleNotZeroLamp)->isAlarm(), kSlowMs);

    // Off: the messages stop.
    child<QComboBox>(page, "comboBoxThrot")->setCurrentIndex(0);
    QTest::qWait(300);
    const uint64_t before = bench.framesIn();
    QTest::qWait(500);
    QVERIFY2(bench.framesIn() - before < 10, qPrintable(QString::number(bench.framesIn() - before)));
    click(page, "btnOpen");
}

QTEST_MAIN(tst_TelemetryBus)
#include "tst_telemetry_bus.moc"
