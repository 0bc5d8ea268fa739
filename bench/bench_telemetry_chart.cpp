// The live chart with all seven channels on and full 801-point windows:
// each sample replaces the whole point list of every channel. Target: under
// 0.5 ms of GUI-thread time per sample, so that the ticked ESC's telemetry
// leaves the GUI thread responsive.
//
// BM_ChartSampleDrawn   every sample's seven lines laid out at once (what
//                       one replace costs; Qt Charts' line layout dominates)
// BM_ChartSampleStream  1,000 samples arriving every 2 ms (500 per second,
//                       faster than any telemetry the link can carry for one
//                       ESC) with the event loop running, the chart shown
//                       and repainting: GUI-thread CPU time per sample.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QLineSeries>

#include <cmath>
#include <ctime>

#include "telemetry/mainwindow.h"

namespace {

constexpr int kWindow = 801;
constexpr int kStreamGapMs = 2;

double threadCpuSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec / 1e9;
}

void addSample(MainWindow& chart, int i)
{
    const float v = float(1000 + 800 * std::sin(i * 0.05));
    chart.addSamples(v, v / 10, v, 252, 70, 68, 72, true);
}

void prepare(MainWindow& chart)
{
    chart.resize(937, 268);
    chart.show();
    for (int c = 0; c < MainWindow::kChannels; ++c)
        chart.setChannelEnabled(c, true, 1.0f);
    for (int i = 0; i < kWindow; ++i)
        addSample(chart, i);
    chart.flushLines();
    QApplication::processEvents();
}

} // namespace

static void BM_ChartSampleDrawn(benchmark::State& state)
{
    MainWindow chart;
    prepare(chart);
    int i = 0;
    for (auto _ : state) {
        addSample(chart, ++i);
        chart.flushLines();
    }
    if (chart.series(0)->count() != kWindow)
        state.SkipWithError("the window is not full");
}
BENCHMARK(BM_ChartSampleDrawn)->Iterations(1000)->Unit(benchmark::kMicrosecond);

static void BM_ChartSampleStream(benchmark::State& state)
{
    MainWindow chart;
    prepare(chart);
    const int samples = int(state.range(0));
    for (auto _ : state) {
        // Samples come from a timer in the event loop, which also serves
        // the flush timer and the paints, as the page's loop does.
        QEventLoop loop;
        QTimer source;
        source.setTimerType(Qt::PreciseTimer);
        source.setInterval(kStreamGapMs);
        int sent = 0;
        QObject::connect(&source, &QTimer::timeout, [&] {
            addSample(chart, ++sent);
            if (sent == samples)
                loop.quit();
        });
        const double cpu0 = threadCpuSeconds();
        source.start();
        loop.exec();
        QApplication::processEvents(); // the last frame
        const double cpu = threadCpuSeconds() - cpu0;
        state.SetIterationTime(cpu);
        state.counters["cpu_us_per_sample"] = cpu / samples * 1e6;
    }
    chart.flushLines();
    if (chart.series(0)->count() != kWindow)
        state.SkipWithError("the window is not full");
}
BENCHMARK(BM_ChartSampleStream)->Arg(1000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
