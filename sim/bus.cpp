#include "escsim.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "link/crc.h"
#include "pty.h"
#include "simadapter.h"
#include "simnode.h"

namespace escsim {

namespace {

constexpr size_t kMaxLogLines = 1000;
constexpr int kNoClientRecheckMs = 20;

uint64_t nowUs()
{
    using namespace std::chrono;
    return uint64_t(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count()) + 1;
}

} // namespace

Bus::Bus(Options options) : m_opt(std::move(options))
{
    if (m_opt.description.empty()) {
        m_opt.description = sampleDescription();
        if (m_opt.descriptionChinese.empty())
            m_opt.descriptionChinese = sampleDescriptionChinese();
    }
    if (m_opt.descriptionChinese.empty())
        m_opt.descriptionChinese = m_opt.description;
    m_adapter.reset(new SimAdapter(m_opt.baudLimit));
    Logger logger = [this](const std::string& line) { addLog(line); };
    for (size_t i = 0; i < m_opt.nodes.size(); ++i) {
        NodeConfig c;
        c.nodeId = m_opt.nodes[i];
        c.name = m_opt.name;
        for (const auto& named : m_opt.nodeNames) {
            if (named.first == c.nodeId)
                c.name = named.second;
        }
        c.hwMajor = m_opt.hwMajor;
        c.hwMinor = m_opt.hwMinor;
        c.swMajor = m_opt.swMajor;
        c.swMinor = m_opt.swMinor;
        c.newSwMajor = m_opt.newSwMajor;
        c.newSwMinor = m_opt.newSwMinor;
        c.answerRestart = m_opt.answerRestart;
        c.description = m_opt.description;
        c.descriptionChinese = m_opt.descriptionChinese;
        c.accessCode = m_opt.accessCode;
        c.telemetryHz = m_opt.telemetryHz;
        c.statusBits = m_opt.statusBits;
        for (const auto& slow : m_opt.slowInfo) {
            if (slow.first == c.nodeId)
                c.infoDelayUs = uint64_t(slow.second) * 1000;
        }
        const char tag[] = "ESC-SIM";
        std::copy(tag, tag + 7, c.uniqueId.begin());
        c.uniqueId[14] = uint8_t(i);
        c.uniqueId[15] = m_opt.nodes[i];
        m_nodes.emplace_back(new SimNode(c, logger));
        m_completionsSeen.push_back(0);
    }
}

Bus::~Bus()
{
    stop();
    if (m_wake[0] >= 0) {
        ::close(m_wake[0]);
        ::close(m_wake[1]);
    }
}

std::string Bus::start(std::string* error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pty && m_pty->isOpen())
        return m_pty->slavePath();
    if (m_wake[0] < 0) {
        if (::pipe(m_wake) != 0) {
            if (error)
                *error = "pipe failed";
            return std::string();
        }
        for (int fd : m_wake)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    const std::string path = openTerminal(error);
    if (path.empty())
        return path;
    const uint64_t now = nowUs();
    for (auto& n : m_nodes)
        n->powerUp(now);
    return path;
}

std::string Bus::openTerminal(std::string* error)
{
    m_pty.reset(new Pty);
    if (!m_pty->open(error))
        return std::string();
    // Open and close the slave once: from then on the master reports a
    // hang-up whenever no client holds the port, so nothing is queued for a
    // client that is not there.
    const int s = ::open(m_pty->slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (s >= 0)
        ::close(s);
    m_clientSeen = false;
    return m_pty->slavePath();
}

std::string Bus::replug(std::string* error)
{
    std::string path;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_pty)
            return std::string(); // never started: nothing to pull
        m_pty.reset(); // its master closes: the PC's end hangs up
        m_adapter.reset(new SimAdapter(m_opt.baudLimit));
        m_delayed.clear();
        path = openTerminal(error);
    }
    wake();
    return path;
}

void Bus::wake()
{
    if (m_wake[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake[1], &c, 1);
    }
}

std::string Bus::path() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pty ? m_pty->slavePath() : std::string();
}

void Bus::addLog(const std::string& line)
{
    if (m_log.size() >= kMaxLogLines)
        m_log.erase(m_log.begin(), m_log.begin() + long(kMaxLogLines / 10));
    m_log.push_back(line);
    if (m_opt.log)
        m_opt.log(line);
}

SimNode* Bus::findNode(uint8_t nodeId) const
{
    for (const auto& n : m_nodes) {
        if (n->nodeId() == nodeId)
            return n.get();
    }
    return nullptr;
}

uint64_t Bus::tickNodes(uint64_t now)
{
    uint64_t next = now + 1000000;
    for (auto& n : m_nodes)
        next = std::min(next, n->tick(now));
    routeNodeOutput(now);
    return std::min(next, releaseDelayed(now));
}

void Bus::routeNodeOutput(uint64_t now)
{
    const uint32_t rate = m_adapter->bitrate();
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        SimNode& n = *m_nodes[i];
        SimNode::Outgoing o;
        while (n.takeOutgoing(o)) {
            if (o.bitrate != rate || n.silent())
                continue;
            if (o.delayUs == 0) {
                m_adapter->send(o.frame.id, o.frame.data, o.frame.len);
                continue;
            }
            DelayedFrame d {now + o.delayUs, o.frame.id, {}, o.frame.len};
            std::copy(o.frame.data, o.frame.data + 8, d.data);
            m_delayed.push_back(d);
        }
        const FirmwareReceiver& fw = n.firmware();
        if (fw.completions() != m_completionsSeen[i]) {
            m_completionsSeen[i] = fw.completions();
            if (m_imageCb)
                m_imageCb(n.nodeId(), fw.lastCompletedPart(), fw.image(fw.lastCompletedPart()));
        }
    }
}

uint64_t Bus::releaseDelayed(uint64_t now)
{
    uint64_t next = UINT64_MAX;
    // In the order they were sent: a transfer's frames stay in order.
    auto keep = m_delayed.begin();
    for (const DelayedFrame& d : m_delayed) {
        if (d.dueUs <= now) {
            m_adapter->send(d.canId, d.data, d.len);
        } else {
            next = std::min(next, d.dueUs);
            *keep++ = d;
        }
    }
    m_delayed.erase(keep, m_delayed.end());
    return next;
}

size_t Bus::handleInput(uint64_t now, bool paced)
{
    uint8_t buf[4096];
    const size_t allowed = paced ? std::min(sizeof buf, m_adapter->readAllowance(now)) : sizeof buf;
    const size_t got = m_pty->read(buf, allowed);
    if (got == 0)
        return 0;
    m_adapter->feed(buf, got, now, [&](const adapter::Frame& f) {
        canard::CanFrame cf;
        cf.id = f.can_id;
        cf.len = f.dlc;
        std::copy(f.data, f.data + 8, cf.data);
        const uint32_t rate = m_adapter->bitrate();
        for (auto& n : m_nodes) {
            if (n->hears(rate))
                n->receive(cf, now);
        }
        routeNodeOutput(now);
    });
    return got;
}

void Bus::flushOutput(uint64_t now)
{
    for (int guard = 0; guard < 64 && m_adapter->hasOutput(); ++guard) {
        const std::vector<uint8_t> bytes = m_adapter->pendingOutput(now);
        if (bytes.empty())
            return;
        const size_t n = m_pty->write(bytes.data(), bytes.size());
        m_adapter->consumed(n, now);
        if (n < bytes.size())
            return;
    }
}

void Bus::runOnce(int timeoutMs)
{
    pollfd fds[2] {};
    nfds_t nfds = 1;
    int waitMs = std::max(0, timeoutMs);
    uint64_t waitUs = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_pty || !m_pty->isOpen())
            return;
        const uint64_t now = nowUs();
        const uint64_t next = tickNodes(now);

        pollfd probe {m_pty->fd(), POLLIN, 0};
        const bool client = ::poll(&probe, 1, 0) >= 0 && !(probe.revents & POLLHUP);
        if (!client) {
            if (m_clientSeen) {
                // What the PC wrote before it closed the port was on its way
                // to the bus, as a real port drains its output on closing;
                // then nothing stale is left for the next client.
                for (int guard = 0; guard < 64 && (probe.revents & POLLIN) && handleInput(now, false) > 0; ++guard) {
                }
                ::tcflush(m_pty->fd(), TCIOFLUSH);
            }
            m_clientSeen = false;
            m_adapter->dropOutput();
            waitMs = std::min(waitMs, kNoClientRecheckMs);
        } else {
            m_clientSeen = true;
            if (!(probe.revents & POLLIN))
                m_adapter->inputIdle(); // nothing from the PC waits: the line rests
            flushOutput(now);
        }

        waitUs = next > now ? next - now : 0;
        fds[0] = {m_wake[0], POLLIN, 0};
        if (client) {
            short events = 0;
            if (m_adapter->readAllowance(now) >= adapter::kFrameSize)
                events |= POLLIN;
            else
                waitUs = std::min<uint64_t>(waitUs, m_adapter->readDelayUs(now));
            if (m_adapter->hasOutput()) {
                const uint64_t d = m_adapter->outputDelayUs(now);
                if (d == 0)
                    events |= POLLOUT;
                else
                    waitUs = std::min(waitUs, d);
            }
            fds[1] = {m_pty->fd(), events, 0};
            nfds = 2;
        }
        waitUs = std::min<uint64_t>(uint64_t(waitMs) * 1000, waitUs);
    }

    // Microsecond waits: a paced line moves one frame every 320 us, which a
    // millisecond poll would stretch threefold.
    const timespec ts {time_t(waitUs / 1000000), long(waitUs % 1000000) * 1000};
    const int r = ::ppoll(fds, nfds, &ts, nullptr);

    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_pty || !m_pty->isOpen())
        return;
    if (r > 0 && (fds[0].revents & POLLIN)) {
        char drain[64];
        while (::read(m_wake[0], drain, sizeof drain) > 0) {
        }
    }
    const uint64_t now = nowUs();
    if (r > 0 && nfds == 2 && (fds[1].revents & POLLIN) && !(fds[1].revents & POLLHUP))
        handleInput(now);
    tickNodes(now);
    if (m_clientSeen)
        flushOutput(now);
}

void Bus::run()
{
    if (path().empty())
        return; // not started: nothing to serve
    while (!m_stop.load())
        runOnce(100);
}

void Bus::startThread()
{
    if (m_thread.joinable())
        return;
    m_stop = false;
    m_thread = std::thread([this] { run(); });
}

void Bus::stop()
{
    m_stop = true;
    wake();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

// ---- inspection ----

std::vector<uint8_t> Bus::nodeIds() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<uint8_t> ids;
    for (const auto& n : m_nodes)
        ids.push_back(n->nodeId());
    return ids;
}

bool Bus::hasNode(uint8_t nodeId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return findNode(nodeId) != nullptr;
}

uint32_t Bus::adapterBitrate() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_adapter->bitrate();
}

std::vector<uint32_t> Bus::bitrateCommands() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_adapter->bitrateCommands();
}

bool Bus::registerValue(uint8_t nodeId, uint8_t reg, int16_t* value) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SimNode* n = findNode(nodeId);
    if (!n || !n->registers().has(reg))
        return false;
    if (value)
        *value = n->registers().value(reg);
    return true;
}

int Bus::registerWriteCount(uint8_t reg) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int sum = 0;
    for (const auto& n : m_nodes)
        sum += n->registerWrites(reg);
    return sum;
}

std::vector<ReceivedRequest> Bus::requests(uint8_t nodeId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SimNode* n = findNode(nodeId);
    return n ? std::vector<ReceivedRequest>(n->requests().begin(), n->requests().end())
             : std::vector<ReceivedRequest>();
}

void Bus::setDescription(uint8_t nodeId, const std::string& description, const std::string& chinese)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (SimNode* n = findNode(nodeId))
        n->setDescription(description, chinese);
}

void Bus::holdResponses(uint8_t nodeId, uint16_t port, unsigned after)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (SimNode* n = findNode(nodeId))
        n->holdResponses(port, after);
}

void Bus::releaseResponses(uint8_t nodeId)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (SimNode* n = findNode(nodeId))
            n->releaseResponses();
    }
    // What was held goes out now, not at the loop's next timed turn.
    wake();
}

void Bus::setRegisterFault(uint8_t nodeId, uint8_t reg, uint8_t opState)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (SimNode* n = findNode(nodeId))
        n->setRegisterFault(reg, opState);
}

uint32_t Bus::nodeBitrate(uint8_t nodeId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SimNode* n = findNode(nodeId);
    return n ? n->canBitrate() : 0;
}

bool Bus::inUpgradeMode(uint8_t nodeId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SimNode* n = findNode(nodeId);
    return n && n->firmware().inUpgradeMode();
}

bool Bus::restarting(uint8_t nodeId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SimNode* n = findNode(nodeId);
    return n && n->restarting();
}

std::vector<uint8_t> Bus::image(uint8_t nodeId, int part) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SimNode* n = findNode(nodeId);
    return n ? n->firmware().image(part) : std::vector<uint8_t>();
}

uint32_t Bus::imageCrc32(uint8_t nodeId, int part) const
{
    const std::vector<uint8_t> img = image(nodeId, part);
    return img.empty() ? 0 : crc32Firmware(img.data(), uint32_t(img.size()));
}

std::string Bus::imagePath(uint8_t nodeId, int part) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SimNode* n = findNode(nodeId);
    return n ? n->firmware().path(part) : std::string();
}

uint16_t Bus::throttle(uint8_t nodeId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SimNode* n = findNode(nodeId);
    return n ? n->throttle() : 0;
}

std::vector<uint16_t> Bus::throttles() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<uint16_t> out;
    for (const auto& n : m_nodes)
        out.push_back(n->throttle());
    return out;
}

int16_t Bus::speed(uint8_t nodeId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SimNode* n = findNode(nodeId);
    return n ? n->speed() : 0;
}

void Bus::setStatusBits(uint8_t nodeId, uint16_t bits)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (SimNode* n = findNode(nodeId))
        n->setStatusBits(bits);
}

uint16_t Bus::statusWord(uint8_t nodeId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SimNode* n = findNode(nodeId);
    return n ? n->statusWord() : 0;
}

void Bus::setNodeSilent(uint8_t nodeId, bool silent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (SimNode* n = findNode(nodeId))
        n->setSilent(silent);
}

void Bus::swapNodes()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const uint64_t now = nowUs();
        for (const NodeSwap& swap : m_opt.swaps) {
            for (size_t i = 0; i < m_nodes.size(); ++i) {
                if (m_nodes[i]->nodeId() != swap.node)
                    continue;
                m_nodes[i]->replaceDevice(swap, now, m_opt.heartbeatZeroBeforeSwap);
                m_completionsSeen[i] = 0; // the new device has received no part
                break;
            }
        }
    }
    // The new device powers up on time, not at the loop's next timed turn.
    wake();
}

uint32_t Bus::uptime(uint8_t nodeId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SimNode* n = findNode(nodeId);
    return n ? n->uptime() : 0;
}

void Bus::setFileWriteError(uint8_t nodeId, uint16_t code)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (SimNode* n = findNode(nodeId))
        n->setFileWriteError(code);
}

void Bus::setFileReadError(uint8_t nodeId, uint16_t code)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (SimNode* n = findNode(nodeId))
        n->setFileReadError(code);
}

int Bus::softwareVersion(uint8_t nodeId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SimNode* n = findNode(nodeId);
    return n ? n->softwareVersion() : -1;
}

AdapterStats Bus::adapterStats() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    AdapterStats s;
    s.framesIn = m_adapter->framesIn();
    s.framesOut = m_adapter->framesOut();
    s.framesDropped = m_adapter->framesDropped();
    s.framesQueued = m_adapter->framesQueued();
    s.garbageBytes = m_adapter->decoderStats().droppedBytes;
    s.badFrames = m_adapter->decoderStats().badFrames;
    return s;
}

std::vector<std::string> Bus::logLines() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

void Bus::setImageCallback(std::function<void(uint8_t, int, const std::vector<uint8_t>&)> cb)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_imageCb = std::move(cb);
}

} // namespace escsim
