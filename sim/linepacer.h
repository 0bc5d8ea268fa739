#ifndef ESCSIM_LINEPACER_H
#define ESCSIM_LINEPACER_H

// One direction of the 500000-baud serial line between the PC and the
// adapter (8N1: one byte every 20 us, one 16-byte adapter frame every
// 320 us), as arithmetic on microsecond timestamps: no clock of its own, so
// that its sums can be checked without waiting.
//
// The pacer keeps the time at which the line is done with what it has
// carried. While bytes wait, the line never rests: a caller that wakes up
// late may carry at once what the line would have carried meanwhile (up to
// kCatchUpUs of it), so sleeping once per frame loses no line time. A line
// with nothing to carry does rest: after an idle spell only one frame may
// go at once, every further byte waits for the line.

#include <cstddef>
#include <cstdint>

namespace escsim {

class LinePacer {
public:
    static constexpr uint64_t kUsPerByte = 20;
    static constexpr uint64_t kFrameBytes = 16;
    // How far a busy line may run ahead of a late caller: the bytes it
    // carried while the caller slept.
    static constexpr uint64_t kCatchUpUs = 20000;

    // Bytes the line may carry at nowUs.
    size_t allowance(uint64_t nowUs) const;
    // The same in whole frames, the first of them `headLeft` bytes short of
    // its end (a frame partly carried): 0 or headLeft + k frames.
    size_t frameAllowance(size_t headLeft, uint64_t nowUs) const;
    // Microseconds from nowUs until `bytes` (at most one frame) may go.
    uint64_t delayUs(size_t bytes, uint64_t nowUs) const;
    // The line carried `bytes` at nowUs.
    void carry(size_t bytes, uint64_t nowUs);
    // Nothing waits for the line now: the time until something does is rest.
    void idle() { m_idle = true; }

private:
    uint64_t startUs(uint64_t nowUs) const;

    uint64_t m_doneUs = 0; // the line is done with what it carried
    bool m_idle = true;
};

} // namespace escsim

#endif // ESCSIM_LINEPACER_H
