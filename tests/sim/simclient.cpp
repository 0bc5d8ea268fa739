#include "simclient.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

SimClient::~SimClient()
{
    close();
}

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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (done < bytes.size() && std::chrono::steady_clock::now() < deadline) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        // The line is full: keep reading so the simulator never stalls on us.
        readOnce(5);
    }
    return done == bytes.size();
}

bool SimClient::flushTx()
{
    return writeRaw(m_link.takeTxBytes());
}

bool SimClient::send(uint16_t port, uint8_t dest, const void* args)
{
    return m_link.send(port, dest, args) == 0 && flushTx();
}

bool SimClient::sendRawTransfer(canard::TransferKind kind, uint16_t port, uint8_t dest,
                                const std::vector<uint8_t>& payload, uint8_t priority)
{
    canard::TxMetadata md;
    md.kind = kind;
    md.port_id = port;
    md.destination_node_id = dest;
    md.priority = priority;
    return m_link.transport().push(md, payload.data(), payload.size()) > 0 && flushTx();
}

bool SimClient::sendBitrate(uint32_t rate)
{
    return writeRaw(LinkSession::bitrateCommandBytes(rate));
}

void SimClient::readOnce(int timeoutMs)
{
    pollfd p {m_fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN))
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
    for (auto& r : recs) {
        Record rec;
        rec.port = r.port_id;
        rec.node = r.remote_node_id;
        rec.priority = r.priority;
        if (r.payload)
            rec.payload.assign(r.payload, r.payload + r.payload_size);
        freeResponse(r);
        m_backlog.push_back(std::move(rec));
    }
    // Keep the backlog bounded: heartbeats and telemetry keep coming.
    while (m_backlog.size() > 20000)
        m_backlog.pop_front();
}

bool SimClient::waitFor(const std::function<bool(const Record&)>& pred, int timeoutMs, Record* out)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        for (auto it = m_backlog.begin(); it != m_backlog.end(); ++it) {
            if (pred(*it)) {
                if (out)
                    *out = *it;
                m_backlog.erase(it);
                return true;
            }
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count());
        readOnce(std::min(left, 50));
    }
}

bool SimClient::waitFor(uint16_t port, uint8_t node, int timeoutMs, Record* out)
{
    return waitFor([&](const Record& r) { return r.port == port && r.node == node; }, timeoutMs, out);
}

void SimClient::pump(int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline)
        readOnce(10);
}

bool SimClient::waitUntil(const std::function<bool()>& cond, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        readOnce(10);
    }
    return true;
}
