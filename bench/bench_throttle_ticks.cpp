// The throttle test's 10 ms ticks while the page is busy: 32 simulated ESCs
// send telemetry at the link's full rate (the line paced to 500000 baud:
// 48 messages of each kind per node and second fill it; at 64 the simulated
// adapter drops what the line cannot carry), all 8 groups run, and one ESC
// is ticked so that its telemetry also feeds the live chart. The spacing of
// the ticks, taken where the page hands each group-1 message to its
// controller: target p99 at most 12 ms. It runs 30 s, long enough for the
// simulated adapter's queue towards the PC to show whether the line keeps
// up: its deepest and final depth and the frames it dropped are reported.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

#include <algorithm>
#include <vector>

#include "app/appwidget.h"
#include "app/tqformalpagecontrol.h"
#include "configurator/tqcan.h"
#include "fullbus.h"
#include "linkharness.h"
#include "pagetesthelpers.h"

using namespace pagetest;

namespace {

constexpr int kRunMs = 30000;
constexpr int kSampleMs = 100;

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * (v.size() - 1) + 0.5))];
}

} // namespace

static void BM_ThrottleTickSpacing(benchmark::State& state)
{
    PageEnv env; // translations and settings of its own
    escsim::Bus bus(fullbus::options(double(state.range(0))));
    std::string error;
    const QString path = QString::fromStdString(startOnThread(bus, &error));
    if (path.isEmpty() || !env.ready()) {
        state.SkipWithError("no simulator or translations");
        return;
    }
    {
        appwidget window;
        window.show();
        TQCAN* page = window.configuratorPage();
        page->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(2);
        typePort(page, path);
        click(page, "btnOpen");
        if (!QTest::qWaitFor([&] { return page->findChild<QWidget*>("spinBox_y_32")->isEnabled(); }, 30000)) {
            state.SkipWithError("the 32 rows were not enabled");
            return;
        }
        for (int row = 1; row <= fullbus::kNodes; ++row)
            page->findChild<QSpinBox*>(QString("spinBox_y_%1").arg(row))->setValue(row * 50);
        page->findChild<QAbstractButton*>("checkBox_y1_1")->setChecked(true);

        std::vector<double> spacing;
        QElapsedTimer clock;
        qint64 last = -1;
        QObject probe;
        QObject::connect(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalGasMode6152F, &probe,
                         [&](int subject, int, int, int, int) {
                             if (subject != 6152)
                                 return;
                             const qint64 now = clock.nsecsElapsed();
                             if (last >= 0)
                                 spacing.push_back((now - last) / 1e6);
                             last = now;
                         });
        const uint64_t outBefore = bus.adapterStats().framesOut;
        const uint64_t droppedBefore = bus.adapterStats().framesDropped;
        uint64_t deepest = 0;
        for (auto _ : state) {
            clock.start();
            page->findChild<QComboBox*>("comboBoxThrot")->setCurrentIndex(8);
            // The application's own event loop: QTest::qWait sleeps 10 ms
            // between its rounds, which would delay the ticks it measures.
            QEventLoop loop;
            QTimer sample;
            QObject::connect(&sample, &QTimer::timeout, &loop,
                             [&] { deepest = std::max(deepest, bus.adapterStats().framesQueued); });
            sample.start(kSampleMs);
            QTimer::singleShot(kRunMs, &loop, &QEventLoop::quit);
            loop.exec();
            page->findChild<QComboBox*>("comboBoxThrot")->setCurrentIndex(0);
        }
        const double secs = clock.nsecsElapsed() / 1e9;
        const escsim::AdapterStats stats = bus.adapterStats();
        if (spacing.size() < 100) {
            state.SkipWithError("too few ticks");
        } else {
            state.counters["ticks"] = double(spacing.size());
            state.counters["p50_ms"] = percentile(spacing, 0.50);
            state.counters["p99_ms"] = percentile(spacing, 0.99);
            state.counters["max_ms"] = percentile(spacing, 1.0);
            // The load: adapter frames towards the PC per second, and those
            // the simulated adapter had to drop (the line was full).
            state.counters["frames_to_pc_per_s"] = double(stats.framesOut - outBefore) / secs;
            state.counters["dropped"] = double(stats.framesDropped - droppedBefore);
            state.counters["queue_deepest"] = double(deepest);
            state.counters["queue_at_end"] = double(stats.framesQueued);
        }
        click(page, "btnOpen");
    }
    bus.stop();
}
BENCHMARK(BM_ThrottleTickSpacing)->Arg(fullbus::kFullRateHz)->Arg(64)->ArgName("telemetry_hz")->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules("*.debug=false");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
