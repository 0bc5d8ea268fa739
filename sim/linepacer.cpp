#include "linepacer.h"

#include <algorithm>

namespace escsim {

uint64_t LinePacer::startUs(uint64_t nowUs) const
{
    // Where the line's next byte starts: right behind the last one, but no
    // earlier than the credit allows (one frame after rest, kCatchUpUs while
    // bytes wait).
    const uint64_t credit = m_idle ? kFrameBytes * kUsPerByte : kCatchUpUs;
    return std::max(m_doneUs, nowUs > credit ? nowUs - credit : 0);
}

size_t LinePacer::allowance(uint64_t nowUs) const
{
    const uint64_t start = startUs(nowUs);
    return nowUs > start ? size_t((nowUs - start) / kUsPerByte) : 0;
}

size_t LinePacer::frameAllowance(size_t headLeft, uint64_t nowUs) const
{
    const size_t line = allowance(nowUs);
    return line < headLeft ? 0 : headLeft + (line - headLeft) / kFrameBytes * kFrameBytes;
}

uint64_t LinePacer::delayUs(size_t bytes, uint64_t nowUs) const
{
    // Either credit covers one frame, so only the line's own end counts.
    const uint64_t readyUs = m_doneUs + std::min<uint64_t>(bytes, kFrameBytes) * kUsPerByte;
    return readyUs > nowUs ? readyUs - nowUs : 0;
}

void LinePacer::carry(size_t bytes, uint64_t nowUs)
{
    m_doneUs = startUs(nowUs) + uint64_t(bytes) * kUsPerByte;
    m_idle = false;
}

} // namespace escsim
