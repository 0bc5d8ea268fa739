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
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <random>

#include "app/communicat.h"
#include "app/msgtypes.h"
#include "link/subserialtqthread.h"
#include "sim/escsim.h"

namespace {

constexpr int kImageSize = 64 * 1024;
constexpr int kChunks = kImageSize / 256;
constexpr double kFramesPerSecond = 3125.0;
constexpr int kFramesPerWrite = 40;  // 272-byte request: 39 x 7 + 1
constexpr int kFramesFinalWrite = 3; // 16-byte request
constexpr int kNode = 16;

// Time the link allows for one part: frames out, one acknowledgement frame
// back per write, the pacing before each write but the first.
double idealSeconds()
{
    const double framesOut = kChunks * kFramesPerWrite + kFramesFinalWrite;
    const double framesBack = kChunks + 1;
    return (framesOut + framesBack) / kFramesPerSecond +
           (kChunks - 1) * subSerialTQThread::kFirmwarePacingMs / 1000.0;
}

} // namespace

// Plays the page: sends requests to the worker and one GO per acknowledged write.
class PageDriver : public QObject
{
    Q_OBJECT
public:
    explicit PageDriver(subSerialTQThread* worker) : m_worker(worker) {}

    void send(int cmd, const QString& arg1, const QString& arg2, int param, const QByteArray& data = QByteArray())
    {
        Communicat c;
        c.SrcType = e_TQFORMALPAGE;
        c.DestType = e_TQTHREAD;
        c.cmdtype = g_strCmdType[cmd];
        c.arg1 = arg1;
        c.arg2 = arg2;
        c.data = data;
        c.param = param;
        subSerialTQThread* w = m_worker;
        QMetaObject::invokeMethod(m_worker, [w, c]() { w->doProcessRecvReq(c); }, Qt::QueuedConnection);
    }

    // Waits for a record on `port` (first u16 of its payload in *value).
    bool waitForPort(quint16 port, int timeoutMs, quint16* value = nullptr)
    {
        m_waitPort = port;
        m_got = false;
        runLoop(timeoutMs);
        m_waitPort = 0;
        if (value)
            *value = m_value;
        return m_got;
    }

    // Sends the image and drives the transfer to the closing write's
    // acknowledgement. False on a refused write or a stall.
    bool transfer(const QByteArray& image, int timeoutMs)
    {
        m_acks = 0;
        m_failed = false;
        m_transferring = true;
        send(e_TQ_OPAL_DOWNLOAD, "BENCH-FW", QString::number(image.size()), kNode, image);
        runLoop(timeoutMs);
        m_transferring = false;
        return !m_failed && m_acks == kChunks + 1;
    }

public slots:
    void onRecord(response_data_struct_t r)
    {
        const quint16 first = r.payload_size >= 2 ? quint16(r.payload[0] | (r.payload[1] << 8))
                              : r.payload_size == 1 ? r.payload[0]
                                                    : 0xFFFF;
        delete[] r.payload;
        if (m_transferring && r.port_id == 409) {
            if (first != 0) {
                m_failed = true;
                m_loop.quit();
                return;
            }
            if (++m_acks == kChunks + 1) {
                m_loop.quit();
                return;
            }
            send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), kNode);
            return;
        }
        if (m_waitPort != 0 && r.port_id == m_waitPort) {
            m_value = first;
            m_got = true;
            m_loop.quit();
        }
    }

private:
    void runLoop(int timeoutMs)
    {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &m_loop, &QEventLoop::quit);
        guard.start(timeoutMs);
        m_loop.exec();
    }

    subSerialTQThread* m_worker;
    QEventLoop m_loop;
    quint16 m_waitPort = 0;
    quint16 m_value = 0;
    bool m_got = false;
    bool m_transferring = false;
    bool m_failed = false;
    int m_acks = 0;
};

static void BM_FirmwareTransfer64KiB(benchmark::State& state)
{
    escsim::Options o;
    o.nodes = {uint8_t(kNode)};
    o.baudLimit = true;
    escsim::Bus bus(o);
    std::string err;
    const QString path = QString::fromStdString(bus.start(&err));
    if (path.isEmpty()) {
        state.SkipWithError(("simulator: " + err).c_str());
        return;
    }
    bus.startThread();

    QThread thread;
    auto* worker = new subSerialTQThread;
    PageDriver page(worker);
    QObject::connect(worker, &subSerialTQThread::signalNotifyTQPage, &page, &PageDriver::onRecord,
                     Qt::QueuedConnection);
    QObject::connect(&thread, &QThread::finished, worker, &subSerialTQThread::cleanup);
    worker->moveToThread(&thread);
    thread.start();

    QByteArray image(kImageSize, Qt::Uninitialized);
    std::mt19937 rng(7);
    for (char& c : image)
        c = char(rng() & 0xFF);

    quint16 v = 0;
    page.send(e_TQ_OPAL_OPEN, path, QString(), 0);
    if (!page.waitForPort(kRespOpenResult, 10000) ) {
        state.SkipWithError("port did not open");
    } else {
        double ratioSum = 0, measuredSum = 0;
        for (auto _ : state) {
            // Each round: the node enters upgrade mode, ready for part 1.
            page.send(e_TQ_OPAL_CTRL, QString::number(0xFFFD), " .vr-kisa", kNode);
            if (!page.waitForPort(435, 10000, &v) || v != 0) {
                state.SkipWithError("node refused upgrade mode");
                break;
            }
            QElapsedTimer t;
            t.start();
            const bool ok = page.transfer(image, 120000);
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

    thread.quit();
    thread.wait();
    delete worker;
    QCoreApplication::sendPostedEvents(&page);
    bus.stop();
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

#include "bench_firmware_transfer.moc"
