// A 64 KiB firmware part sent by the real serial worker through a
// pseudo-terminal to the simulated ESC, with the line paced to 500000 baud.
// The figure that matters is the ratio of the measured time to what the link
// allows: every 256-byte write is 40 CAN frames in 40 adapter frames of 16
// bytes (50000 bytes/s, so 3125 frames/s), each write waits for the node's
// one-frame acknowledgement, and every write after the first waits the
// worker's 10 ms pacing. Target: ratio <= 1.3.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <random>

#include "app/communicat.h"
#include "app/msgtypes.h"
#include "link/subserialtqthread.h"
#include "firmwarelinkbudget.h"
#include "linkharness.h"

namespace {

constexpr int kImageSize = 64 * 1024;
constexpr int kChunks = kImageSize / 256;
constexpr int kNode = 16;

// Time the link allows for the one part.
double idealSeconds()
{
    return linkbudget::partSeconds(kChunks);
}

} // namespace

// Plays the page: sends the image, then one GO per acknowledged write, until
// the closing write is acknowledged. False on a refused write or a stall.
static bool transfer(WorkerHarness& page, const QByteArray& image, int timeoutMs)
{
    page.send(e_TQ_OPAL_DOWNLOAD, "BENCH-FW", QString::number(image.size()), kNode, image);
    for (int acks = 0; acks < kChunks + 1; ++acks) {
        LinkRecord r;
        if (!page.waitFor(409, kNode, timeoutMs, &r) || r.u16(0) != 0)
            return false;
        if (acks < kChunks)
            page.send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), kNode);
    }
    return true;
}

static void BM_FirmwareTransfer64KiB(benchmark::State& state)
{
    escsim::Options o;
    o.nodes = {uint8_t(kNode)};
    o.baudLimit = true;
    escsim::Bus bus(o);
    std::string err;
    const QString path = QString::fromStdString(startOnThread(bus, &err));
    if (path.isEmpty()) {
        state.SkipWithError(("simulator: " + err).c_str());
        return;
    }
    WorkerHarness page;

    QByteArray image(kImageSize, Qt::Uninitialized);
    std::mt19937 rng(7);
    for (char& c : image)
        c = char(rng() & 0xFF);

    if (page.open(path) != kOpenOk) {
        state.SkipWithError("port did not open");
    } else {
        double ratioSum = 0, measuredSum = 0;
        for (auto _ : state) {
            // Each round: the node enters upgrade mode, ready for part 1.
            page.send(e_TQ_OPAL_CTRL, QString::number(0xFFFD), " .vr-kisa", kNode);
            LinkRecord answer;
            if (!page.waitFor(435, kNode, 10000, &answer) || answer.payload.at(0) != 0) {
                state.SkipWithError("node refused upgrade mode");
                break;
            }
            QElapsedTimer t;
            t.start();
            const bool ok = transfer(page, image, 120000);
            const double secs = t.nsecsElapsed() / 1e9;
            if (!ok) {
                state.SkipWithError("transfer failed or stalled");
                break;
            }
            if (bus.imageCrc32(uint8_t(kNode), 1) == 0) {
                state.SkipWithError("simulated node has no image");
                break;
            }
            state.SetIterationTime(secs);
            measuredSum += secs;
            ratioSum += secs / idealSeconds();
        }
        state.counters["ratio"] = benchmark::Counter(ratioSum, benchmark::Counter::kAvgIterations);
        state.counters["measured_s"] = benchmark::Counter(measuredSum, benchmark::Counter::kAvgIterations);
        state.counters["ideal_s"] = idealSeconds();
        state.SetBytesProcessed(int64_t(state.iterations()) * kImageSize);
    }
}
BENCHMARK(BM_FirmwareTransfer64KiB)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    registerCommunicatMetaTypes();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
