#ifndef ESCSIM_SIMADAPTER_H
#define ESCSIM_SIMADAPTER_H

// The USB-to-CAN adapter as the PC sees it through the serial line: it cuts
// the byte stream into adapter frames (with the link's own codec), obeys the
// bit-rate command, and queues the frames it sends back. With pacing on, both
// directions are held to the 500000-baud line (3125 frames a second): the
// line carries whole frames towards the PC, and what does not fit in the
// queue is dropped, as an adapter drops what its line cannot carry.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "link/adapterframe.h"
#include "linepacer.h"

namespace escsim {

class SimAdapter {
public:
    static constexpr size_t kMaxQueuedFrames = 8192;

    explicit SimAdapter(bool paced);

    // Bytes from the PC, read at nowUs (fewer than readAllowance: the PC's
    // side is empty). Calls onCanFrame for each CAN data frame they
    // complete, in order; a bit-rate command is handled in its place and
    // answered with a status frame. Anything else (garbage, adapter-internal
    // IDs) is dropped.
    void feed(const uint8_t* data, size_t len, uint64_t nowUs,
              const std::function<void(const adapter::Frame&)>& onCanFrame);

    // How many bytes the line lets in now (unbounded without pacing).
    size_t readAllowance(uint64_t nowUs) const;
    // Microseconds until a whole frame may be read (0 when one may now).
    uint64_t readDelayUs(uint64_t nowUs) const;
    // The PC has nothing waiting on the line: the time until it writes
    // again is rest, not line time owed.
    void inputIdle();

    // Queues one CAN frame towards the PC (dropped when the queue is full).
    void send(uint32_t canId, const uint8_t* data, uint8_t dlc);
    // Bytes that may be written now (paced: whole frames only), and the
    // report of how many the terminal took at nowUs.
    std::vector<uint8_t> pendingOutput(uint64_t nowUs, size_t max = 4096) const;
    void consumed(size_t bytes, uint64_t nowUs);
    bool hasOutput() const { return !m_out.empty(); }
    // Microseconds until pacing lets the next output frame go (0 = now).
    uint64_t outputDelayUs(uint64_t nowUs) const;
    // Drops everything queued towards the PC (no one is listening).
    void dropOutput();

    uint32_t bitrate() const { return m_bitrate; }
    const std::vector<uint32_t>& bitrateCommands() const { return m_rateCommands; }
    const adapter::DecoderStats& decoderStats() const { return m_dec.stats(); }
    uint64_t framesIn() const { return m_framesIn; }
    uint64_t framesOut() const { return m_framesOut; }
    uint64_t framesDropped() const { return m_framesDropped; }
    size_t framesQueued() const { return m_out.size(); }

private:
    bool m_paced;
    adapter::StreamDecoder m_dec;
    uint32_t m_bitrate = 500000;
    std::vector<uint32_t> m_rateCommands;
    std::deque<std::array<uint8_t, adapter::kFrameSize>> m_out;
    size_t m_headSent = 0; // bytes of m_out.front() already written
    LinePacer m_inLine, m_outLine;
    uint64_t m_framesIn = 0, m_framesOut = 0, m_framesDropped = 0;
};

} // namespace escsim

#endif // ESCSIM_SIMADAPTER_H
