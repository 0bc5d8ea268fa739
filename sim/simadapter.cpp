#include "simadapter.h"

#include <algorithm>
#include <limits>

namespace escsim {

namespace {
// A line cannot run faster after an idle spell: at most one frame may start
// at once, every further byte waits for the line. (The OS and the adapter
// still buffer what the PC writes; that is the pty's own buffer.)
constexpr double kBurstBytes = adapter::kFrameSize;
} // namespace

SimAdapter::SimAdapter(bool paced) : m_paced(paced), m_dec(4096)
{
    m_inTokens = m_outTokens = kBurstBytes;
}

void SimAdapter::refill(double& tokens, double perSecond, double cap, uint64_t& lastUs, uint64_t nowUs)
{
    if (lastUs == 0 || nowUs < lastUs) {
        lastUs = nowUs;
        return;
    }
    tokens = std::min(cap, tokens + double(nowUs - lastUs) * perSecond / 1e6);
    lastUs = nowUs;
}

uint64_t SimAdapter::readDelayUs(uint64_t nowUs)
{
    const double missing = double(adapter::kFrameSize) - readAllowance(nowUs);
    if (missing <= 0)
        return 0;
    return uint64_t(missing * 1e6 / kLineBytesPerSecond) + 1;
}

size_t SimAdapter::readAllowance(uint64_t nowUs)
{
    if (!m_paced)
        return std::numeric_limits<size_t>::max();
    refill(m_inTokens, kLineBytesPerSecond, kBurstBytes, m_inLastUs, nowUs);
    return size_t(m_inTokens);
}

void SimAdapter::feed(const uint8_t* data, size_t len,
                      const std::function<void(const adapter::Frame&)>& onCanFrame)
{
    if (m_paced)
        m_inTokens = std::max(0.0, m_inTokens - double(len));
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

std::vector<uint8_t> SimAdapter::pendingOutput(uint64_t nowUs, size_t max)
{
    size_t allowed = max;
    if (m_paced) {
        refill(m_outTokens, kLineBytesPerSecond, kBurstBytes, m_outLastUs, nowUs);
        allowed = std::min(allowed, size_t(m_outTokens));
    }
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

void SimAdapter::consumed(size_t bytes)
{
    if (m_paced)
        m_outTokens = std::max(0.0, m_outTokens - double(bytes));
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
}

uint64_t SimAdapter::outputDelayUs(uint64_t nowUs) const
{
    if (!m_paced || m_out.empty())
        return 0;
    double tokens = m_outTokens;
    if (m_outLastUs != 0 && nowUs > m_outLastUs)
        tokens += double(nowUs - m_outLastUs) * kLineBytesPerSecond / 1e6;
    const double need = double(adapter::kFrameSize);
    if (tokens >= need)
        return 0;
    return uint64_t((need - tokens) * 1e6 / kLineBytesPerSecond) + 1;
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
    }
}

} // namespace escsim
