// The simulated adapter's line paced to 500000 baud, read raw from its
// terminal by a reader that keeps up, for 10 s: 32 nodes send telemetry at
// `telemetry_hz` while the PC writes frames (that no node takes) as fast as
// the terminal accepts them. Reported: adapter frames a second towards the
// PC (counted from the bytes read) and from the PC (taken off the line by
// the adapter), what the nodes offered, the deepest queue towards the PC
// seen and the frames it dropped.
//
// Target: 3125 frames a second (+-1 %) each way whenever frames wait; at 48
// Hz the nodes offer 3104 a second, which the line carries without a queue.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "link/adapterframe.h"
#include "fullbus.h"
#include "sim/escsim.h"

namespace {

constexpr double kWarmUpSeconds = 2.0;
constexpr double kRunSeconds = 10.0;

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

int openRaw(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio {};
    if (fd >= 0 && tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

} // namespace

static void BM_LineRate(benchmark::State& state)
{
    escsim::Bus bus(fullbus::options(double(state.range(0))));
    std::string error;
    const std::string path = bus.start(&error);
    const int fd = path.empty() ? -1 : openRaw(path);
    if (fd < 0) {
        state.SkipWithError(("simulator: " + error).c_str());
        return;
    }
    bus.startThread();

    // A CAN frame no node subscribes to: the adapter takes it off the line
    // and the nodes drop it.
    std::vector<uint8_t> pcFrames(64 * adapter::kFrameSize);
    const uint8_t data[8] = {0, 1, 2, 3, 4, 5, 6, 0xE0};
    for (size_t at = 0; at < pcFrames.size(); at += adapter::kFrameSize)
        adapter::encodeFrame(0x1060640F, data, 8, pcFrames.data() + at);

    for (auto _ : state) {
        adapter::StreamDecoder decoder(4096);
        uint64_t framesRead = 0;
        size_t written = 0;
        bool counting = false;
        escsim::AdapterStats before {};
        size_t deepest = 0;
        const Clock::time_point start = Clock::now();
        Clock::time_point windowStart = start, lastSample = start;
        uint8_t buf[8192];
        for (;;) {
            if (!counting && since(start) >= kWarmUpSeconds) {
                counting = true;
                framesRead = 0;
                before = bus.adapterStats();
                windowStart = lastSample = Clock::now();
            }
            if (counting && since(windowStart) >= kRunSeconds)
                break;
            pollfd p {fd, POLLIN | POLLOUT, 0};
            ::poll(&p, 1, 50);
            ssize_t n = 0;
            while ((n = ::read(fd, buf, sizeof buf)) > 0)
                decoder.feed(buf, size_t(n), [&](const adapter::Frame&) { ++framesRead; });
            while ((n = ::write(fd, pcFrames.data() + written % adapter::kFrameSize,
                                pcFrames.size() - written % adapter::kFrameSize)) > 0)
                written += size_t(n);
            if (counting && since(lastSample) >= 0.1) {
                deepest = std::max<size_t>(deepest, size_t(bus.adapterStats().framesQueued));
                lastSample = Clock::now();
            }
        }
        const double secs = since(windowStart);
        const escsim::AdapterStats after = bus.adapterStats();
        state.counters["to_pc_frames_per_s"] = double(framesRead) / secs;
        state.counters["from_pc_frames_per_s"] = double(after.framesIn - before.framesIn) / secs;
        // What the nodes sent: carried, dropped or still queued.
        const auto sent = [](const escsim::AdapterStats& s) {
            return double(s.framesOut + s.framesDropped + s.framesQueued);
        };
        state.counters["offered_to_pc_per_s"] = (sent(after) - sent(before)) / secs;
        state.counters["queue_deepest"] = double(deepest);
        state.counters["queue_at_end"] = double(after.framesQueued);
        state.counters["dropped"] = double(after.framesDropped - before.framesDropped);
    }
    bus.stop();
    ::close(fd);
}
BENCHMARK(BM_LineRate)->Arg(fullbus::kFullRateHz)->Arg(64)->ArgName("telemetry_hz")->Iterations(1)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
