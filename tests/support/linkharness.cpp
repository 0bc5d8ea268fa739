#include "linkharness.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "app/communicat.h"
#include "app/msgtypes.h"
#include "link/cyphalports.h"
#include "link/subserialtqthread.h"

namespace {
using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}
} // namespace

int LinkRecord::u16(size_t at) const
{
    return at + 1 < payload.size() ? int(payload[at] | (payload[at + 1] << 8)) : -1;
}

int LinkRecord::i16(size_t at) const
{
    return at + 1 < payload.size() ? int(int16_t(uint16_t(u16(at)))) : -100000;
}

// ---- RecordQueue ----

bool RecordQueue::waitFor(const RecordPred& pred, int timeoutMs, LinkRecord* out)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
            if (pred(*it)) {
                if (out)
                    *out = *it;
                m_queue.erase(it);
                return true;
            }
        }
        const int left = msLeft(deadline);
        if (left == 0)
            return false;
        pumpOnce(std::min(left, 50));
    }
}

bool RecordQueue::waitFor(uint16_t port, uint8_t node, int timeoutMs, LinkRecord* out)
{
    return waitFor([&](const LinkRecord& r) { return r.port == port && r.node == node; }, timeoutMs, out);
}

bool RecordQueue::waitUntil(const std::function<bool()>& cond, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cond()) {
        const int left = msLeft(deadline);
        if (left == 0)
            return false;
        pumpOnce(std::min(left, 10));
    }
    return true;
}

int RecordQueue::count(const RecordPred& pred) const
{
    return int(std::count_if(m_queue.begin(), m_queue.end(), pred));
}

void RecordQueue::take(response_data_struct_t& r)
{
    LinkRecord rec;
    rec.port = r.port_id;
    rec.node = r.remote_node_id;
    rec.extra = r.extra;
    rec.priority = r.priority;
    rec.transferId = r.transfer_id;
    rec.hasPayload = r.payload != nullptr;
    if (r.payload)
        rec.payload.assign(r.payload, r.payload + r.payload_size);
    freeResponse(r);
    m_queue.push_back(std::move(rec));
    // Heartbeats and telemetry keep coming: keep the queue bounded.
    while (m_queue.size() > 20000)
        m_queue.pop_front();
}

// ---- SimClient ----

bool SimClient::open(const std::string& path)
{
    close();
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0)
        return false;
    termios tio {};
    if (tcgetattr(m_fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_fd, TCSANOW, &tio);
    }
    m_link.reset();
    return true;
}

void SimClient::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool SimClient::writeRaw(const std::vector<uint8_t>& bytes)
{
    size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
    while (m_fd >= 0 && done < bytes.size() && Clock::now() < deadline) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += size_t(n);
        else
            pumpOnce(5); // the line is full: keep reading so that the simulator never stalls
    }
    return done == bytes.size();
}

bool SimClient::send(uint16_t port, uint8_t dest, const void* args)
{
    return m_link.send(port, dest, args) == 0 && writeRaw(m_link.takeTxBytes());
}

bool SimClient::sendRawTransfer(canard::TransferKind kind, uint16_t port, uint8_t dest,
                                const std::vector<uint8_t>& payload)
{
    canard::TxMetadata md;
    md.kind = kind;
    md.port_id = port;
    md.destination_node_id = dest;
    return m_link.transport().push(md, payload.data(), payload.size()) > 0 && writeRaw(m_link.takeTxBytes());
}

void SimClient::pumpOnce(int maxMs)
{
    pollfd p {m_fd, POLLIN, 0};
    if (m_fd < 0 || ::poll(&p, 1, maxMs) <= 0 || !(p.revents & POLLIN))
        return;
    uint8_t buf[4096];
    const ssize_t n = ::read(m_fd, buf, sizeof buf);
    if (n <= 0)
        return;
    m_raw.feed(buf, size_t(n), [this](const adapter::Frame& f) {
        if (adapter::isStatusFrame(f))
            m_status.push_back(f);
    });
    std::vector<response_data_struct_t> recs;
    m_link.feed(buf, size_t(n), recs);
    for (auto& r : recs)
        take(r);
}

std::string startOnThread(escsim::Bus& bus, std::string* error)
{
    const std::string path = bus.start(error);
    if (!path.empty())
        bus.startThread();
    return path;
}

// ---- WorkerRecords, WorkerHarness ----

WorkerRecords::WorkerRecords(subSerialTQThread* w) : worker(w)
{
    registerCommunicatMetaTypes();
    QObject::connect(worker, &subSerialTQThread::signalNotifyTQPage, &m_receiver,
                     [this](response_data_struct_t r) {
                         take(r);
                         if (m_loop)
                             m_loop->quit();
                     },
                     Qt::QueuedConnection);
}

WorkerRecords::~WorkerRecords()
{
    QCoreApplication::sendPostedEvents(&m_receiver);
}

void WorkerRecords::pumpOnce(int maxMs)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(maxMs);
    m_loop = &loop;
    loop.exec();
    m_loop = nullptr;
}

WorkerHarness::WorkerHarness() : WorkerRecords(new subSerialTQThread)
{
    QObject::connect(&m_thread, &QThread::finished, worker, &subSerialTQThread::cleanup);
    worker->moveToThread(&m_thread);
    m_thread.start();
}

WorkerHarness::~WorkerHarness()
{
    m_thread.quit();
    m_thread.wait();
    delete worker;
}

void WorkerHarness::send(int cmd, const QString& arg1, const QString& arg2, int param, const QByteArray& data)
{
    Communicat c;
    c.SrcType = e_TQFORMALPAGE;
    c.DestType = e_TQTHREAD;
    c.cmdtype = g_strCmdType[cmd];
    c.arg1 = arg1;
    c.arg2 = arg2;
    c.data = data;
    c.param = param;
    subSerialTQThread* w = worker;
    QMetaObject::invokeMethod(worker, [w, c]() { w->doProcessRecvReq(c); }, Qt::QueuedConnection);
}

int WorkerHarness::open(const QString& name, int bitrate)
{
    send(e_TQ_OPAL_OPEN, name, QString(), bitrate);
    LinkRecord r;
    return waitFor(kRespOpenResult, 0, kWaitMs, &r) ? int(r.extra) : -1;
}
