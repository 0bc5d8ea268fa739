// A whole two-part firmware upgrade of 64 KiB (two parts of 32 KiB), timed
// from the click on the upgrade button to the success box: the real window
// with its hub and serial worker, the esc-sim program with its line paced to
// 500000 baud, and a real SQLite firmware database.
//
// The figure that matters is the ratio of the measured time to what the link
// and the sequence allow: every frame at 3125 adapter frames per second (the
// writes, their one-frame acknowledgements and the few commands and
// register-5 reads), the worker's 10 ms pause before every write but the
// first of a part, and the sequence's fixed 5 s wait for the node's restart
// between the parts. Target: ratio <= 1.2.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "app/appwidget.h"
#include "configurator/tqcan.h"
#include "firmwaredb.h"
#include "firmwarelinkbudget.h"
#include "link/subserialtqthread.h"
#include "modalboxcloser.h"
#include "pagetesthelpers.h"

using namespace pagetest;

namespace {

constexpr int kPartSize = 32 * 1024;
constexpr int kChunks = kPartSize / 256;
constexpr double kRebootWaitSeconds = 5.0;
const QString kVersion = QStringLiteral("2.5.0");

// Time the link and the sequence allow, from the click to the success box.
double idealSeconds()
{
    // Two parts; enter upgrade mode (2 frames out, 1 back), four register-5
    // reads (1 + 1 each), the restart between the parts (1 out).
    const double otherFrames = 3 + 4 * 2 + 1;
    return 2 * linkbudget::partSeconds(kChunks) + otherFrames / linkbudget::kFramesPerSecond +
           kRebootWaitSeconds;
}

bool writeDatabase()
{
    return testdb::installForPage(QStringLiteral("fw_bench.db"),
                                  {testdb::row(kVersion, "bench", kPartSize, kPartSize)});
}

// The esc-sim program with one node, paced to the adapter's baud rate.
class SimProcess
{
public:
    QString start()
    {
        m_process.setProgram(QStringLiteral(ESC_SIM_EXE));
        m_process.setArguments({"--nodes", "16", "--baud-limit", "--quiet", "--new-sw", "2.5"});
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return QString();
        for (int i = 0; i < 100 && !m_process.canReadLine(); ++i)
            m_process.waitForReadyRead(100);
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~SimProcess()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

private:
    QProcess m_process;
};

// Runs the event loop until pred() holds or timeoutMs passes. Unlike
// QTest::qWaitFor, which sleeps 10 ms between rounds, the page answers every
// reply as soon as it arrives, as under the application's own loop.
bool runUntil(const std::function<bool()>& pred, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (pred())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    if (!pred())
        loop.exec();
    return pred();
}

} // namespace

static void BM_FirmwareUpgrade64KiB(benchmark::State& state)
{
    PageEnv env; // working folder, translations and settings of its own
    SimProcess sim;
    const QString path = sim.start();
    if (!env.ready() || !writeDatabase() || path.isEmpty()) {
        state.SkipWithError("set-up failed (working folder, database or esc-sim)");
        return;
    }
    appwidget window;
    window.show();
    window.setTqcanWorkMode(false);
    TQCAN* page = window.configuratorPage();
    ModalBoxCloser boxes(1);

    typePort(page, path);
    click(page, "btnOpen");
    if (!runUntil([&] { return listed(page).size() == 1; }, 20000)) {
        state.SkipWithError("the node was not listed");
        return;
    }

    double ratioSum = 0, measuredSum = 0;
    for (auto _ : state) {
        boxes.clear();
        clickCell(devTable(page), 0, 1);
        if (child<QComboBox>(page, "comboBox_dev_ver")->currentText() != kVersion) {
            state.SkipWithError("no firmware version offered");
            break;
        }
        QElapsedTimer t;
        t.start();
        click(page, "btnUpgradedev");
        const bool ended = runUntil([&] { return !boxes.texts().isEmpty(); }, 120000);
        const double secs = t.nsecsElapsed() / 1e9;
        if (!ended || boxes.texts() != QStringList({"Upgrade success!"})) {
            state.SkipWithError(qPrintable("upgrade did not succeed: " + boxes.texts().join(" | ")));
            break;
        }
        state.SetIterationTime(secs);
        measuredSum += secs;
        ratioSum += secs / idealSeconds();
        // The node restarts and is asked who it is; then the next round.
        QTest::qWait(1500);
    }
    state.counters["ratio"] = benchmark::Counter(ratioSum, benchmark::Counter::kAvgIterations);
    state.counters["measured_s"] = benchmark::Counter(measuredSum, benchmark::Counter::kAvgIterations);
    state.counters["ideal_s"] = idealSeconds();
    state.SetBytesProcessed(int64_t(state.iterations()) * 2 * kPartSize);
}
BENCHMARK(BM_FirmwareUpgrade64KiB)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    registerCommunicatMetaTypes();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
