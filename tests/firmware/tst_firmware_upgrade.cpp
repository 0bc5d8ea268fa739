// The firmware upgrade at a test bench: the real window with its hub and
// serial worker, the simulated ESCs on a pseudo-terminal, and a real SQLite
// firmware database found through the device-file list. The technician
// opens the port, clicks the node, clicks upgrade and waits for the box.

#include <QtTest>

#include <QElapsedTimer>
#include <QRegularExpression>

#include <functional>
#include <memory>
#include <vector>

#include "app/appwidget.h"
#include "app/tqformalpagecontrol.h"
#include "configurator/tqcan.h"
#include "firmwaredb.h"
#include "linkharness.h"
#include "logcapture.h"
#include "modalboxcloser.h"
#include "pagetesthelpers.h"

using namespace pagetest;

Q_DECLARE_METATYPE(testdb::Row)

namespace {

const QString kVersion = QStringLiteral("2.5.0");
const QString kSuccess = QStringLiteral("Upgrade success!");
const QString kFailure = QStringLiteral("Upgrade failed, please try again!");
// Node 16, chosen as a device of the second type, is of the first when
// asked at the press.
const QString kNowAnother = QStringLiteral("Node 0x10 now reports itself as \"P_FLY-ESC_A\", but version 1.0.0 is "
                                           "firmware for P_FLY_MOTOR_B: nothing was sent to it. The list now shows "
                                           "the versions for its type.");

// What the page asked of the nodes, in order, and when; runs of
// leave-to-go-on (GO) for the same node are folded into one entry with their
// count. onEntry sees each new entry as it is asked.
class RequestLog : public QObject
{
public:
    RequestLog()
    {
        clock.start();
        tqformalpagecontrol* c = tqformalpagecontrol::getInstance();
        connect(c, &tqformalpagecontrol::signalModeCtrlF, this, [this](int node, int cmd, QString text) {
            add(QStringLiteral("cmd %1 %2 %3").arg(node).arg(cmd, 0, 16).arg(text));
        });
        connect(c, &tqformalpagecontrol::signalSeachRegF, this, [this](int node, int reg, int op, int) {
            add(QStringLiteral("reg %1 %2 op %3").arg(node).arg(reg).arg(op));
        });
        connect(c, &tqformalpagecontrol::signalDownloadFirmwareF, this,
                [this](int node, int len, QByteArray image, QByteArray unique) {
                    images << image;
                    uniques << unique;
                    add(QStringLiteral("download %1 %2").arg(node).arg(len));
                });
        connect(c, &tqformalpagecontrol::signalDownloadFirmwareGOF, this, [this](int node) {
            const QString go = QStringLiteral("go %1 x").arg(node);
            if (!entries.isEmpty() && entries.last().startsWith(go)) {
                entries.last() = go + QString::number(entries.last().mid(go.size()).toInt() + 1);
                return;
            }
            add(go + QLatin1Char('1'));
        });
        connect(c, &tqformalpagecontrol::signalSeachVersionF, this, [this](int node) {
            add(QStringLiteral("info %1").arg(node));
        });
    }
    void add(const QString& entry)
    {
        entries << entry;
        times << clock.elapsed();
        if (onEntry)
            onEntry(entry);
    }

    QStringList entries;
    QList<qint64> times; // ms after the log's start, one per entry
    QElapsedTimer clock;
    std::function<void(const QString&)> onEntry;
    QList<QByteArray> images;
    QList<QByteArray> uniques;
};

// The progress texts of one node's row as the page writes them, and when
// the last one changed.
class ProgressWatch : public QObject
{
public:
    ProgressWatch(QTableWidget* table, const QString& node) : m_table(table), m_node(node)
    {
        connect(table->model(), &QAbstractItemModel::dataChanged, this, [this] { look(); });
        since.start();
    }
    QString current() const { return texts.isEmpty() ? QString() : texts.last(); }
    int percent() const { return current().chopped(current().isEmpty() ? 0 : 1).toInt(); }

    QStringList texts;
    QElapsedTimer since; // since the last change

private:
    void look()
    {
        for (int row = 0; row < m_table->rowCount(); ++row) {
            const QTableWidgetItem* node = m_table->item(row, 1);
            const QTableWidgetItem* cell = m_table->item(row, 5);
            if (!node || node->text() != m_node || !cell)
                continue;
            if (texts.isEmpty() || texts.last() != cell->text()) {
                texts << cell->text();
                since.restart();
            }
        }
    }
    QTableWidget* m_table;
    QString m_node;
};

// The simulated bus, the window and the database; the window goes first,
// its worker closing the port.
struct Bench {
    explicit Bench(escsim::Options o) : bus(o) {}
    bool start(const QList<testdb::Row>& rows)
    {
        QString dbError;
        if (path.isEmpty() || !testdb::installForPage(QStringLiteral("fw_upgrade.db"), rows, &dbError)) {
            qWarning() << "bench:" << error.c_str() << dbError;
            return false;
        }
        window.reset(new appwidget);
        window->show();
        window->setTqcanWorkMode(false); // finds the database, as at start
        return true;
    }
    TQCAN* page() const { return window->configuratorPage(); }
    template <typename T = QWidget>
    T* widget(const char* name) const { return child<T>(page(), name); }

    bool open()
    {
        typePort(page(), path);
        click(page(), "btnOpen");
        return QTest::qWaitFor([&] { return listed(page()).size() == int(bus.nodeIds().size()); }, kSlowMs);
    }
    // Clicks the node's row, as the technician picks the device.
    bool choose(const QString& node)
    {
        const int row = listedNodes(devTable(page())).indexOf(node);
        if (row < 0)
            return false;
        clickCell(devTable(page()), row, 1);
        return true;
    }
    bool controlsEnabled() const
    {
        return widget("btnUpgradedev")->isEnabled() && widget("comboBox_dev_ver")->isEnabled()
            && widget("btnDownloadDBCSV")->isEnabled() && widget("comboBoxThrot")->isEnabled();
    }
    bool controlsDisabled() const
    {
        return !widget("btnUpgradedev")->isEnabled() && !widget("comboBox_dev_ver")->isEnabled()
            && !widget("btnDownloadDBCSV")->isEnabled() && !widget("comboBoxThrot")->isEnabled();
    }
    uint64_t framesFromPc() const { return bus.adapterStats().framesIn; }

    escsim::Bus bus;
    std::string error;
    const QString path = QString::fromStdString(startOnThread(bus, &error));
    std::unique_ptr<appwidget> window;
};

escsim::Options simOptions(std::vector<uint8_t> nodes = {16})
{
    escsim::Options o;
    o.nodes = std::move(nodes);
    o.newSwMajor = 2;
    o.newSwMinor = 5;
    return o;
}

// A part as the node keeps it: whole 256-byte writes, the last padded with 0xFF.
std::vector<uint8_t> padded(const QByteArray& image)
{
    std::vector<uint8_t> out(image.begin(), image.end());
    out.resize((out.size() + 255) / 256 * 256, 0xFF);
    return out;
}

int writes(int bytes)
{
    return (bytes + 255) / 256;
}

// The requests of a whole upgrade of node 16, parts of the given sizes.
QStringList upgradeRequests(int part1, int part2)
{
    return {"info 16", "cmd 16 fffd  .vr-kisa", "reg 16 5 op 0", QString("download 16 %1").arg(part1),
            QString("go 16 x%1").arg(writes(part1) + 1), "cmd 16 ffff 0", "reg 16 5 op 0", "info 16",
            QString("download 16 %1").arg(part2), QString("go 16 x%1").arg(writes(part2) + 1),
            "cmd 16 ffff 0", "info 16"};
}

// The requests without the questions who a node is after the upgrade's
// first: a busy machine's pause can look like a node's silence, after which
// the page asks again.
QStringList upgradeSteps(QStringList entries)
{
    for (int i = entries.size() - 1; i > 0; --i) {
        if (entries.at(i).startsWith("info "))
            entries.removeAt(i);
    }
    return entries;
}

} // namespace

class tst_FirmwareUpgrade : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_env.ready(), "the translations must be built next to the test"); }
    void fullUpgrade_data();
    void fullUpgrade();
    void smallLastPartUpgrades();
    void strayRepliesChangeNothing();
    void stalledPartFailsAfterTenSeconds_data();
    void stalledPartFailsAfterTenSeconds();
    void unexpectedStatusIsAskedAgainUntilTheWatchdog_data();
    void unexpectedStatusIsAskedAgainUntilTheWatchdog();
    void portClosedMidPartThenRetrySucceeds();
    void refusedStartsSendNothing();
    void missingPartFailsAtOnce_data();
    void missingPartFailsAtOnce();
    void rejectedCommandFailsAtOnce();

private:
    PageEnv m_env;
};

void tst_FirmwareUpgrade::fullUpgrade_data()
{
    QTest::addColumn<bool>("answerRestart");
    // Empty: node 16 alone. Else node 17, of another type, is clicked first;
    // then 16's box is checked by the keyboard (Left, Space unchecks 17, Up
    // or Down, Space).
    QTest::addColumn<QString>("choice");
    QTest::newRow("boot loader restarts silently") << false << "";
    QTest::newRow("node answers the restart with status 0") << true << "";
    QTest::newRow("checked by the keyboard after another type") << false << "keys";
    QTest::newRow("its box clicked after another type") << false << "box";
    // Node 16 is first of the other type, its row chosen, and is swapped for
    // one of the first type: before Upgrade is pressed, at the press, or in
    // part 1 of its old type's version. Pressed again, the new one gets its
    // own type's firmware.
    QTest::newRow("swapped before the press") << false << "before";
    QTest::newRow("swapped at the press") << false << "press";
    QTest::newRow("swapped in part 1") << false << "part 1";
    // Its answers 1 s late, as on a slow line: the answer its old device
    // gave before the swap is not the new one's.
    QTest::newRow("swapped after the press, answers late") << false << "late";
    QTest::newRow("swapped after the press right after a heartbeat with transfer-ID 0, answers late") << false
                                                                                                     << "late 0";
    // Within a second of its restart after the success, another device
    // comes after 2.2 s of silence: its uptime is not lower.
    QTest::newRow("swapped after the success") << false << "after";
    // Another device of its type takes its place right after a heartbeat
    // with transfer-ID 0, at the restart command between the parts (one
    // left waiting for part 2 by an upgrade cut off) or at the last one:
    // asked who it is, it fails the upgrade before part 2, or before success.
    QTest::newRow("swapped between the parts") << false << "between";
    QTest::newRow("swapped at the last restart") << false << "last";
    // Swapped for one waiting for part 2 while the node is asked before part
    // 2, the answers late: the answer of the device before does not count.
    QTest::newRow("swapped while asked before part 2, answers late") << false << "asked";
}

void tst_FirmwareUpgrade::fullUpgrade()
{
    QFETCH(bool, answerRestart);
    QFETCH(QString, choice);
    const bool after = choice == "after";
    const int swapAt = QStringList({"between", "last"}).indexOf(choice) + 1; // the restart command
    const bool asked = choice == "asked"; // at the question before part 2
    const bool alone = choice.isEmpty() || swapAt || asked; // node 16 alone, chosen as it is
    const bool swapped = !alone && choice != "keys" && choice != "box" && !after;
    escsim::Options o = simOptions(alone || swapped || after ? std::vector<uint8_t>{16} : std::vector<uint8_t>{16, 17});
    o.answerRestart = answerRestart;
    o.nodeNames = {{swapped ? 16 : 17, "P_FLY-MOTOR_B"}};
    o.swaps = {{16, after ? 2200u : 300u, testdb::kSimDeviceName, choice == "between" || asked}};
    o.heartbeatZeroBeforeSwap = choice == "late 0" || swapAt || asked;
    if (choice.startsWith("late") || asked)
        o.slowInfo = {{16, 1000}};
    Bench bench(o);
    const int part1 = 3000, part2 = 1100;
    QVERIFY(bench.start({testdb::row("2.4.0", "older", 512, 512),
                         testdb::row(kVersion, "newest", part1, part2)}));
    ModalBoxCloser boxes;
    QVERIFY(bench.open());
    QTableWidget* table = devTable(bench.page());
    const int row = listedNodes(table).indexOf("10");
    QCOMPARE(rowTexts(table, row), QStringList({"10", swapped ? "P_FLY-MOTOR_B" : "P_FLY-ESC_A", "1.0", "2.3"}));

    // A throttle test was running.
    auto* throttle = bench.widget<QComboBox>("comboBoxThrot");
    throttle->setCurrentIndex(1);

    QVERIFY(bench.choose(alone || swapped || after ? "10" : "11"));
    const QRect box = table->visualRect(table->model()->index(row, 0));
    if (choice == "keys") {
        for (int key : {Qt::Key_Left, Qt::Key_Space, row > 0 ? Qt::Key_Down : Qt::Key_Up, Qt::Key_Space})
            QTest::keyClick(table, Qt::Key(key));
    } else if (choice == "box") {
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, box.topLeft() + QPoint(1, 1) * box.height() / 2);
    } else if (swapped) {
        // A heartbeat heard once it is listed: the new device's uptime is lower.
        const uint32_t listedAt = bench.bus.uptime(16);
        QTRY_VERIFY_WITH_TIMEOUT(bench.bus.uptime(16) > listedAt, kSlowMs);
        RequestLog first;
        first.onEntry = [&](const QString& entry) {
            if (entry == "download 16 512")
                bench.bus.swapNodes();
        };
        if (choice != "part 1" && !choice.startsWith("late"))
            bench.bus.swapNodes();
        if (choice != "before")
            click(bench.page(), "btnUpgradedev");
        if (choice.startsWith("late")) {
            QTest::qWait(300);
            bench.bus.swapNodes();
        }
        const QString ending = choice == "press" || choice.startsWith("late") ? kNowAnother : kFailure;
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), choice == "before" ? QStringList() : QStringList({ending}), kSlowMs);
        QVERIFY2(first.clock.elapsed() < 5000, "not by a watchdog");
        // The restart seen, the row and the versions follow the new device.
        QTRY_COMPARE_WITH_TIMEOUT(rowTexts(table, row).value(1), QString("P_FLY-ESC_A"), kSlowMs);
        boxes.clear();
        // It was asked what it is and nothing else.
        for (const escsim::ReceivedRequest& request : bench.bus.requests(16))
            QCOMPARE(request.port, uint16_t(430));
    }
    QCOMPARE(bench.widget<QComboBox>("comboBox_dev_ver")->currentText(), kVersion);
    RequestLog requests;
    requests.onEntry = [&, restarts = 0](const QString& entry) mutable {
        if (entry == "cmd 16 ffff 0" && ++restarts == swapAt)
            bench.bus.swapNodes();
    };
    ProgressWatch progress(devTable(bench.page()), "10");
    click(bench.page(), "btnUpgradedev");

    // During the upgrade: the throttle test is off, the controls locked.
    QCOMPARE(throttle->currentIndex(), 0);
    QVERIFY(bench.controlsDisabled());
    QTRY_VERIFY_WITH_TIMEOUT(!progress.texts.isEmpty(), kSlowMs);
    QCOMPARE(throttle->currentIndex(), 0);
    QVERIFY(bench.controlsDisabled());
    LogCapture log;
    if (asked) { // once the node back for part 2 has the question who it is
        const auto askedBeforePart2 = [&requests] {
            const int status = requests.entries.indexOf("reg 16 5 op 0", requests.entries.indexOf("cmd 16 ffff 0"));
            return status > 0 && requests.entries.indexOf("info 16", status) > status;
        };
        const auto questionTaken = [&bench] { // nothing else is asked until its answer
            const auto all = bench.bus.requests(16);
            return !all.empty() && all.back().port == kPortNodeInfo;
        };
        QTRY_VERIFY_WITH_TIMEOUT(askedBeforePart2() && questionTaken(), 40000);
        bench.bus.swapNodes();
    }
    if (swapAt || asked) { // never a success, nor part 2 for the device waiting for it
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({kFailure}), 40000);
        QTest::qWait(2500);
        QCOMPARE(boxes.texts(), QStringList({kFailure}));
        QCOMPARE(requests.entries.filter("download 16").size(), asked ? 1 : swapAt);
        // Asked again at its restart, not ended by the watchdog.
        QVERIFY(!asked || log.contains(QtCriticalMsg, "now answers as another device"));
        QVERIFY(bench.bus.image(16, 2).empty() && bench.controlsEnabled());
        return;
    }

    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({kSuccess}), 40000);
    QVERIFY(bench.controlsEnabled());
    if (after) { // the row, the details and the progress cell follow the new device
        QTRY_COMPARE_WITH_TIMEOUT(rowTexts(table, row).value(3), QString("2.5"), kSlowMs);
        bench.bus.swapNodes();
        QTRY_COMPARE_WITH_TIMEOUT(rowTexts(table, row).value(3), QString("2.3"), kSlowMs);
        QCOMPARE(bench.widget<QLineEdit>("lEdit_upgrade_firmver")->text(), QString("2.3"));
        QCOMPARE(table->item(row, 5)->text(), QString());
        return;
    }
    // The node is asked once who it is, and shows the new firmware, beside
    // the list too.
    QTRY_COMPARE_WITH_TIMEOUT(rowTexts(table, row).value(3), QString("2.5"), kSlowMs);
    QCOMPARE(bench.widget<QLineEdit>("lEdit_upgrade_firmver")->text(), QString("2.5"));
    QTest::qWait(2500); // room for a stray re-read or a second box
    QCOMPARE(boxes.texts(), QStringList({kSuccess}));
    QCOMPARE(upgradeSteps(requests.entries), upgradeSteps(upgradeRequests(part1, part2)));

    // Both parts arrived byte for byte, under their unique data.
    QCOMPARE(requests.images.value(0), testdb::image(kVersion, 1, part1));
    QCOMPARE(requests.images.value(1), testdb::image(kVersion, 2, part2));
    QCOMPARE(bench.bus.image(16, 1), padded(testdb::image(kVersion, 1, part1)));
    QCOMPARE(bench.bus.image(16, 2), padded(testdb::image(kVersion, 2, part2)));
    QCOMPARE(QByteArray::fromStdString(bench.bus.imagePath(16, 1)), testdb::uniqueData(kVersion, 1).left(8));
    QCOMPARE(QByteArray::fromStdString(bench.bus.imagePath(16, 2)), testdb::uniqueData(kVersion, 2).left(8));

    // The progress climbed to 100% and stays there, from the start's clearing
    // of what an earlier attempt left in the cell.
    QCOMPARE(progress.current(), QString("100%"));
    const QStringList climb = progress.texts.mid(progress.texts.lastIndexOf(QString()) + 1);
    int last = -1;
    for (const QString& text : climb) {
        QVERIFY2(text.endsWith('%'), qPrintable(text));
        const int percent = text.chopped(1).toInt();
        QVERIFY2(percent >= last, qPrintable(progress.texts.join(' ')));
        last = percent;
    }
    QVERIFY(climb.size() > 3);
}

// A part 2 that fits in one write reaches 100% before it is requested: the
// version must still be known then.
void tst_FirmwareUpgrade::smallLastPartUpgrades()
{
    Bench bench(simOptions({16, 17}));
    const int part1 = 1000, part2 = 200;
    QVERIFY(bench.start({testdb::row(kVersion, "newest", part1, part2)}));
    ModalBoxCloser boxes;
    QVERIFY(bench.open());
    QVERIFY(bench.choose("10"));
    RequestLog requests;
    click(bench.page(), "btnUpgradedev");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({kSuccess}), 40000);
    QCOMPARE(bench.bus.image(16, 2), padded(testdb::image(kVersion, 2, part2)));
    QCOMPARE(devTable(bench.page())->item(0, 5)->text(), QString("100%"));

    // The next node upgraded at once: the first upgrade's single shots
    // leave the second its node, which is asked who it is before its part 2.
    QVERIFY(bench.choose("11"));
    click(bench.page(), "btnUpgradedev");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({kSuccess, kSuccess}), 40000);
    QCOMPARE(bench.bus.image(17, 2), padded(testdb::image(kVersion, 2, part2)));
    const QStringList once = upgradeSteps(upgradeRequests(part1, part2));
    QCOMPARE(upgradeSteps(requests.entries).mid(0, once.size()), once);
    const int second = requests.entries.indexOf("info 17");
    const int info = requests.entries.indexOf(QRegularExpression("info 1[67]"), second + 1);
    QVERIFY2(second >= 0 && info > second && info < requests.entries.lastIndexOf("cmd 17 ffff 0"),
             qPrintable(requests.entries.join(", ")));
}

// Replies that are not the upgrading node's answers to the running step:
// another node's upgrade status and file-write result, and a store command's
// status from the node itself.
void tst_FirmwareUpgrade::strayRepliesChangeNothing()
{
    Bench bench(simOptions({16, 17}));
    const int part1 = 40 * 1024, part2 = 2000;
    QVERIFY(bench.start({testdb::row(kVersion, "newest", part1, part2)}));
    ModalBoxCloser boxes;
    QVERIFY(bench.open());
    QVERIFY(bench.choose("10"));
    RequestLog requests;
    ProgressWatch progress(devTable(bench.page()), "10");
    click(bench.page(), "btnUpgradedev");
    QTRY_VERIFY_WITH_TIMEOUT(progress.percent() >= 5, kSlowMs);
    QVERIFY(progress.percent() < 90);

    TQCAN* page = bench.page();
    page->doProcessRecvTQPack(record(256, 17, std::string("\x10\x05\xa0\x00", 4))); // "part 1 received"
    page->doProcessRecvTQPack(record(256, 17, std::string("\x10\x05\x20\x00", 4))); // "ready for part 1"
    page->doProcessRecvTQPack(record(409, 17, std::string("\x00\x00", 2)));         // a write acknowledged
    page->doProcessRecvTQPack(record(435, 17, std::string("\x00", 1)));             // status 0
    page->doProcessRecvTQPack(record(435, 16, std::string("\x00", 1)));             // a store reply
    page->doProcessRecvTQPack(record(435, 17, std::string("\x05", 1)));             // another node refuses
    QCOMPARE(bench.widget<QComboBox>("comboBox_dev_ver")->currentText(), kVersion);

    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({kSuccess}), 60000);
    QTRY_COMPARE_WITH_TIMEOUT(upgradeSteps(requests.entries), upgradeSteps(upgradeRequests(part1, part2)), kSlowMs);
    QCOMPARE(bench.bus.image(16, 1), padded(testdb::image(kVersion, 1, part1)));
    QCOMPARE(bench.bus.image(16, 2), padded(testdb::image(kVersion, 2, part2)));
    QVERIFY(bench.bus.image(17, 1).empty());
}

void tst_FirmwareUpgrade::stalledPartFailsAfterTenSeconds_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("node stops answering") << 0;
    QTest::newRow("node answers 13") << 13;
    // At once, never by the watchdog.
    QTest::newRow("node answers as another device") << -1;
}

void tst_FirmwareUpgrade::stalledPartFailsAfterTenSeconds()
{
    QFETCH(int, fault);
    Bench bench(simOptions());
    QVERIFY(bench.start({testdb::row(kVersion, "newest", 40 * 1024, 1000)}));
    ModalBoxCloser boxes;
    QVERIFY(bench.open());
    QVERIFY(bench.choose("10"));
    ProgressWatch progress(devTable(bench.page()), "10");
    click(bench.page(), "btnUpgradedev");
    QTRY_VERIFY_WITH_TIMEOUT(progress.percent() >= 5, kSlowMs);
    if (fault == 0)
        bench.bus.setNodeSilent(16, true);
    else if (fault > 0)
        bench.bus.setFileWriteError(16, uint16_t(fault));
    else
        bench.page()->doProcessRecvTQPack(deviceInfo(16, "P_FLY-MOTOR_B"));

    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({kFailure}), 20000);
    const qint64 afterProgress = progress.since.elapsed();
    QVERIFY2(fault < 0 ? afterProgress < 8000 : afterProgress >= 8800 && afterProgress <= 11500,
             qPrintable(QString::number(afterProgress)));
    QVERIFY(bench.controlsEnabled());
    QVERIFY(progress.percent() < 100);

    // Nothing goes to the node after the failure.
    const uint64_t sent = bench.framesFromPc();
    QTest::qWait(3000);
    QCOMPARE(bench.framesFromPc(), sent);
    QCOMPARE(boxes.texts(), QStringList({kFailure}));
}

void tst_FirmwareUpgrade::unexpectedStatusIsAskedAgainUntilTheWatchdog_data()
{
    // From the request named on, the node answers every read of its upgrade
    // status with success and a value no step expects (0).
    QTest::addColumn<QString>("from");
    QTest::newRow("part 1 in transfer") << "download 16 8192";
    QTest::newRow("restarting between the parts") << "cmd 16 ffff 0";
    QTest::newRow("part 2 in transfer") << "download 16 4096";
}

void tst_FirmwareUpgrade::unexpectedStatusIsAskedAgainUntilTheWatchdog()
{
    QFETCH(QString, from);
    Bench bench(simOptions());
    QVERIFY(bench.start({testdb::row(kVersion, "newest", 8192, 4096)}));
    ModalBoxCloser boxes;
    QVERIFY(bench.open());
    QVERIFY(bench.choose("10"));
    RequestLog requests;
    ProgressWatch progress(devTable(bench.page()), "10");
    int fromIndex = -1;
    requests.onEntry = [&](const QString& entry) {
        if (fromIndex < 0 && entry == from) {
            fromIndex = requests.entries.size() - 1;
            bench.bus.setRegisterFault(16, 5, 0x10);
        }
    };
    click(bench.page(), "btnUpgradedev");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({kFailure}), 40000);
    const qint64 failedAt = requests.clock.elapsed();
    QVERIFY(fromIndex >= 0);
    QVERIFY(bench.controlsEnabled());

    // The last progress: the last acknowledged write, or the step into the
    // restart (its command). The watchdog ends the upgrade 10 s after it.
    const qint64 lastProgress = from.startsWith("cmd") ? requests.times.at(fromIndex)
                                                       : failedAt - progress.since.elapsed();
    const qint64 afterProgress = failedAt - lastProgress;
    QVERIFY2(afterProgress >= 8800 && afterProgress <= 11500, qPrintable(QString::number(afterProgress)));
    // Meanwhile the node was asked again every 2 s.
    QList<qint64> reads;
    for (int i = fromIndex; i < requests.entries.size(); ++i) {
        if (requests.entries.at(i) == "reg 16 5 op 0")
            reads << requests.times.at(i);
    }
    QVERIFY2(reads.size() >= 3, qPrintable(requests.entries.join(", ")));
    for (int i = 1; i < reads.size(); ++i)
        QVERIFY2(reads.at(i) - reads.at(i - 1) >= 1800 && reads.at(i) - reads.at(i - 1) <= 2600,
                 qPrintable(QString::number(reads.at(i) - reads.at(i - 1))));
    // The question at the start, and the one before part 2.
    QCOMPARE(requests.entries.count("info 16"), from == "download 16 4096" ? 2 : 1);
}

// The port is closed in the middle of part 1: the watchdog ends the upgrade.
// The node's boot loader still waits for an image; after reopening, a second
// upgrade of the same node succeeds.
void tst_FirmwareUpgrade::portClosedMidPartThenRetrySucceeds()
{
    Bench bench(simOptions());
    const int part1 = 40 * 1024, part2 = 1000;
    QVERIFY(bench.start({testdb::row(kVersion, "newest", part1, part2)}));
    ModalBoxCloser boxes;
    QVERIFY(bench.open());
    QVERIFY(bench.choose("10"));
    {
        ProgressWatch progress(devTable(bench.page()), "10");
        click(bench.page(), "btnUpgradedev");
        QTRY_VERIFY_WITH_TIMEOUT(progress.percent() >= 5, kSlowMs);
        click(bench.page(), "btnOpen"); // close
        QCOMPARE(caption(bench.page(), "btnOpen"), QString("Open"));
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({kFailure}), 20000);
        QVERIFY(bench.controlsEnabled());
    }
    QVERIFY(bench.bus.inUpgradeMode(16));
    QVERIFY(bench.bus.image(16, 1).empty());

    boxes.clear();
    QVERIFY(bench.open());
    QVERIFY(bench.choose("10"));
    QCOMPARE(bench.widget<QComboBox>("comboBox_dev_ver")->currentText(), kVersion);
    click(bench.page(), "btnUpgradedev");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({kSuccess}), 60000);
    QCOMPARE(bench.bus.image(16, 1), padded(testdb::image(kVersion, 1, part1)));
    QCOMPARE(bench.bus.image(16, 2), padded(testdb::image(kVersion, 2, part2)));
    QTRY_COMPARE_WITH_TIMEOUT(rowTexts(devTable(bench.page()), 0).value(3), QString("2.5"), kSlowMs);
}

// A refused start sends nothing (but the question what the node is) and
// leaves the page idle: a node's status 0 and "ready" arriving later start
// no transfer.
void tst_FirmwareUpgrade::refusedStartsSendNothing()
{
    Bench bench(simOptions());
    QVERIFY(bench.start({testdb::row("2.4.0", "older", 512, 512), testdb::row(kVersion, "newest", 1000, 1000)}));
    ModalBoxCloser boxes;
    QVERIFY(bench.open());
    RequestLog requests;
    // A throttle test runs, and goes on running through refused starts.
    auto* throttle = bench.widget<QComboBox>("comboBoxThrot");
    throttle->setCurrentIndex(1);
    QVERIFY(bench.page()->throttleTimer().isActive());

    click(bench.page(), "btnUpgradedev"); // no device chosen
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({"Please Select One Device"}), kSlowMs);
    QCOMPARE(throttle->currentIndex(), 1);
    QVERIFY(bench.page()->throttleTimer().isActive());

    // A device without firmware in the database: no version to offer.
    QVERIFY(bench.choose("10"));
    bench.widget<QComboBox>("comboBox_dev_ver")->clear();
    click(bench.page(), "btnUpgradedev");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(),
                              QStringList({"Please Select One Device",
                                           "Not Have Valid Firmware To Updata,Please Check !"}),
                              kSlowMs);
    QCOMPARE(throttle->currentIndex(), 1);
    QVERIFY(bench.page()->throttleTimer().isActive());
    // The chosen node reports another type, whose versions then show; asked
    // at the press, it is what it was. Then it says nothing.
    QVERIFY(bench.choose("10"));
    bench.page()->doProcessRecvTQPack(deviceInfo(16, "P_FLY-MOTOR_B"));
    QCOMPARE(bench.widget<QComboBox>("comboBox_dev_ver")->currentText(), QString("1.0.0"));
    click(bench.page(), "btnUpgradedev");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts().value(2), kNowAnother, kSlowMs);
    QCOMPARE(bench.widget<QComboBox>("comboBox_dev_ver")->currentText(), kVersion);
    bench.widget<QComboBox>("comboBox_dev_ver")->setCurrentText("2.4.0");
    bench.bus.setNodeSilent(16, true);
    click(bench.page(), "btnUpgradedev");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts().value(3),
                              QString("Node 0x10 did not say what device it is: nothing was sent to it. Please try again."),
                              kSlowMs);
    QCOMPARE(bench.widget<QComboBox>("comboBox_dev_ver")->currentText(), QString("2.4.0")); // the choice kept
    bench.bus.setNodeSilent(16, false);
    QTRY_COMPARE_WITH_TIMEOUT(requests.entries.size(), 3, kSlowMs); // heard after its silence: who is it?
    const uint64_t sent = bench.framesFromPc();

    // Its heartbeat's uptime not below the last one heard: no restart.
    const uint32_t uptime = bench.bus.uptime(16) + 1;
    std::string beat("\0\0\0\0\0\x03", 6);
    for (int i = 0; i < 4; ++i)
        beat[i] = char(uptime >> (8 * i));
    bench.page()->doProcessRecvTQPack(record(435, 16, std::string("\x00", 1)));
    bench.page()->doProcessRecvTQPack(record(256, 16, std::string("\x10\x05\x20\x00", 4)));
    bench.page()->doProcessRecvTQPack(record(7509, 16, beat));
    QTest::qWait(500);
    QCOMPARE(requests.entries, QStringList({"info 16", "info 16", "info 16"}));
    QCOMPARE(bench.framesFromPc(), sent);
    QVERIFY(bench.controlsEnabled());
    QCOMPARE(boxes.texts().size(), 4);
}

void tst_FirmwareUpgrade::missingPartFailsAtOnce_data()
{
    // A version that no node could complete: one of its parts without an
    // image, or with unique data too short for the path of every write.
    QTest::addColumn<testdb::Row>("version");
    const testdb::Row whole = testdb::row(kVersion, "both parts", 1000, 1000);
    testdb::Row r = testdb::row(kVersion, "part 1 only", 1000, 0);
    QTest::newRow("no part 2") << r;
    r = whole;
    r.rom1File = QByteArray("");
    QTest::newRow("empty part 1") << r;
    r = whole;
    r.rom2File = QByteArray("");
    QTest::newRow("empty part 2, its unique data there") << r;
    r = whole;
    r.rom1Sum = testdb::uniqueData(kVersion, 1).left(7);
    QTest::newRow("unique data of part 1 of 7 bytes") << r;
    r = whole;
    r.rom2Sum = testdb::uniqueData(kVersion, 2).left(7);
    QTest::newRow("unique data of part 2 of 7 bytes") << r;
}

// The box comes at the click, and the node never leaves its application:
// it is not even asked to.
void tst_FirmwareUpgrade::missingPartFailsAtOnce()
{
    QFETCH(testdb::Row, version);
    Bench bench(simOptions());
    QVERIFY(bench.start({version}));
    ModalBoxCloser boxes;
    QVERIFY(bench.open());
    QVERIFY(bench.choose("10"));
    QCOMPARE(bench.widget<QComboBox>("comboBox_dev_ver")->currentText(), kVersion);
    // A throttle test runs, and a refused start leaves it running.
    auto* throttle = bench.widget<QComboBox>("comboBoxThrot");
    throttle->setCurrentIndex(1);
    RequestLog requests;
    click(bench.page(), "btnUpgradedev");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({kFailure}), kSlowMs);
    QCOMPARE(requests.entries, QStringList());
    QCOMPARE(throttle->currentIndex(), 1);
    QVERIFY(bench.page()->throttleTimer().isActive());
    throttle->setCurrentIndex(0);
    QVERIFY(bench.controlsEnabled());

    // Room for a late request: none goes out, and the node never was told
    // to enter its boot loader.
    QTest::qWait(1000);
    QCOMPARE(requests.entries, QStringList());
    QCOMPARE(boxes.texts(), QStringList({kFailure}));
    for (const escsim::ReceivedRequest& request : bench.bus.requests(16))
        QVERIFY2(request.port != 435 && request.port != 409, qPrintable(QString::number(request.port)));
    QVERIFY(!bench.bus.inUpgradeMode(16));
    QVERIFY(bench.bus.image(16, 1).empty());
}

// The node refuses the enter-upgrade command (a wrong access code): the
// upgrade ends at once, not by the watchdog.
void tst_FirmwareUpgrade::rejectedCommandFailsAtOnce()
{
    escsim::Options o = simOptions();
    o.accessCode = "another code";
    Bench bench(o);
    QVERIFY(bench.start({testdb::row(kVersion, "newest", 1000, 1000)}));
    ModalBoxCloser boxes;
    QVERIFY(bench.open());
    QVERIFY(bench.choose("10"));
    QElapsedTimer sinceClick;
    sinceClick.start();
    click(bench.page(), "btnUpgradedev");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({kFailure}), kSlowMs);
    QVERIFY2(sinceClick.elapsed() < 5000, qPrintable(QString::number(sinceClick.elapsed())));
    QVERIFY(bench.controlsEnabled());
    QVERIFY(!bench.bus.inUpgradeMode(16));
}

QTEST_MAIN(tst_FirmwareUpgrade)
#include "tst_firmware_upgrade.moc"
