#ifndef ESCSIM_ESCSIM_H
#define ESCSIM_ESCSIM_H

// escsim: a simulated USB-to-CAN adapter with ESC nodes behind it, reached
// through a pseudo-terminal. Tests run it on a thread and talk to its slave
// path like to a real serial port; the esc-sim program wraps it for users.
//
//   escsim::Options o;
//   o.nodes = {16, 17};
//   escsim::Bus bus(o);
//   std::string path = bus.start();   // "/dev/pts/N", empty on failure
//   bus.startThread();                // or call runOnce() yourself
//   ... open `path` as the serial port ...
//   bus.stop();
//
// Every inspection call is thread-safe. Nodes are addressed by their CURRENT
// node ID (it changes with the node-ID assignment message); when two nodes
// share an ID, the first one created answers the inspection.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace escsim {

class Pty;
class SimAdapter;
class SimNode;

// A device swapped for another under the same node ID (see Bus::swapNodes).
struct NodeSwap {
    uint8_t node = 0;
    unsigned silentMs = 0;  // how long the node ID is not heard
    std::string name;       // device name of the device that comes back
    // The device that comes back waits in its boot loader for part 2, as
    // one left there by an upgrade cut off after part 1.
    bool waitingForPart2 = false;
};

struct Options {
    std::vector<uint8_t> nodes {16};
    std::string name = "P_FLY-ESC_A";   // device name in the node information
    // Nodes with a device name of their own (node ID, name): a bus of two
    // device types.
    std::vector<std::pair<uint8_t, std::string>> nodeNames;
    uint8_t hwMajor = 1, hwMinor = 0;   // hardware version 1.0
    uint8_t swMajor = 2, swMinor = 3;   // software version 2.3
    // Register descriptions served on port 257: English (file type 1001)
    // and Chinese (1000). Both empty: the built-in pair. Only the English
    // one given: it is served in both languages. The node's register table
    // follows the English one.
    std::string description;
    std::string descriptionChinese;
    // Software version a node reports once a two-part upgrade has completed
    // and the node restarted into the new firmware.
    uint8_t newSwMajor = 2, newSwMinor = 4;
    // A real boot loader restarts on the restart command without answering;
    // with this set the node answers it with status 0 first.
    bool answerRestart = false;
    std::string accessCode = " .vr-kisa"; // parameter the enter-upgrade command must carry
    double telemetryHz = 0;             // telemetry per node and second; 0 = off
    uint16_t statusBits = 0;            // status-word bits every node reports set
    // Pace the line to 500000 baud: 3125 adapter frames a second each way.
    // Frames towards the PC wait in the adapter's queue (8192 frames, some
    // 2.6 s of line); what does not fit is dropped.
    bool baudLimit = false;
    // The swaps that Bus::swapNodes carries out, each time it is called.
    std::vector<NodeSwap> swaps;
    // Each node swapped sends a heartbeat with transfer-ID 0 right before it
    // goes, as one heartbeat in 32 does: the new device's first heartbeat,
    // transfer-ID 0 too, repeats it within 2 s.
    bool heartbeatZeroBeforeSwap = false;
    // Nodes whose node-information answers (port 430) reach the PC this
    // many milliseconds late, as on a slow line (node ID, ms); a device
    // swapped in meanwhile does not take back what is on its way.
    std::vector<std::pair<uint8_t, unsigned>> slowInfo;
    // Receives one line per notable event (node control, ID change, restart,
    // firmware part complete ...). Called on the bus thread, lock held: do
    // not call back into the Bus from it.
    std::function<void(const std::string&)> log;
};

// The built-in register descriptions (sim/description-en.txt and
// sim/description-zh.txt).
const std::string& sampleDescription();
const std::string& sampleDescriptionChinese();

// One service request a node received: its port and payload.
struct ReceivedRequest {
    uint16_t port = 0;
    std::vector<uint8_t> payload;
};

struct AdapterStats {
    uint64_t framesIn = 0;      // good adapter frames from the PC
    uint64_t framesOut = 0;     // adapter frames written to the PC
    uint64_t framesDropped = 0; // frames towards the PC dropped (queue full, no client)
    uint64_t framesQueued = 0;  // frames waiting for the line towards the PC now
    uint64_t garbageBytes = 0;  // bytes the decoder discarded
    uint64_t badFrames = 0;     // frames with a bad DLC or CRC
};

class Bus {
public:
    explicit Bus(Options options = Options());
    ~Bus(); // stops and joins the thread, closes the terminal
    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;

    // Creates the pseudo-terminal and powers the nodes up. Returns the slave
    // path, or an empty string (with `error` filled) on failure.
    std::string start(std::string* error = nullptr);
    std::string path() const;

    // One turn of the loop: waits at most timeoutMs for input or the next
    // timed event, then handles what is due.
    void runOnce(int timeoutMs);
    // Loops until stop(); returns at once when start() has not succeeded.
    void run();
    // Runs run() on an internal thread.
    void startThread();
    // Makes run() return (from any thread) and joins the internal thread.
    void stop();
    // The adapter pulled out and plugged in again: the PC's port is hung up
    // and its terminal goes; a new terminal comes, its adapter as at
    // power-up (500000 bit/s, nothing queued). The nodes run on, each at the
    // set-point it last took. Returns the new terminal's path, or an empty
    // string (with `error` filled) on failure.
    std::string replug(std::string* error = nullptr);

    // ---- inspection and control (thread-safe) ----
    std::vector<uint8_t> nodeIds() const;
    bool hasNode(uint8_t nodeId) const;
    uint32_t adapterBitrate() const;
    std::vector<uint32_t> bitrateCommands() const; // rates, in order received
    // Value of a register of a node; false when node or register is unknown.
    bool registerValue(uint8_t nodeId, uint8_t reg, int16_t* value) const;
    // Successful writes of a register, summed over all nodes.
    int registerWriteCount(uint8_t reg) const;
    // Service requests a node received, oldest first (the last 1000).
    std::vector<ReceivedRequest> requests(uint8_t nodeId) const;
    // Every access to the register is answered with this op state (an error
    // code such as 0x11 or 0x13) instead of being served; 0 serves again.
    void setRegisterFault(uint8_t nodeId, uint8_t reg, uint8_t opState);
    // The node serves these descriptions from now on (the Chinese one empty:
    // the English one in both languages), and its registers follow the
    // English one, at their defaults, as after a firmware change.
    void setDescription(uint8_t nodeId, const std::string& description, const std::string& chinese = std::string());
    // The node's answers on this service port wait, in order, once `after`
    // more of them have gone out; released, they go out as they were made
    // and the hold ends. A test holds them to see an answer arrive after a
    // later request.
    void holdResponses(uint8_t nodeId, uint16_t port, unsigned after = 0);
    void releaseResponses(uint8_t nodeId);
    uint32_t nodeBitrate(uint8_t nodeId) const; // 0 = unknown node
    bool inUpgradeMode(uint8_t nodeId) const;
    bool restarting(uint8_t nodeId) const;
    // Completed firmware image of part 1 or 2 (0xFF padding included), its
    // CRC-32 (0 when empty) and the 8-byte path it was written under.
    std::vector<uint8_t> image(uint8_t nodeId, int part) const;
    uint32_t imageCrc32(uint8_t nodeId, int part) const;
    std::string imagePath(uint8_t nodeId, int part) const;
    uint16_t throttle(uint8_t nodeId) const;    // last set-point the node took
    // The last set-point of every node, in the order of nodeIds(): nodes
    // that took one ID alike stay apart here.
    std::vector<uint16_t> throttles() const;
    int16_t speed(uint8_t nodeId) const;        // the speed its telemetry reports
    // The status word of a node's telemetry: the fixed bits given here (or
    // by Options::statusBits), plus bit 5 "throttle not 0" while its
    // set-point is not 0.
    void setStatusBits(uint8_t nodeId, uint16_t bits);
    uint16_t statusWord(uint8_t nodeId) const;
    // A silent node is unplugged: no heartbeat, no answers, hears nothing.
    void setNodeSilent(uint8_t nodeId, bool silent);
    // Carries out Options::swaps: each node named is unplugged and, after
    // its silence, another device takes its place under the same node ID:
    // freshly powered (uptime from 0), in its application, registers at
    // their defaults, versions as at start, nothing of an upgrade (unless
    // NodeSwap::waitingForPart2), under the swap's name. esc-sim calls it on
    // SIGUSR1.
    void swapNodes();
    // The uptime, in seconds, that the node's last heartbeat carried.
    uint32_t uptime(uint8_t nodeId) const;
    // From now on the node answers every file write with this result code and
    // keeps nothing (0: the node works normally again).
    void setFileWriteError(uint8_t nodeId, uint16_t code);
    // The same for every description read: its error code, and no text.
    void setFileReadError(uint8_t nodeId, uint16_t code);
    // Software version the node reports in its node information, as
    // major * 256 + minor (-1 for an unknown node).
    int softwareVersion(uint8_t nodeId) const;
    AdapterStats adapterStats() const;
    std::vector<std::string> logLines() const;  // the last 1000 log lines
    // Called (lock held) when a firmware part completes: node, part, image.
    void setImageCallback(std::function<void(uint8_t, int, const std::vector<uint8_t>&)> cb);

private:
    // A new terminal for the adapter (lock held); its path, or "".
    std::string openTerminal(std::string* error);
    // Makes the loop look again at once.
    void wake();
    SimNode* findNode(uint8_t nodeId) const;
    // Reads what the PC wrote, as much as the line allows (unpaced: all
    // that one read takes); returns the bytes read.
    size_t handleInput(uint64_t nowUs, bool paced = true);
    void routeNodeOutput(uint64_t nowUs);
    // Sends what the slow line held and is due; the time of the next one.
    uint64_t releaseDelayed(uint64_t nowUs);
    void flushOutput(uint64_t nowUs);
    uint64_t tickNodes(uint64_t nowUs);
    void addLog(const std::string& line);

    Options m_opt;
    mutable std::mutex m_mutex;
    std::unique_ptr<Pty> m_pty;
    std::unique_ptr<SimAdapter> m_adapter;
    std::vector<std::unique_ptr<SimNode>> m_nodes;
    std::vector<std::string> m_log;
    std::vector<unsigned> m_completionsSeen; // per node
    struct DelayedFrame {
        uint64_t dueUs;
        uint32_t canId;
        uint8_t data[8];
        uint8_t len;
    };
    std::vector<DelayedFrame> m_delayed; // on a slow line, oldest first
    std::function<void(uint8_t, int, const std::vector<uint8_t>&)> m_imageCb;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_stop {false};
    std::thread m_thread;
    bool m_clientSeen = false;
};

} // namespace escsim

#endif // ESCSIM_ESCSIM_H
