#ifndef ESCSIM_FIRMWARERECEIVER_H
#define ESCSIM_FIRMWARERECEIVER_H

// The firmware side of one simulated ESC: upgrade mode, the two image parts
// written through the file-write service, and the value the node shows in its
// upgrade-status register:
//   0x20 ready for part 1 (after the enter-upgrade command)
//   0xa0 part 1 received            -> a restart brings the node back ready
//   0x40 ready for part 2              for part 2, still in upgrade mode
//   0xa1 part 2 received            -> a restart ends the upgrade
//   0    not upgrading

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace escsim {

// File-write results (uavcan.file.Error values and the device's own).
constexpr uint16_t kFileOk = 0;
constexpr uint16_t kFileAccessDenied = 13;  // not in upgrade mode / part already complete
constexpr uint16_t kFileBadLength = 101;    // data length other than 256 or 0
constexpr uint16_t kFileBadOffset = 102;    // offset is not where the part stands

constexpr uint16_t kUpgradeReadyPart1 = 0x20;
constexpr uint16_t kUpgradeDonePart1 = 0xa0;
constexpr uint16_t kUpgradeReadyPart2 = 0x40;
constexpr uint16_t kUpgradeDonePart2 = 0xa1;

constexpr size_t kChunkSize = 256;

class FirmwareReceiver {
public:
    // Enter-upgrade command accepted: waits for part 1 (also restarts one).
    void enterUpgrade();
    // The node restarts: after part 1 it comes back waiting for part 2; any
    // other state leaves upgrade mode.
    void restart();
    // As an upgrade cut off after part 1 leaves a node: waiting for part 2.
    void waitForPart2();

    bool inUpgradeMode() const { return m_status != 0; }
    uint16_t status() const { return m_status; }

    // One file write: `len` data bytes at `offset`. A write of 0 bytes at the
    // end of the received data completes the part. Returns a kFile* code.
    uint16_t write(uint64_t offset, const uint8_t* data, size_t len, const std::string& path);

    // The completed image of part 1 or 2 (empty until that part completes),
    // the path (tag) it was written under, and the bytes of the part still
    // in transfer.
    const std::vector<uint8_t>& image(int part) const;
    const std::string& path(int part) const;
    size_t pendingBytes() const { return m_pending.size(); }
    // Part number whose image completed last (0 none).
    int lastCompletedPart() const { return m_lastCompleted; }
    // Counts completed parts, so a watcher can tell a new completion.
    unsigned completions() const { return m_completions; }

private:
    bool accepting() const { return m_status == kUpgradeReadyPart1 || m_status == kUpgradeReadyPart2; }
    int currentPart() const { return m_status == kUpgradeReadyPart2 ? 2 : 1; }

    uint16_t m_status = 0;
    std::vector<uint8_t> m_pending;
    std::vector<uint8_t> m_images[2];
    std::string m_paths[2];
    int m_lastCompleted = 0;
    unsigned m_completions = 0;
};

} // namespace escsim

#endif // ESCSIM_FIRMWARERECEIVER_H
