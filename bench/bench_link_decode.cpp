// Frames decoded per second through the adapter stream decoder, the Cyphal/CAN
// transport and the response decoders, on a realistic traffic mix:
// 33 heartbeats, 32 x (6160 + 6161) telemetry, 8 throttle-rate register
// replies, and 4 multi-frame 257 file-read replies (263 B -> 38 frames each).
// Target: >= 312,500 frames/s (100x the link's 3125 frames/s).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "link/adapterframe.h"
#include "link/cyphalports.h"
#include "link/libcanard/canard.h"
#include "link/linksession.h"

namespace {

struct Mix {
    std::vector<uint8_t> bytes;
    std::vector<canard::CanFrame> frames;
    size_t nframes = 0;
};

void add(Mix& m, uint8_t node, canard::TransferKind kind, uint16_t port, uint8_t prio, const std::vector<uint8_t>& p,
         int tid)
{
    canard::Instance dev(node);
    canard::TxMetadata md;
    md.kind = kind;
    md.port_id = port;
    md.priority = prio;
    md.destination_node_id = canard::kPcNodeId;
    md.transfer_id = tid;
    dev.push(md, p.data(), p.size());
    while (const canard::CanFrame* f = dev.peekTx()) {
        uint8_t b[adapter::kFrameSize];
        adapter::encodeFrame(f->id, f->data, f->len, b);
        m.bytes.insert(m.bytes.end(), b, b + adapter::kFrameSize);
        m.frames.push_back(*f);
        ++m.nframes;
        dev.popTx();
    }
}

const Mix& mix()
{
    static const Mix m = [] {
        Mix x;
        using K = canard::TransferKind;
        for (uint8_t n = 16; n <= 48; ++n)
            add(x, n, K::Message, kPortHeartbeat, 4, {uint8_t(n), 0, 0, 0, 0, 0, 0}, n % 32);
        for (uint8_t n = 16; n < 48; ++n) {
            add(x, n, K::Message, kPortTelemetry, 3, {1, 2, 3, 4, 5, 6}, n % 32);
            add(x, n, K::Message, kPortTelemetry2, 3, {1, 2, 3, 4, 5, 6, 7}, n % 32);
        }
        for (int i = 0; i < 8; ++i)
            add(x, uint8_t(16 + i), K::Response, kPortRegAccess, 1, {0, 5, 0x34, 0x12}, i);
        std::vector<uint8_t> chunk(263);
        for (size_t i = 0; i < chunk.size(); ++i)
            chunk[i] = uint8_t(i < 7 ? 0 : 'a' + i % 26);
        for (int i = 0; i < 4; ++i)
            add(x, uint8_t(20 + i), K::Response, kPortFileRead, 4, chunk, i);
        return x;
    }();
    return m;
}

// Full path: serial bytes -> records (what the worker does).
void BM_LinkSessionDecode(benchmark::State& state)
{
    const Mix& m = mix();
    LinkSession link;
    std::vector<response_data_struct_t> out;
    out.reserve(256);
    const size_t piece = size_t(state.range(0));
    uint64_t now = 0;
    size_t records = 0;
    for (auto _ : state) {
        now += 3000000; // past the transfer-ID timeout: each round is new traffic
        for (size_t pos = 0; pos < m.bytes.size(); pos += piece) {
            const size_t n = std::min(piece, m.bytes.size() - pos);
            link.feed(m.bytes.data() + pos, n, now, out);
        }
        records += out.size();
        for (auto& r : out)
            freeResponse(r);
        out.clear();
    }
    if (link.transport().stats().rx_duplicates || link.transport().stats().rx_malformed)
        state.SkipWithError("transfers lost");
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(m.nframes));
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()) * double(m.nframes),
                                                    benchmark::Counter::kIsRate);
    state.counters["records/iter"] = double(records) / double(state.iterations());
}
BENCHMARK(BM_LinkSessionDecode)->Arg(16)->Arg(64)->Arg(4096);

// Stream decoder alone.
void BM_StreamDecoder(benchmark::State& state)
{
    const Mix& m = mix();
    adapter::StreamDecoder dec;
    size_t n = 0;
    for (auto _ : state) {
        dec.feed(m.bytes.data(), m.bytes.size(), [&](const adapter::Frame& f) { n += f.dlc; });
    }
    benchmark::DoNotOptimize(n);
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(m.nframes));
}
BENCHMARK(BM_StreamDecoder);

// Transport reassembly alone.
void BM_TransportAccept(benchmark::State& state)
{
    const Mix& m = mix();
    canard::Instance ins;
    subscribePcPorts(ins);
    canard::RxTransfer t;
    uint64_t now = 0;
    size_t n = 0;
    for (auto _ : state) {
        now += 3000000;
        for (const auto& f : m.frames)
            n += ins.accept(f, now, t);
    }
    benchmark::DoNotOptimize(n);
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(m.nframes));
}
BENCHMARK(BM_TransportAccept);

} // namespace

BENCHMARK_MAIN();
