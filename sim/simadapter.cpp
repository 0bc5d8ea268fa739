#include "simadapter.h"

#include <algorithm>
#include <limits>

namespace escsim {

SimAdapter::SimAdapter(bool paced) : m_paced(paced), m_dec(4096) {}

size_t SimAdapter::readAllowance(uint64_t nowUs) const
{
    return m_paced ? m_inLine.allowance(nowUs) : std::numeric_limits<size_t>::max();
}

uint64_t SimAdapter::readDelayUs(uint64_t nowUs) const
{
    return m_paced ? m_inLine.delayUs(adapter::kFrameSize, nowUs) : 0;
}

void SimAdapter::inputIdle()
{
    m_inLine.idle();
}

void SimAdapter::feed(const uint8_t* data, size_t len, uint64_t nowUs,
                      const std::function<void(const adapter::Frame&)>& onCanFrame)
{
    // Less than the line would take: the PC has nothing more waiting.
    const bool drained = len < m_inLine.allowance(nowUs);
    m_inLine.carry(len, nowUs);
    if (drained)
        m_inLine.idle();
    m_dec.feed(data, len, [&](const adapter::Frame& f) {
        ++m_framesIn;
        if (adapter::isBitrateCommand(f)) {
            // The adapter takes any rate it is told; nodes at another rate
            // simply stop hearing it.
            m_bitrate = adapter::bitrateOf(f);
            m_rateCommands.push_back(m_bitrate);
            const uint8_t ok = 0;
            send(adapter::kStatusFrameId, &ok, 1);
        } else if (adapter::isDataFrame(f) && f.dlc > 0) {
            onCanFrame(f);
        }
    });
}

void SimAdapter::send(uint32_t canId, const uint8_t* data, uint8_t dlc)
{
    std::array<uint8_t, adapter::kFrameSize> bytes {};
    if (!adapter::encodeFrame(canId, data, dlc, bytes.data()))
        return;
    if (m_out.size() >= kMaxQueuedFrames) {
        ++m_framesDropped;
        return;
    }
    m_out.push_back(bytes);
}

std::vector<uint8_t> SimAdapter::pendingOutput(uint64_t nowUs, size_t max) const
{
    const size_t allowed =
        m_paced ? std::min(max, m_outLine.frameAllowance(adapter::kFrameSize - m_headSent, nowUs)) : max;
    std::vector<uint8_t> out;
    size_t skip = m_headSent;
    for (const auto& f : m_out) {
        if (out.size() >= allowed)
            break;
        const size_t n = std::min(f.size() - skip, allowed - out.size());
        out.insert(out.end(), f.begin() + long(skip), f.begin() + long(skip + n));
        skip = 0;
    }
    return out;
}

void SimAdapter::consumed(size_t bytes, uint64_t nowUs)
{
    m_outLine.carry(bytes, nowUs);
    while (bytes > 0 && !m_out.empty()) {
        const size_t n = std::min(bytes, adapter::kFrameSize - m_headSent);
        m_headSent += n;
        bytes -= n;
        if (m_headSent == adapter::kFrameSize) {
            m_out.pop_front();
            m_headSent = 0;
            ++m_framesOut;
        }
    }
    if (m_out.empty())
        m_outLine.idle();
}

uint64_t SimAdapter::outputDelayUs(uint64_t nowUs) const
{
    if (!m_paced || m_out.empty())
        return 0;
    return m_outLine.delayUs(adapter::kFrameSize - m_headSent, nowUs);
}

void SimAdapter::dropOutput()
{
    // Keep a partly written frame whole, so the line never carries a torn frame.
    if (m_headSent > 0 && !m_out.empty()) {
        m_framesDropped += m_out.size() - 1;
        m_out.erase(m_out.begin() + 1, m_out.end());
    } else {
        m_framesDropped += m_out.size();
        m_out.clear();
        m_outLine.idle();
    }
}

} // namespace escsim
