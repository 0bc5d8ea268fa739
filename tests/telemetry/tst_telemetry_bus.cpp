// The throttle tab at a test bench: the real window with its serial worker,
// and the simulated adapter with ESC nodes that take their set-points and
// report telemetry. The technician opens the port, drives three groups,
// watches the ticked ESC, unplugs one and switches the test off.

#include <QtTest>

#include <QLineSeries>

#include <csignal>
#include <functional>
#include <memory>
#include <vector>

#include "app/appwidget.h"
#include "appcopy.h"
#include "configurator/tqcan.h"
#include "firmwaredb.h"
#include "link/lastresort.h"
#include "linkharness.h"
#include "logcapture.h"
#include "modalboxcloser.h"
#include "telemetry/qcwindicatorlamp.h"
#include "telemetry/statuslampform.h"
#include "telemetry/throtcfgdialog.h"
#include "telemetrytesthelpers.h"

using namespace pagetest;
using namespace telemetrytest;

namespace {

constexpr int kThrottleNotZeroLamp = 10; // bit 5

escsim::Options benchOptions(std::vector<uint8_t> nodes)
{
    escsim::Options o;
    o.nodes = std::move(nodes);
    o.telemetryHz = 20;
    return o;
}

// The lock files an open serial port holds for the path ("LCK..pts_3" for
// /dev/pts/3), in the folders where they are kept.
QStringList portLockFiles(const QString& path)
{
    const QString name = "LCK.." + QString(path).remove(QRegularExpression("^/dev/")).replace('/', '_');
    QStringList out;
    for (const QString& folder : {QString("/var/lock"), QString("/run/lock"), QString("/var/spool/locks"),
                                  QString("/tmp"), QString("/var/tmp"), QDir::tempPath()}) {
        if (QFileInfo::exists(folder + '/' + name))
            out << folder + '/' + name;
    }
    return out;
}

// The simulated bus and the window on its throttle tab, the port opened;
// the window goes first, its worker closing the port.
struct Bench {
    explicit Bench(std::vector<uint8_t> nodes)
        : bus(benchOptions(std::move(nodes)))
    {
        window.show();
        child<QTabWidget>(page(), "tabWidget")->setCurrentIndex(2);
        if (path.isEmpty())
            return;
        typePort(page(), path);
        click(page(), "btnOpen");
    }
    TQCAN* page() { return window.configuratorPage(); }

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
    void lastGroupReachesTheLastRowsNodes();
    void groupsNoLongerSentAreLeftAtZero_data();
    void groupsNoLongerSentAreLeftAtZero();

private:
    PageEnv m_env;
    QTemporaryDir m_settings;
};

void tst_TelemetryBus::throttleReachesEachNodeAndTelemetryComesBack()
{
    Bench bench({16, 17, 20, 27});
    QVERIFY2(!bench.path.isEmpty(), bench.error.c_str());
    escsim::Bus& bus = bench.bus;
    TQCAN* page = bench.page();

    // Rows of the nodes on the bus light up; the others stay off.
    for (int row : {1, 2, 5, 12})
        QTRY_VERIFY_WITH_TIMEOUT(setPoint(page, row)->isEnabled(), kSlowMs);
    QVERIFY(!setPoint(page, 3)->isEnabled() && !setPoint(page, 32)->isEnabled());

    // Three groups: each node takes its own value from its group's message.
    const std::vector<std::pair<int, int>> points = {{1, 100}, {2, 200}, {5, 500}, {12, 1200}};
    for (const auto& p : points)
        setPoint(page, p.first)->setValue(p.second);
    rowCheck(page, 1)->setChecked(true);
    child<QComboBox>(page, "comboBoxThrot")->setCurrentIndex(3);
    for (const auto& p : points) {
        QTRY_COMPARE_WITH_TIMEOUT(int(bus.throttle(uint8_t(p.first + 15))), p.second, kSlowMs);
        // The telemetry shows the throttle and, once settled, ten times the speed.
        QTRY_COMPARE_WITH_TIMEOUT(rowValues(page, p.first)[2], QString::number(p.second), kSlowMs);
        QTRY_COMPARE_WITH_TIMEOUT(rowValues(page, p.first)[0], QString::number(p.second), kSlowMs);
    }
    // The ticked ESC: "Throt not 0" lit, its lines drawn.
    auto* lamps = page->findChild<statusLampForm*>();
    QTRY_VERIFY_WITH_TIMEOUT(lamps->lamp(kThrottleNotZeroLamp)->isAlarm(), kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(chart(page)->series(MainWindow::kThrottle)->pointsVector().last().y(), 100.0, kSlowMs);

    // Node 17 falls silent: its row goes dark with zeros.
    bus.setNodeSilent(17, true);
    QTRY_VERIFY_WITH_TIMEOUT(!setPoint(page, 2)->isEnabled(), kSlowMs);
    QCOMPARE(rowValues(page, 2)[0], QString("0"));
    QCOMPARE(setPoint(page, 2)->value(), 0);

    // The dialog's largest maximum fills the 14-bit field: row 12 is the
    // fourth of its group, whose top bits travel in the other words.
    QTimer::singleShot(0, page, [page] {
        auto* dialog = page->findChild<ThrotCfgDialog*>();
        QVERIFY(dialog);
        dialog->findChild<QSpinBox*>("spinBox_throt_max")->setValue(99999);
        dialog->accept();
    });
    click(page, "btn_throt_set");
    setPoint(page, 12)->setValue(16383);
    QTRY_COMPARE_WITH_TIMEOUT(int(bus.throttle(27)), 16383, kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(rowValues(page, 12)[2], QString("16383"), kSlowMs);
    // The ticked row's node gone, and with it every other: the lamps go dark.
    for (uint8_t node : {16, 20, 27})
        bus.setNodeSilent(node, true);
    QTRY_VERIFY_WITH_TIMEOUT(!lamps->lamp(kThrottleNotZeroLamp)->isAlarm(), kSlowMs);

    // Off (index 0): the messages stop.
    child<QComboBox>(page, "comboBoxThrot")->setCurrentIndex(0);
    QTest::qWait(300);
    const uint64_t before = bus.adapterStats().framesIn;
    QTest::qWait(500);
    QVERIFY(bus.adapterStats().framesIn - before < 10);
    click(page, "btnOpen");
}

void tst_TelemetryBus::lastGroupReachesTheLastRowsNodes()
{
    // Nodes in the first row, and in the first and last rows of group 8.
    Bench bench({16, 44, 47});
    QVERIFY2(!bench.path.isEmpty(), bench.error.c_str());
    escsim::Bus& bus = bench.bus;
    TQCAN* page = bench.page();

    const std::vector<std::pair<int, int>> points = {{1, 100}, {29, 290}, {32, 320}};
    for (const auto& p : points)
        QTRY_VERIFY_WITH_TIMEOUT(setPoint(page, p.first)->isEnabled(), kSlowMs);
    for (const auto& p : points) {
        setPoint(page, p.first)->setValue(p.second);
        QCOMPARE(bar(page, p.first)->value(), p.second);
    }
    rowCheck(page, 32)->setChecked(true);
    child<QComboBox>(page, "comboBoxThrot")->setCurrentIndex(8);
    for (const auto& p : points) {
        QTRY_COMPARE_WITH_TIMEOUT(int(bus.throttle(uint8_t(p.first + 15))), p.second, kSlowMs);
        QTRY_COMPARE_WITH_TIMEOUT(rowValues(page, p.first)[2], QString::number(p.second), kSlowMs);
    }
    // The last row, ticked, feeds the chart and the lamps.
    const auto lastThrottle = [page] {
        const QVector<QPointF> line = chart(page)->series(MainWindow::kThrottle)->pointsVector();
        return line.isEmpty() ? -1.0 : line.last().y();
    };
    QTRY_COMPARE_WITH_TIMEOUT(lastThrottle(), 320.0, kSlowMs);
    QTRY_VERIFY_WITH_TIMEOUT(page->findChild<statusLampForm*>()->lamp(kThrottleNotZeroLamp)->isAlarm(), kSlowMs);

    child<QComboBox>(page, "comboBoxThrot")->setCurrentIndex(0);
    click(page, "btnOpen");
}

void tst_TelemetryBus::groupsNoLongerSentAreLeftAtZero_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<int>("kept"); // groups still sent afterwards
    // A node in each of the first three groups, and the last group full.
    QTest::addColumn<QList<int>>("nodes");
    const QList<int> nodes {16, 20, 27, 44, 45, 46, 47};
    QTest::newRow("count 0") << "count 0" << 0 << nodes;
    QTest::newRow("count lowered to 2") << "count 2" << 2 << nodes;
    QTest::newRow("count lowered to 7") << "count 7" << 7 << nodes;
    QTest::newRow("upgrade start") << "upgrade" << 0 << nodes;
    QTest::newRow("port closed by the user") << "close" << 0 << nodes;
    QTest::newRow("window closed") << "window" << 0 << nodes;
    // As main ends it once the application quits.
    QTest::newRow("application ends") << "end" << 0 << nodes;
    QTest::newRow("SIGTERM to the application") << "SIGTERM" << 0 << nodes;
    QTest::newRow("SIGQUIT (Ctrl+\\)") << "SIGQUIT" << 0 << nodes;
    QTest::newRow("SIGUSR1") << "SIGUSR1" << 0 << nodes;
    // Stopped with its zeros out; running again, the test stays off.
    QTest::newRow("SIGTSTP (Ctrl+Z), then SIGCONT") << "SIGTSTP" << 0 << nodes;
    // The reader of its output goes away: it runs on, the stop key stops.
    QTest::newRow("output pipe closed") << "pipe" << 0 << nodes;
    QTest::newRow("exit(1), as the X plugin does") << "exit" << 0 << nodes;
    QTest::newRow("X server killed") << "X" << 0 << nodes;
    QTest::newRow("SIGSEGV") << "SIGSEGV" << 0 << nodes;
    QTest::newRow("SIGTRAP (GLib's fatal error)") << "SIGTRAP" << 0 << nodes;
    QTest::newRow("SIGSYS (a sandbox's trap)") << "SIGSYS" << 0 << nodes;
    // Left ignored, as nohup leaves it; SIGTERM ends it.
    QTest::newRow("SIGHUP ignored from the start") << "SIGHUP ignored" << 0 << nodes;
    QTest::newRow("SIGSYS ignored from the start, sent") << "SIGSYS ignored" << 0 << nodes;
    QTest::newRow("start-up hook stopped before the rows are listed") << "hook" << 0 << nodes;
    // The usual bench: one ESC, one group sent.
    QTest::newRow("exit(1), one ESC") << "exit" << 0 << QList<int> {16};
    QTest::newRow("SIGSEGV, one ESC") << "SIGSEGV" << 0 << QList<int> {16};
    QTest::newRow("SIGTSTP, then SIGCONT, one ESC") << "SIGTSTP" << 0 << QList<int> {16};
    // The line takes nothing for a while (an adapter whose CAN side stops
    // draining): the port stays open, and what follows reaches the nodes.
    QTest::newRow("line stalled, then the stop key") << "stall, key" << 0 << nodes;
    QTest::newRow("line stalled, then the end") << "stall, end" << 0 << nodes;
    // The test switched off meanwhile: only the zeros owed reach the nodes.
    QTest::newRow("adapter pulled, then opened again") << "replug" << 0 << nodes;
    // No next open: nothing reaches the nodes, and no box holds the end.
    QTest::newRow("adapter pulled as the application ends") << "pulled, end" << 8 << nodes;
    // As a stop signal's handler does it; the test then started again.
    QTest::newRow("zeros of the last resort, test started again") << "halt" << 8 << nodes;
    // The nodes take the ID 48, which no row sends to; with one node listed
    // the new ID goes out without a question.
    QTest::newRow("node-ID change, one node") << "node ID" << 0 << QList<int> {16};
    QTest::newRow("node-ID change, seven nodes") << "node ID" << 0 << nodes;
    QTest::newRow("bit-rate change") << "bit rate" << 0 << nodes;
    // Node 16 swapped for another device: it alone is left at 0.
    QTest::newRow("a device swapped in") << "swap" << 8 << nodes;
    // Its first heartbeat repeats the transfer-ID of the one before's last.
    QTest::newRow("a device swapped in right after a heartbeat with transfer-ID 0") << "swap 0" << 8 << nodes;
}

// Whatever stops a group's messages, its nodes are told 0 first: a node
// keeps the last set-point it heard.
void tst_TelemetryBus::groupsNoLongerSentAreLeftAtZero()
{
    QFETCH(QString, way);
    QFETCH(int, kept);
    QFETCH(QList<int>, nodes);
    escsim::Options o;
    o.nodes.assign(nodes.begin(), nodes.end());
    o.telemetryHz = 20;
    o.swaps = {{16, 1000, "P_FLY-ESC_B"}};
    o.heartbeatZeroBeforeSwap = way == "swap 0";
    escsim::Bus bus(o);
    std::string error;
    const QString path = QString::fromStdString(startOnThread(bus, &error));
    QVERIFY2(!path.isEmpty(), error.c_str());
    // The set-points of the nodes, in the order above, whatever their IDs now.
    const auto setPoints = [&bus] {
        QList<int> out;
        for (uint16_t v : bus.throttles())
            out << v;
        return out;
    };
    const auto expect = [&](const std::function<int(int)>& target, int groups) {
        QList<int> out;
        for (uint8_t node : o.nodes)
            out << ((node - 16) / 4 < groups ? target(node) : 0);
        return out;
    };
    if (way.startsWith("SIG") || way == "pipe" || way == "exit" || way == "X" || way == "hook") {
        // The real application, started as a user starts it (a job of its
        // own, which Ctrl+Z stops), every row at 500.
        AppCopy app(QStringLiteral(TQ_TOPAZ_EXE));
        QTemporaryDir folder;
        QVERIFY(app.isValid() && folder.isValid());
        const QMap<QString, int> numbers {{"SIGHUP", SIGHUP},   {"SIGQUIT", SIGQUIT}, {"SIGUSR1", SIGUSR1},
                                          {"SIGSEGV", SIGSEGV}, {"SIGTRAP", SIGTRAP}, {"SIGSYS", SIGSYS}};
        struct Job : QProcess {
            int ignored = 0;
            void setupChildProcess() override
            {
                ::setpgid(0, 0);
                if (ignored)
                    ::signal(ignored, SIG_IGN);
            }
        } child;
        child.ignored = way.endsWith(" ignored") ? numbers.value(way.section(' ', 0, 0)) : 0;
        const int sent = (o.nodes.back() - 16) / 4 + 1; // the groups up to the last node's
        QStringList env {"TQ_AUTOTEST_THROTTLE=" + path + "," + QString::number(sent) + ",500"};
        if (way == "exit" || way == "X") // Qt's exit(1) frees nothing: no leak report
            env << "ASAN_OPTIONS=" + qEnvironmentVariable("ASAN_OPTIONS") + ":detect_leaks=0";
        QProcess x, reader; // an X server; a reader of its output
        if (way == "pipe") {
            child.setStandardOutputProcess(&reader);
            reader.setStandardOutputFile(QProcess::nullDevice());
            reader.start("cat", QStringList());
        }
        if (way == "X") {
            x.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp"});
            if (!x.waitForReadyRead(kSlowMs))
                QSKIP("no X server to run on (Xvfb)");
            env << "QT_QPA_PLATFORM=xcb" << "DISPLAY=:" + x.readAll().trimmed();
        }
        app.start(child, folder.path(), 120000, env);
        QString out;
        if (way == "hook") { // read at once, long before a node is listed twice
            child.write("stop\n");
            QTRY_VERIFY_WITH_TIMEOUT((out += child.readAll()).contains("new node= 47"), 3 * kSlowMs);
            const int stopped = out.indexOf("no set-point is set any more");
            QVERIFY(stopped >= 0 && stopped < out.indexOf("new node="));
            QTest::qWait(2500); // two heartbeats: the rows are enabled
            QCOMPARE(setPoints(), expect({}, 0));
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(setPoints(), expect([](int) { return 500; }, sent), 3 * kSlowMs);
        }
        QVERIFY(!portLockFiles(path).isEmpty());
        const auto pid = pid_t(child.processId());
        const auto state = [pid] {
            QFile stat(QString("/proc/%1/stat").arg(pid));
            return stat.open(QIODevice::ReadOnly) ? stat.readAll().split(' ').value(2) : QByteArray();
        };
        const int end = numbers.value(way, SIGTERM);
        if (way == "SIGTSTP") {
            QCOMPARE(::kill(pid, SIGTSTP), 0);
            QTRY_COMPARE_WITH_TIMEOUT(state(), QByteArray("T"), kSlowMs);
            QTRY_COMPARE_WITH_TIMEOUT(setPoints(), expect({}, 0), kSlowMs);
            QCOMPARE(state(), QByteArray("T"));
            QCOMPARE(::kill(pid, SIGCONT), 0);
            QTRY_VERIFY_WITH_TIMEOUT((out += QString::fromUtf8(child.readAll())).contains("on_comboBoxThrot---index= 0"),
                                     kSlowMs);
            QTest::qWait(200);
            QCOMPARE(setPoints(), expect({}, 0));
        } else if (way == "pipe") {
            reader.kill();
            QVERIFY(reader.waitForFinished(kSlowMs));
            child.write("stop\n"); // its log line goes to the closed pipe first
            QTRY_COMPARE_WITH_TIMEOUT(setPoints(), expect({}, 0), kSlowMs);
        }
        if (child.ignored)
            QCOMPARE(::kill(pid, child.ignored), 0);
        if (way == "exit")
            child.write("exit\n");
        else if (way == "X")
            x.kill();
        else
            QCOMPARE(::kill(pid, end), 0);
        QVERIFY(child.waitForFinished(kSlowMs));
        out += way == "pipe" ? QString() : QString::fromUtf8(child.readAll());
        QTRY_COMPARE_WITH_TIMEOUT(setPoints(), expect({}, 0), kSlowMs);
        if (end == SIGSEGV || end == SIGTRAP || end == SIGSYS) { // dies of it (a sanitizer's report ends in abort())
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            QCOMPARE(child.exitCode(), out.contains("AddressSanitizer") ? SIGABRT : end);
            return;
        }
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        if (way == "exit" || way == "X") {
            QVERIFY2(child.exitCode() == 1 && (way == "exit" || out.contains("X11 connection broke")),
                     qPrintable(out.right(3000)));
            return;
        }
        QVERIFY2(child.exitCode() == 0 && (way == "pipe" || out.contains(QString("signal %1 caught").arg(end)))
                     && !out.contains(QString("signal %1 caught").arg(child.ignored)),
                 qPrintable(out.right(3000)));
        QCOMPARE(portLockFiles(path), QStringList());
        return;
    }

    QString dbError;
    QVERIFY2(testdb::installForPage("fw_throttle.db", {testdb::row("2.5.0", "newest", 300, 200)}, &dbError),
             qPrintable(dbError));
    ModalBoxCloser boxes;
    LogCapture log(true);
    auto window = std::make_unique<appwidget>();
    window->show();
    window->setTqcanWorkMode(false); // finds the database, as at start
    TQCAN* page = window->configuratorPage();
    child<QTabWidget>(page, "tabWidget")->setCurrentIndex(2);
    typePort(page, path);
    click(page, "btnOpen");
    for (uint8_t node : o.nodes)
        QTRY_VERIFY_WITH_TIMEOUT(setPoint(page, node - 15)->isEnabled(), kSlowMs);

    const auto target = [](int node) { return node * 10; };
    for (uint8_t node : o.nodes)
        setPoint(page, node - 15)->setValue(target(node));
    auto* groups = child<QComboBox>(page, "comboBoxThrot");
    groups->setCurrentIndex(8);
    QTRY_COMPARE_WITH_TIMEOUT(setPoints(), expect(target, 8), kSlowMs);

    if (way.startsWith("count")) {
        groups->setCurrentIndex(way.mid(6).toInt());
    } else if (way == "upgrade") {
        const int row = listedNodes(devTable(page)).indexOf("10");
        QVERIFY(row >= 0);
        clickCell(devTable(page), row, 1);
        click(page, "btnUpgradedev");
        QCOMPARE(groups->currentIndex(), 0);
    } else if (way == "close") {
        click(page, "btnOpen");
    } else if (way == "window") {
        window->close();
    } else if (way == "end") {
        QVERIFY(!portLockFiles(path).isEmpty());
        window.reset();
        QCOMPARE(portLockFiles(path), QStringList());
    } else if (way.startsWith("stall")) { // the adapter's side stops
        bus.stop();
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(QtDebugMsg, "the line takes nothing for now"), kSlowMs);
        bus.startThread();
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(QtDebugMsg, "the line takes the throttle messages again"), kSlowMs);
        QCOMPARE(boxes.texts(), QStringList());
        if (way == "stall, key")
            QTest::keyClick(page, Qt::Key_Space);
        else
            window.reset();
    } else if (way == "replug") {
        const QString next = QString::fromStdString(bus.replug());
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts().size(), 1, kSlowMs);
        QVERIFY(boxes.texts().first().contains("may keep their last set-points"));
        groups->setCurrentIndex(0);
        QCOMPARE(setPoints(), expect(target, 8));
        typePort(page, next);
        click(page, "btnOpen");
    } else if (way == "pulled, end") { // the page hears of it as the window goes
        bus.replug();
        for (QDeadlineTimer lost(kSlowMs); !log.contains(QtWarningMsg, " lost:") && !lost.hasExpired();)
            QThread::msleep(5);
        window.reset();
        QCOMPARE(boxes.texts(), QStringList());
    } else if (way == "halt") { // the groups turning: 2, 3 and 8, group 1 sent 0
        setPoint(page, 1)->setValue(0);
        QTRY_COMPARE_WITH_TIMEOUT(setPoints().first(), 0, kSlowMs);
        QCOMPARE(lastresort::writeZeros(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(setPoints(), expect(target, 0), kSlowMs);
        QTest::qWait(200); // the ticks that follow carry no set-point
        QCOMPARE(setPoints(), expect(target, 0));
        groups->setCurrentIndex(0);
        setPoint(page, 1)->setValue(target(16));
        groups->setCurrentIndex(8);
    } else if (way.startsWith("swap")) {
        bus.swapNodes();
        QTRY_COMPARE_WITH_TIMEOUT(setPoint(page, 1)->value(), 0, kSlowMs);
        QVERIFY(log.contains(QtDebugMsg, "node 16 uptime 0 below")); // at its first heartbeat
    } else if (way == "node ID") {
        child<QComboBox>(page, "comboBox_id_set")->setCurrentIndex(48 - 16);
        boxes.setAnswer(QMessageBox::Yes); // all the nodes listed take it
        click(page, "btn_set_id");
        QTRY_COMPARE_WITH_TIMEOUT(bus.nodeIds(), std::vector<uint8_t>(o.nodes.size(), 48), kSlowMs);
    } else {
        child<QComboBox>(page, "comboBox_baud_set")->setCurrentIndex(3);
        click(page, "btn_set_baud");
        QTRY_VERIFY_WITH_TIMEOUT(child<QAbstractButton>(page, "btn_set_baud")->isEnabled(), kSlowMs);
        QCOMPARE(bus.nodeBitrate(16), 1000000u);
    }

    // The nodes of the groups no longer sent are at 0 and report it; the
    // others go on at their set-points. Node 16, upgraded, restarts anyway.
    const int from = way == "upgrade" || way.startsWith("swap") ? 1 : 0;
    QTRY_COMPARE_WITH_TIMEOUT(setPoints().mid(from), expect(target, kept).mid(from), kSlowMs);
    const QList<int> shown = expect(target, kept);
    for (int i = from; window && way != "close" && i < shown.size(); ++i) {
        const int row = o.nodes[size_t(i)] - 15;
        if (setPoint(page, row)->isEnabled())
            QTRY_COMPARE_WITH_TIMEOUT(rowValues(page, row)[2], QString::number(shown[i]), kSlowMs);
    }
    QTest::qWait(200);
    QCOMPARE(setPoints().mid(from), expect(target, kept).mid(from));
    if (way.startsWith("swap")) // and stays there: nobody set it again
        QCOMPARE(setPoints().first(), 0);
    if (way == "upgrade")
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({"Upgrade success!"}), 40000);
    if (window)
        groups->setCurrentIndex(0);
}

QTEST_MAIN(tst_TelemetryBus)
#include "tst_telemetry_bus.moc"
