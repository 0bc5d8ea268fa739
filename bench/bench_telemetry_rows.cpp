// 10,000 telemetry responses (ports 6160 and 6161 in turn) spread over 32
// enabled ESC rows, through the configurator page's response slot, as the
// serial worker delivers them. Target: under 0.1 s for all of them.
// ticked:1 also feeds one row's samples to the live chart and, after the
// loop, lets the chart draw what is pending.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QtTest>

#include "configurator/tqcan.h"
#include "pagetesthelpers.h"

using namespace pagetest;

namespace {

constexpr int kResponses = 10000;
constexpr int kRows = 32;

std::string le16(int v)
{
    return std::string {char(v & 0xFF), char((v >> 8) & 0xFF)};
}

response_data_struct_t telemetry(int i)
{
    const uint8_t node = uint8_t(16 + i % kRows);
    const int v = (i * 37) % 3000;
    if ((i / kRows) % 2 == 0)
        return record(6160, node, le16(v * 10) + le16(v / 16) + le16(v ? 0x20 : 0));
    return record(6161, node, le16(v) + le16(252) + std::string {char(70 + v % 50), char(68), char(72)});
}

} // namespace

static void BM_TelemetryThroughPage(benchmark::State& state)
{
    PageEnv env; // working folder, translations and settings of its own
    {
        TQCAN page;
        page.resize(1366, 900);
        page.show();
        page.findChild<QTabWidget*>("tabWidget")->setCurrentIndex(2);
        typePort(&page, "/dev/tq-bench-port");
        click(&page, "btnOpen");
        for (uint8_t node = 16; node < 16 + kRows; ++node) {
            page.doProcessRecvTQPack(heartbeat(node));
            page.doProcessRecvTQPack(deviceInfo(node));
            page.doProcessRecvTQPack(heartbeat(node));
        }
        if (!page.findChild<QWidget*>("spinBox_y_32")->isEnabled())
            state.SkipWithError("the rows were not enabled");
        if (state.range(0))
            page.findChild<QAbstractButton*>("checkBox_y1_7")->setChecked(true);
        QApplication::processEvents();

        int i = 0;
        for (auto _ : state) {
            for (int k = 0; k < kResponses; ++k)
                page.doProcessRecvTQPack(telemetry(i++));
            QApplication::processEvents();
        }
        // Seconds per response (shown as e.g. "4u").
        state.counters["per_response"] = benchmark::Counter(
            double(state.iterations()) * kResponses, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
        if (page.findChild<QLineEdit*>("lEdit_ym_y1_32")->text() == "0")
            state.SkipWithError("the rows show nothing");
    }
}
BENCHMARK(BM_TelemetryThroughPage)->Arg(0)->Arg(1)->ArgName("ticked")->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    registerCommunicatMetaTypes();
    // The page's debug lines would dominate the figure.
    QLoggingCategory::setFilterRules("*.debug=false\n*.warning=false");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
