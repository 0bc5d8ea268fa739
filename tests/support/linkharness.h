#ifndef LINKHARNESS_H
#define LINKHARNESS_H

// Harnesses for the device link and the simulated ESC bus, shared by the
// link and simulator tests and the firmware-transfer benchmark:
//   SimClient     - the PC side on the simulator's pseudo-terminal, speaking
//                   through the link core (LinkSession);
//   SimFixture    - a simulator on its own thread plus a SimClient;
//   WorkerRecords - what a real serial worker reports, collected in the
//                   calling thread (payloads copied and freed at once, as the
//                   page does);
//   WorkerHarness - a real serial worker on a thread of its own, as the hub
//                   runs it.
// Each collects what arrives as LinkRecords in a RecordQueue.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/response_data.h"
#include "link/adapterframe.h"
#include "link/linksession.h"
#include "sim/escsim.h"

class QEventLoop;
class subSerialTQThread;

// Generous: the tests must pass on a loaded two-core machine.
constexpr int kWaitMs = 10000;

struct LinkRecord {
    uint16_t port = 0;
    uint8_t node = 0;
    uint8_t extra = 0;
    uint8_t priority = 0;
    uint8_t transferId = 0;
    bool hasPayload = false;
    std::vector<uint8_t> payload;

    // Little-endian fields of the payload; -1 (u16) or -100000 (i16) past its end.
    int u16(size_t at) const;
    int i16(size_t at) const;
};

using RecordPred = std::function<bool(const LinkRecord&)>;

class RecordQueue {
public:
    virtual ~RecordQueue() = default;

    // Waits up to timeoutMs for a record matching pred; the first one is
    // taken out of the queue and copied to *out.
    bool waitFor(const RecordPred& pred, int timeoutMs = kWaitMs, LinkRecord* out = nullptr);
    bool waitFor(uint16_t port, uint8_t node, int timeoutMs = kWaitMs, LinkRecord* out = nullptr);
    // Pumps input until cond() holds or timeoutMs passes.
    bool waitUntil(const std::function<bool()>& cond, int timeoutMs = kWaitMs);
    // Queued records matching pred, without waiting.
    int count(const RecordPred& pred) const;
    void clear() { m_queue.clear(); }

protected:
    // Waits at most maxMs for input and queues what arrives.
    virtual void pumpOnce(int maxMs) = 0;
    // Queues a copy of r and frees its payload.
    void take(response_data_struct_t& r);

private:
    std::deque<LinkRecord> m_queue;
};

class SimClient : public RecordQueue {
public:
    ~SimClient() override { close(); }

    bool open(const std::string& path);
    void close();

    bool writeRaw(const std::vector<uint8_t>& bytes);
    // Request (dest 0..127) or message (0xFF) through the port layer.
    bool send(uint16_t port, uint8_t dest, const void* args);
    // A transfer with a payload the port layer would not build.
    bool sendRawTransfer(canard::TransferKind kind, uint16_t port, uint8_t dest,
                         const std::vector<uint8_t>& payload);
    bool sendBitrate(uint32_t rate) { return writeRaw(LinkSession::bitrateCommandBytes(rate)); }
    // Adapter status frames seen so far.
    const std::vector<adapter::Frame>& statusFrames() const { return m_status; }

protected:
    void pumpOnce(int maxMs) override;

private:
    int m_fd = -1;
    LinkSession m_link;
    adapter::StreamDecoder m_raw;
    std::vector<adapter::Frame> m_status;
};

// Starts the simulator on its own thread; returns its terminal's path, or
// an empty string (with *error filled).
std::string startOnThread(escsim::Bus& bus, std::string* error = nullptr);

struct SimFixture {
    explicit SimFixture(escsim::Options o = escsim::Options()) : bus(std::move(o)) {}
    ~SimFixture()
    {
        client.close();
        bus.stop();
    }
    bool up() { return client.open(startOnThread(bus)); }
    // Sends one request and waits for the answer on the same port.
    bool request(uint16_t port, uint8_t node, const void* args, LinkRecord* out = nullptr)
    {
        return client.send(port, node, args) && client.waitFor(port, node, kWaitMs, out);
    }

    escsim::Bus bus;
    SimClient client;
};

class WorkerRecords : public RecordQueue {
public:
    explicit WorkerRecords(subSerialTQThread* worker);
    // Takes the records still posted, so that no payload leaks; call it only
    // once the worker has stopped.
    ~WorkerRecords() override;

    subSerialTQThread* const worker;

protected:
    void pumpOnce(int maxMs) override;

private:
    QObject m_receiver;
    QEventLoop* m_loop = nullptr;
};

class WorkerHarness : public WorkerRecords {
public:
    WorkerHarness();
    ~WorkerHarness() override;

    // A request from the page, queued to the worker's thread.
    void send(int cmd, const QString& arg1 = QString(), const QString& arg2 = QString(), int param = 0,
              const QByteArray& data = QByteArray());
    // Asks to open `name`; returns the open result (kOpen...) or -1.
    int open(const QString& name, int bitrate = 0);

private:
    QThread m_thread;
};

#endif // LINKHARNESS_H
