#ifndef ESCSIM_TEST_SIMCLIENT_H
#define ESCSIM_TEST_SIMCLIENT_H

// The PC side for simulator tests: opens the simulator's pseudo-terminal
// like a serial port and speaks through the link core (LinkSession).

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/adapterframe.h"
#include "link/linksession.h"

struct Record {
    uint16_t port = 0;
    uint8_t node = 0;
    uint8_t priority = 0;
    std::vector<uint8_t> payload;
};

class SimClient {
public:
    SimClient() = default;
    ~SimClient();

    bool open(const std::string& path);
    void close();

    bool writeRaw(const std::vector<uint8_t>& bytes);
    // Request (dest 0..127) or message (0xFF) through the port layer.
    bool send(uint16_t port, uint8_t dest, const void* args);
    // A transfer with a payload the port layer would not build.
    bool sendRawTransfer(canard::TransferKind kind, uint16_t port, uint8_t dest,
                         const std::vector<uint8_t>& payload, uint8_t priority = 4);
    bool sendBitrate(uint32_t rate);

    // Reads and decodes for up to timeoutMs; the first record matching `pred`
    // is removed from the backlog and returned through `out`.
    bool waitFor(const std::function<bool(const Record&)>& pred, int timeoutMs, Record* out = nullptr);
    bool waitFor(uint16_t port, uint8_t node, int timeoutMs, Record* out = nullptr);
    // Pumps input until cond() holds or timeoutMs passes.
    bool waitUntil(const std::function<bool()>& cond, int timeoutMs);
    // Raw adapter-internal frames seen (status frames).
    const std::vector<adapter::Frame>& statusFrames() const { return m_status; }
    // Pumps input for `ms` without waiting for anything particular.
    void pump(int ms);
    void clearBacklog() { m_backlog.clear(); }

    LinkSession& link() { return m_link; }

private:
    bool flushTx();
    void readOnce(int timeoutMs);

    int m_fd = -1;
    LinkSession m_link;
    adapter::StreamDecoder m_raw;
    std::deque<Record> m_backlog;
    std::vector<adapter::Frame> m_status;
};

// Little-endian helpers for payload checks.
inline int getU16(const std::vector<uint8_t>& p, size_t at)
{
    return at + 1 < p.size() ? int(p[at] | (p[at + 1] << 8)) : -1;
}
inline int getI16(const std::vector<uint8_t>& p, size_t at)
{
    return at + 1 < p.size() ? int(int16_t(uint16_t(p[at] | (p[at + 1] << 8)))) : -100000;
}

#endif // ESCSIM_TEST_SIMCLIENT_H
