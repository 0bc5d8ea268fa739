#include "simnode.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "link/cyphalports.h"

namespace escsim {

namespace {

constexpr uint64_t kSecondUs = 1000000;
// A restart takes 200 ms: the page asks the restarted node for its
// information 500 ms after the upgrade, once.
constexpr uint64_t kRestartSilenceUs = 200000;
constexpr uint16_t kCmdStore = 0xFFFA;
constexpr uint16_t kCmdEnterUpgrade = 0xFFFD;
constexpr uint16_t kCmdRestart = 0xFFFF;
constexpr uint8_t kStatusOk = 0;
constexpr uint8_t kStatusBadCommand = 3;
constexpr uint8_t kStatusBadParameter = 4;
constexpr uint16_t kFileTypeChinese = 1000;
constexpr uint16_t kFileTypeEnglish = 1001;
constexpr int16_t kFileNotFound = 2;
constexpr uint8_t kModeOperational = 0;
constexpr uint8_t kModeSoftwareUpdate = 3;
// The motor's speed follows the set-point at this many units per second, so
// that any change, a stop included, settles within a second.
constexpr int64_t kSpeedSlewPerSecond = 40000;
constexpr int32_t kSpeedPerThrottle = 10;
constexpr size_t kMaxRequestsKept = 1000;

void putLe(std::vector<uint8_t>& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

std::string fmt(const char* f, int a, int b = 0, int c = 0)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, f, a, b, c);
    return buf;
}

} // namespace

uint32_t bitrateOfCode(int code)
{
    static const uint32_t rates[] = {250000, 500000, 800000, 1000000};
    return (code >= 0 && code < 4) ? rates[code] : 0;
}

SimNode::SimNode(const NodeConfig& cfg, Logger log)
    : m_cfg(cfg), m_startCfg(cfg), m_log(std::move(log)), m_ins(cfg.nodeId), m_regs(RegisterTable::fromDescription(cfg.description))
{
    using canard::TransferKind;
    m_ins.setServiceRole(canard::kRoleServer);
    m_ins.subscribe(TransferKind::Request, kPortRegAccess, 4);
    m_ins.subscribe(TransferKind::Request, kPortFileRead, 7);
    m_ins.subscribe(TransferKind::Request, kPortFileWrite, 2048); // room to refuse long writes
    m_ins.subscribe(TransferKind::Request, kPortNodeInfo, 0);
    m_ins.subscribe(TransferKind::Request, kPortExecCommand, 2 + 255);
    m_ins.subscribe(TransferKind::Message, kPortNodeControl, 3);
    m_ins.subscribe(TransferKind::Message, kPortNodeIdAssign, 2);
    for (uint16_t s = kPortThrottleFirst; s <= kPortThrottleLast; ++s)
        m_ins.subscribe(TransferKind::Message, s, 7);
}

bool SimNode::hears(uint32_t adapterBitrate) const
{
    return !m_silent && !restarting() && !unplugged() && canBitrate() == adapterBitrate;
}

int SimNode::registerWrites(uint8_t reg) const
{
    return m_writes[reg];
}

void SimNode::log(const std::string& text) const
{
    if (m_log)
        m_log("node " + std::to_string(nodeId()) + ": " + text);
}

void SimNode::powerUp(uint64_t nowUs)
{
    m_bootUs = nowUs;
    m_nextHeartbeatUs = nowUs;
    m_nextTelemetryUs = nowUs;
    m_speedUs = nowUs;
}

void SimNode::receive(const canard::CanFrame& f, uint64_t nowUs)
{
    canard::RxTransfer t;
    if (m_ins.accept(f, nowUs, t))
        onTransfer(t, nowUs);
}

uint64_t SimNode::tick(uint64_t nowUs)
{
    if (unplugged()) {
        if (nowUs < m_replacedUntilUs)
            return m_replacedUntilUs;
        m_replacedUntilUs = 0;
        powerUp(nowUs);
        log("a new device, " + m_cfg.name + ", powered up");
    }
    if (restarting()) {
        if (nowUs < m_restartUntilUs)
            return m_restartUntilUs;
        finishRestart(nowUs);
    }
    if (nowUs >= m_nextHeartbeatUs) {
        if (!m_silent)
            sendHeartbeat(nowUs);
        m_nextHeartbeatUs += kSecondUs;
        if (m_nextHeartbeatUs <= nowUs) // fell behind (a stalled loop): no burst
            m_nextHeartbeatUs = nowUs + kSecondUs;
    }
    uint64_t next = m_nextHeartbeatUs;
    if (m_cfg.telemetryHz > 0) {
        const uint64_t period = std::max<uint64_t>(1, uint64_t(kSecondUs / m_cfg.telemetryHz));
        if (nowUs >= m_nextTelemetryUs) {
            if (!m_silent)
                sendTelemetry(nowUs);
            m_nextTelemetryUs += period;
            if (m_nextTelemetryUs <= nowUs)
                m_nextTelemetryUs = nowUs + period;
        }
        next = std::min(next, m_nextTelemetryUs);
    }
    return next;
}

bool SimNode::takeOutgoing(Outgoing& out)
{
    if (m_out.empty())
        return false;
    out = m_out.front();
    m_out.pop_front();
    return true;
}

void SimNode::collectTx(uint32_t rate, uint64_t delayUs)
{
    // Tag each frame with the rate it goes out at: a register-4 write is
    // answered at the old rate, then the node switches.
    if (rate == 0)
        rate = canBitrate();
    while (const canard::CanFrame* f = m_ins.peekTx()) {
        m_out.push_back({rate, *f, delayUs});
        m_ins.popTx();
    }
}

void SimNode::respond(const canard::RxTransfer& req, const std::vector<uint8_t>& payload, uint32_t rate)
{
    canard::TxMetadata md;
    md.kind = canard::TransferKind::Response;
    md.priority = req.priority;
    md.port_id = req.port_id;
    md.destination_node_id = req.source_node_id;
    md.transfer_id = req.transfer_id;
    if (m_heldPort != 0 && req.port_id == m_heldPort) {
        if (m_passBeforeHold == 0) {
            m_held.push_back({md, payload, rate});
            return;
        }
        --m_passBeforeHold;
    }
    m_ins.push(md, payload.data(), payload.size());
    collectTx(rate, lineDelayUs(req.port_id));
}

uint64_t SimNode::lineDelayUs(uint16_t port) const
{
    return port == kPortNodeInfo ? m_cfg.infoDelayUs : 0;
}

void SimNode::holdResponses(uint16_t port, unsigned after)
{
    m_heldPort = port;
    m_passBeforeHold = after;
}

void SimNode::releaseResponses()
{
    m_heldPort = 0;
    for (const HeldResponse& h : m_held) {
        m_ins.push(h.md, h.payload.data(), h.payload.size());
        collectTx(h.rate, lineDelayUs(h.md.port_id));
    }
    m_held.clear();
}

void SimNode::replaceDevice(const NodeSwap& swap, uint64_t nowUs, bool heartbeatZeroFirst)
{
    std::deque<Outgoing> last;
    if (heartbeatZeroFirst && !m_silent && !unplugged() && !restarting()) {
        sendHeartbeat(nowUs, 0);
        last.push_back(m_out.back()); // one frame
    }
    // Nothing else of the device that goes stays: not its frames on their
    // way, its half-received transfers, its settings, firmware or requests.
    m_cfg = m_startCfg;
    m_cfg.name = swap.name;
    ++m_devicesSwappedIn;
    m_cfg.uniqueId[12] = uint8_t(m_devicesSwappedIn);
    m_cfg.uniqueId[13] = uint8_t(m_devicesSwappedIn >> 8);
    m_regs = RegisterTable::fromDescription(m_cfg.description);
    m_fw = FirmwareReceiver();
    if (swap.waitingForPart2)
        m_fw.waitForPart2();
    m_regs.setValue(kRegUpgradeStatus, int16_t(m_fw.status()));
    m_out = std::move(last);
    m_ins.dropSessions();
    m_ins.resetTransferIds();
    m_requests.clear();
    m_held.clear();
    m_heldPort = 0;
    m_restartUntilUs = 0;
    m_throttle = 0;
    m_speed = 0;
    m_replacedUntilUs = nowUs + std::max<uint64_t>(uint64_t(swap.silentMs) * 1000, 1);
    log("unplugged; " + swap.name + (swap.waitingForPart2 ? ", waiting for part 2," : "") + " takes its place in "
        + std::to_string(swap.silentMs) + " ms");
}

void SimNode::setDescription(const std::string& description, const std::string& chinese)
{
    m_cfg.description = description;
    m_cfg.descriptionChinese = chinese.empty() ? description : chinese;
    RegisterTable regs = RegisterTable::fromDescription(description);
    regs.copyRegister(kRegCanBitrate, m_regs);
    regs.copyRegister(kRegUpgradeStatus, m_regs);
    m_regs = regs;
}

void SimNode::publish(uint16_t subject, uint8_t priority, const std::vector<uint8_t>& payload, int transferId)
{
    canard::TxMetadata md;
    md.kind = canard::TransferKind::Message;
    md.priority = priority;
    md.port_id = subject;
    md.transfer_id = transferId;
    m_ins.push(md, payload.data(), payload.size());
    collectTx();
}

void SimNode::onTransfer(const canard::RxTransfer& t, uint64_t nowUs)
{
    if (t.kind == canard::TransferKind::Request) {
        m_requests.push_back({t.port_id, t.payload});
        if (m_requests.size() > kMaxRequestsKept)
            m_requests.pop_front();
        switch (t.port_id) {
        case kPortRegAccess: serveRegister(t); break;
        case kPortFileRead: serveFileRead(t); break;
        case kPortFileWrite: serveFileWrite(t); break;
        case kPortNodeInfo: serveNodeInfo(t); break;
        case kPortExecCommand: serveCommand(t, nowUs); break;
        default: break;
        }
        return;
    }
    if (t.kind != canard::TransferKind::Message)
        return;
    if (t.port_id == kPortNodeControl)
        onNodeControl(t);
    else if (t.port_id == kPortNodeIdAssign)
        onNodeIdAssign(t);
    else if (t.port_id >= kPortThrottleFirst && t.port_id <= kPortThrottleLast)
        onThrottle(t);
}

void SimNode::serveRegister(const canard::RxTransfer& t)
{
    if (t.payload.size() >= 2 && m_faults[t.payload[1]] != 0) {
        respond(t, {m_faults[t.payload[1]], t.payload[1]});
        return;
    }
    int written = -1;
    const uint32_t oldRate = canBitrate();
    const std::vector<uint8_t> reply = m_regs.serve(t.payload.data(), t.payload.size(), &written);
    if (reply.empty())
        return;
    if (written >= 0)
        ++m_writes[size_t(written)];
    respond(t, reply, oldRate);
    if (written == kRegCanBitrate && canBitrate() != oldRate)
        log("CAN bit rate now " + std::to_string(canBitrate()));
}

void SimNode::serveFileRead(const canard::RxTransfer& t)
{
    FileReadArgs args;
    if (!decodeFileReadRequest(t.payload.data(), t.payload.size(), args))
        return;
    std::vector<uint8_t> reply;
    putLe(reply, args.offset, 5);
    if (m_fileReadError != 0 || (args.fileType != kFileTypeEnglish && args.fileType != kFileTypeChinese)) {
        putLe(reply, m_fileReadError != 0 ? m_fileReadError : uint16_t(kFileNotFound), 2);
        respond(t, reply);
        return;
    }
    putLe(reply, 0, 2);
    const std::string& text = args.fileType == kFileTypeChinese ? m_cfg.descriptionChinese : m_cfg.description;
    if (args.offset < text.size()) {
        const size_t n = std::min(kChunkSize, text.size() - args.offset);
        reply.insert(reply.end(), text.begin() + long(args.offset), text.begin() + long(args.offset + n));
    }
    respond(t, reply);
}

void SimNode::serveFileWrite(const canard::RxTransfer& t)
{
    FileWriteArgs args;
    if (!decodeFileWriteRequest(t.payload.data(), t.payload.size(), args))
        return;
    const std::string path(reinterpret_cast<const char*>(args.path), sizeof args.path);
    const uint16_t result = m_fileWriteError != 0 ? m_fileWriteError
                                                  : m_fw.write(args.offset, args.data, args.dataLen, path);
    if (result == kFileOk && args.dataLen == 0)
        log(fmt("firmware part %d complete, %d bytes", m_fw.lastCompletedPart(),
                int(m_fw.image(m_fw.lastCompletedPart()).size())));
    else if (result != kFileOk)
        log(fmt("file write at %d refused: %d", int(args.offset), result));
    m_regs.setValue(kRegUpgradeStatus, int16_t(m_fw.status()));
    std::vector<uint8_t> reply;
    putLe(reply, result, 2);
    respond(t, reply);
}

void SimNode::serveNodeInfo(const canard::RxTransfer& t)
{
    std::vector<uint8_t> r;
    r.push_back(1); // Cyphal protocol version 1.0
    r.push_back(0);
    r.push_back(m_cfg.hwMajor);
    r.push_back(m_cfg.hwMinor);
    r.push_back(m_cfg.swMajor);
    r.push_back(m_cfg.swMinor);
    putLe(r, 0, 8); // VCS revision
    r.insert(r.end(), m_cfg.uniqueId.begin(), m_cfg.uniqueId.end());
    const size_t nameLen = std::min<size_t>(m_cfg.name.size(), 50);
    r.push_back(uint8_t(nameLen));
    r.insert(r.end(), m_cfg.name.begin(), m_cfg.name.begin() + long(nameLen));
    r.push_back(0); // no software image CRC
    r.push_back(0); // no certificate
    respond(t, r);
}

void SimNode::serveCommand(const canard::RxTransfer& t, uint64_t nowUs)
{
    ExecCommandArgs args;
    if (!decodeExecCommandRequest(t.payload.data(), t.payload.size(), args))
        return;
    uint8_t status = kStatusBadCommand;
    switch (args.command) {
    case kCmdStore:
        m_regs.store();
        status = kStatusOk;
        log("parameters stored");
        break;
    case kCmdEnterUpgrade: {
        const std::string code(reinterpret_cast<const char*>(args.param), args.paramLen);
        if (code == m_cfg.accessCode) {
            m_fw.enterUpgrade();
            m_regs.setValue(kRegUpgradeStatus, int16_t(m_fw.status()));
            status = kStatusOk;
            log("upgrade mode");
        } else {
            status = kStatusBadParameter;
            log("enter-upgrade refused: wrong access code");
        }
        break;
    }
    case kCmdRestart:
        status = kStatusOk;
        break;
    default:
        break;
    }
    // A restarting node does not answer, unless told to answer first.
    if (args.command != kCmdRestart || m_cfg.answerRestart)
        respond(t, {status});
    if (args.command == kCmdRestart) {
        // Go quiet for a while as a rebooting device does.
        m_restartUntilUs = nowUs + kRestartSilenceUs;
        m_ins.dropSessions();
        log("restarting");
    }
}

void SimNode::onNodeControl(const canard::RxTransfer& t)
{
    const auto& p = t.payload;
    log(fmt("node control message: value %d for node %d", p.size() > 0 ? p[0] : 0,
            p.size() > 1 ? p[1] : 0));
}

void SimNode::onNodeIdAssign(const canard::RxTransfer& t)
{
    if (t.payload.size() < 2)
        return;
    const uint8_t newId = t.payload[1];
    if (newId == 0 || newId > canard::kMaxNodeId || newId == nodeId())
        return;
    log(fmt("node ID changed to %d", newId));
    m_ins.setLocalNodeId(newId);
    m_ins.dropSessions();
}

void SimNode::onThrottle(const canard::RxTransfer& t)
{
    // Row N of the throttle test is node N + 15; rows come four to a subject.
    const int row = int(nodeId()) - 15;
    if (row < 1 || row > 32 || t.payload.size() < 7)
        return;
    if (t.port_id != kPortThrottleFirst + (row - 1) / 4)
        return;
    uint16_t v[4];
    unpackThrottle6152(t.payload.data(), v);
    if (m_throttle == v[(row - 1) % 4])
        return;
    updateSpeed(t.timestamp_us);
    m_throttle = v[(row - 1) % 4];
}

void SimNode::sendHeartbeat(uint64_t nowUs, int transferId)
{
    std::vector<uint8_t> p;
    m_lastUptime = uint32_t((nowUs - m_bootUs) / kSecondUs);
    putLe(p, m_lastUptime, 4);
    p.push_back(0); // health nominal
    p.push_back(m_fw.inUpgradeMode() ? kModeSoftwareUpdate : kModeOperational);
    p.push_back(0); // vendor status
    publish(kPortHeartbeat, canard::kPrioNominal, p, transferId);
}

uint16_t SimNode::statusWord() const
{
    return uint16_t(m_cfg.statusBits | (m_throttle != 0 ? kStatusThrottleNotZero : 0));
}

void SimNode::updateSpeed(uint64_t nowUs)
{
    // A crude motor: the speed ramps towards ten times the set-point.
    const int32_t target = std::min<int32_t>(int32_t(m_throttle) * kSpeedPerThrottle, 32767);
    const int64_t step = int64_t(nowUs - std::min(nowUs, m_speedUs)) * kSpeedSlewPerSecond / int64_t(kSecondUs);
    m_speedUs = nowUs;
    if (m_speed < target)
        m_speed = int32_t(std::min<int64_t>(target, m_speed + step));
    else
        m_speed = int32_t(std::max<int64_t>(target, m_speed - step));
}

void SimNode::sendTelemetry(uint64_t nowUs)
{
    // Current and heat rise with the set-point.
    updateSpeed(nowUs);
    const int current = m_throttle / 16;
    std::vector<uint8_t> a;
    putLe(a, uint16_t(int16_t(m_speed)), 2);
    putLe(a, uint16_t(int16_t(current)), 2);
    putLe(a, statusWord(), 2);
    publish(kPortTelemetry, canard::kPrioNominal, a);

    std::vector<uint8_t> b;
    putLe(b, uint16_t(int16_t(m_throttle)), 2);
    putLe(b, uint16_t(int16_t(252 - current / 20)), 2); // 25.2 V, sagging under load
    b.push_back(uint8_t(std::min(255, 40 + 30 + m_throttle / 256)));
    b.push_back(uint8_t(std::min(255, 40 + 28 + m_throttle / 512)));
    b.push_back(uint8_t(std::min(255, 40 + 32 + m_throttle / 200)));
    publish(kPortTelemetry2, canard::kPrioNominal, b);
}

void SimNode::finishRestart(uint64_t nowUs)
{
    m_restartUntilUs = 0;
    m_regs.restoreStored();
    if (m_fw.status() == kUpgradeDonePart2) {
        // The boot loader starts the new firmware, which reports its version.
        m_cfg.swMajor = m_cfg.newSwMajor;
        m_cfg.swMinor = m_cfg.newSwMinor;
    }
    m_fw.restart();
    m_regs.setValue(kRegUpgradeStatus, int16_t(m_fw.status()));
    m_throttle = 0;
    m_speed = 0;
    m_ins.dropSessions();
    m_ins.resetTransferIds();
    powerUp(nowUs);
    log(m_fw.inUpgradeMode() ? "back, waiting for firmware part 2" : "back");
}

} // namespace escsim
