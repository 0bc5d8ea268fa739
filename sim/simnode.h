#ifndef ESCSIM_SIMNODE_H
#define ESCSIM_SIMNODE_H

// One simulated ESC on the CAN bus: a Cyphal/CAN node (server role) with its
// registers, description text, firmware receiver, heartbeat and telemetry.
// Not thread-safe: the bus serialises every call.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "escsim.h"
#include "firmwarereceiver.h"
#include "link/libcanard/canard.h"
#include "registertable.h"

namespace escsim {

using Logger = std::function<void(const std::string&)>;

struct NodeConfig {
    uint8_t nodeId = 16;
    std::string name = "P_FLY-ESC_A";
    uint8_t hwMajor = 1, hwMinor = 0;
    uint8_t swMajor = 2, swMinor = 3;
    uint8_t newSwMajor = 2, newSwMinor = 4; // after a completed upgrade
    bool answerRestart = false;             // answer the restart command first
    std::array<uint8_t, 16> uniqueId {}; // a device swapped in gets one of its own
    uint64_t infoDelayUs = 0;            // its node-information answers reach the adapter this much later
    std::string description;        // served on the description-file service, English
    std::string descriptionChinese; // and Chinese
    std::string accessCode;         // parameter of the enter-upgrade command
    double telemetryHz = 0;         // 0 = no telemetry
    uint16_t statusBits = 0;        // status bits always set in the telemetry
};

// Status word bit that the node sets while its throttle set-point is not 0.
constexpr uint16_t kStatusThrottleNotZero = 1u << 5;

// CAN bit rate of a register-4 code (0 for an unknown code).
uint32_t bitrateOfCode(int code);

class SimNode {
public:
    SimNode(const NodeConfig& cfg, Logger log);

    uint8_t nodeId() const { return m_ins.localNodeId(); }
    uint32_t canBitrate() const { return bitrateOfCode(m_regs.value(kRegCanBitrate)); }
    bool restarting() const { return m_restartUntilUs != 0; }
    bool unplugged() const { return m_replacedUntilUs != 0; }
    // The node takes part in the bus at this adapter rate (it is powered, not
    // restarting, not silenced, and runs at that rate).
    bool hears(uint32_t adapterBitrate) const;

    // Starts the node's clock (first heartbeat at once).
    void powerUp(uint64_t nowUs);
    // One CAN frame from the adapter.
    void receive(const canard::CanFrame& f, uint64_t nowUs);
    // Periodic work; returns the time of the next thing due.
    uint64_t tick(uint64_t nowUs);

    // A frame the node puts on the bus, the CAN rate it was sent at, and
    // how long a slow line holds it on its way to the adapter.
    struct Outgoing {
        uint32_t bitrate;
        canard::CanFrame frame;
        uint64_t delayUs = 0;
    };
    bool takeOutgoing(Outgoing& out);

    // A silenced node is unplugged: it sends and hears nothing.
    void setSilent(bool silent) { m_silent = silent; }
    // Every file write is answered with this code and dropped (0: normal).
    void setFileWriteError(uint16_t code) { m_fileWriteError = code; }
    // Every description read is answered with this code and no text (0: normal).
    void setFileReadError(uint16_t code) { m_fileReadError = code; }
    int softwareVersion() const { return m_cfg.swMajor * 256 + m_cfg.swMinor; }
    bool silent() const { return m_silent; }
    // This device is unplugged now (its last heartbeat sent first, with
    // transfer-ID 0, when heartbeatZeroFirst); after the swap's silence
    // another device named as the swap says takes its place under the same
    // node ID, as at power-up with the configuration the node was made with.
    void replaceDevice(const NodeSwap& swap, uint64_t nowUs, bool heartbeatZeroFirst);
    uint32_t uptime() const { return m_lastUptime; } // of the last heartbeat sent

    const RegisterTable& registers() const { return m_regs; }
    const FirmwareReceiver& firmware() const { return m_fw; }
    int registerWrites(uint8_t reg) const;
    const std::deque<ReceivedRequest>& requests() const { return m_requests; }
    void setRegisterFault(uint8_t reg, uint8_t opState) { m_faults[reg] = opState; }
    // From now on the node serves these descriptions, and its registers
    // follow the English one (the link registers keep their state).
    void setDescription(const std::string& description, const std::string& chinese);
    // Answers on this service port wait, in order, once `after` more of
    // them have gone out; released, they go out as they were made.
    void holdResponses(uint16_t port, unsigned after);
    void releaseResponses();
    uint16_t throttle() const { return m_throttle; }
    // The status word the telemetry carries: the fixed bits, and "throttle
    // not 0" while the set-point is.
    uint16_t statusWord() const;
    void setStatusBits(uint16_t bits) { m_cfg.statusBits = bits; }
    int16_t speed() const { return int16_t(m_speed); }

private:
    void onTransfer(const canard::RxTransfer& t, uint64_t nowUs);
    // rate: the CAN rate the frames go out at (0 = the node's current one).
    void respond(const canard::RxTransfer& req, const std::vector<uint8_t>& payload, uint32_t rate = 0);
    // transferId: -1, the next of the subject's.
    void publish(uint16_t subject, uint8_t priority, const std::vector<uint8_t>& payload, int transferId = -1);
    void collectTx(uint32_t rate = 0, uint64_t delayUs = 0);
    // How long the line holds the node's answers on this port.
    uint64_t lineDelayUs(uint16_t port) const;

    void serveRegister(const canard::RxTransfer& t);
    void serveFileRead(const canard::RxTransfer& t);
    void serveFileWrite(const canard::RxTransfer& t);
    void serveNodeInfo(const canard::RxTransfer& t);
    void serveCommand(const canard::RxTransfer& t, uint64_t nowUs);
    void onNodeControl(const canard::RxTransfer& t);
    void onNodeIdAssign(const canard::RxTransfer& t);
    void onThrottle(const canard::RxTransfer& t);

    void sendHeartbeat(uint64_t nowUs, int transferId = -1);
    void sendTelemetry(uint64_t nowUs);
    void updateSpeed(uint64_t nowUs);
    void finishRestart(uint64_t nowUs);
    void log(const std::string& text) const;

    NodeConfig m_cfg;
    const NodeConfig m_startCfg; // a device that takes the node's place starts from it
    Logger m_log;
    canard::Instance m_ins;
    RegisterTable m_regs;
    FirmwareReceiver m_fw;
    std::deque<Outgoing> m_out;
    bool m_silent = false;
    uint16_t m_fileWriteError = 0;
    uint16_t m_fileReadError = 0;
    uint64_t m_bootUs = 0;
    uint64_t m_nextHeartbeatUs = 0;
    uint64_t m_nextTelemetryUs = 0;
    uint64_t m_restartUntilUs = 0;
    uint64_t m_replacedUntilUs = 0; // the next device powers up then; 0 = none waiting
    uint16_t m_devicesSwappedIn = 0;
    uint32_t m_lastUptime = 0;
    uint16_t m_throttle = 0;
    int32_t m_speed = 0;
    uint64_t m_speedUs = 0;  // when the speed was last brought up to date
    std::array<int, 256> m_writes {};
    std::array<uint8_t, 256> m_faults {}; // op state forced per register; 0 = none
    std::deque<ReceivedRequest> m_requests;
    struct HeldResponse {
        canard::TxMetadata md;
        std::vector<uint8_t> payload;
        uint32_t rate;
    };
    uint16_t m_heldPort = 0;
    unsigned m_passBeforeHold = 0;
    std::deque<HeldResponse> m_held;
};

} // namespace escsim

#endif // ESCSIM_SIMNODE_H
