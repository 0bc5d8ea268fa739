#ifndef TQ_LINK_LASTRESORT_H
#define TQ_LINK_LASTRESORT_H

// The throttle test's last resort. A node keeps the last set-point it heard,
// so every orderly end of the test sends its groups zeros through the
// sender and the serial worker. Some ends never reach them: exit() from
// deep inside a library (Qt's X platform plugin when the X connection
// breaks), std::terminate, a crash, a terminal stop (Ctrl+Z) that halts
// every thread. For those the serial worker keeps here, as it writes each
// throttle message, the adapter frames of that group's zero message under
// the two transfer-IDs after that message's, and the port's descriptor;
// writeZeros() only drops what the port holds and writes those bytes, with
// async-signal-safe calls.
//
// Why twice: a node drops a message whose transfer-ID repeats the last one
// it took on that subject (within 2 s), and after a drop of what the line
// had not taken nobody knows which that was. Of two consecutive IDs at
// most one can repeat it.
//
// A group counts as turning from the moment a message with a set-point
// other than 0 is about to be written until the line has taken zeros after
// it: both written whole, and the system's output queue seen empty since
// (zerosOnTheirWay()). The serial worker owes such a group its zeros on the
// next port when the port closes or is lost (turningGroups()), and
// writeZeros() writes the groups turning and nothing else, so with the
// test off it writes nothing. It also halts the set-points: from then on
// the worker writes throttle messages of zeros only, until the test is
// started again (resume()), so that nothing queued before a stop turns a
// motor after it.
//
// Plain C++ and POSIX, no allocation and no lock a handler could wait on
// for ever: a handler waits at most kWaitMs for a message being written.

#include <cstddef>
#include <cstdint>

#include "link/adapterframe.h"

namespace lastresort {

constexpr int kGroups = 8;
// Bytes of a group's zeros: its zero message under two consecutive
// transfer-IDs, one adapter frame after the other.
constexpr size_t kZerosSize = 2 * adapter::kFrameSize;
// Longest wait of writeZeros() for the worker's message in progress, and
// for the port to take the zeros.
constexpr int kWaitMs = 200;

// ---- The serial worker's side (its own thread) ----

// The port's descriptor once it is open, -1 before it closes (then nothing
// counts as turning: the nodes are out of reach).
void setPort(int fd);

// The groups turning now, one bit per group (bit 0: group 0).
unsigned turningGroups();
// These groups turn as far as anyone knows (zeros owed since a port was
// lost, on the port open now).
void markTurning(unsigned groups);

// Brackets the write of one throttle message to group 0..7 (subject 6152 +
// group). zeroFrames: the group's zeros under the two transfer-IDs after
// this message's. Nothing may be written when allowed() is false: the test
// is halted and the message carries a set-point. sent(): the system took
// the message whole (zeros still have the line to pass).
class ThrottleWrite
{
public:
    ThrottleWrite(int group, bool allZero, const uint8_t zeroFrames[kZerosSize]);
    ~ThrottleWrite();
    ThrottleWrite(const ThrottleWrite&) = delete;
    ThrottleWrite& operator=(const ThrottleWrite&) = delete;
    bool allowed() const { return m_allowed; }
    void sent() { m_sent = true; }

private:
    int m_group;
    bool m_allZero;
    bool m_allowed = false;
    bool m_sent = false;
    bool m_owned;
};

// The groups turning whose zeros the system took whole but may still hold
// for the line: those the line has taken since (the output queue is empty)
// stop turning first. The serial worker asks while any remain.
unsigned zerosOnTheirWay();

// What the system held for the line was dropped (the worker's own flush of
// a stalled line): zeros in it are no longer on their way.
void queueDropped();

// ---- Any thread, async-signal-safe ----

// Halts the set-points and writes the zero messages (both) of every group
// turning, after a 16-byte run of zeros (the adapter drops bytes until a
// frame's head, so a frame left half written cannot swallow the first
// zeros). What the port holds that the line has not taken is dropped first:
// the zeros are the next thing the adapter takes, and they fit. Returns the
// number of groups whose zeros went out whole; each group counts as turning
// until the line has taken them.
int writeZeros();

// ---- The throttle test ----

// The test starts (again): set-points go out once more.
void resume();

// The signals that stop the process (Ctrl+Z, a background read or write on
// the terminal); the serial worker's thread blocks them (keepStopsAway())
// so that their handler never runs in the middle of its message.
constexpr int kStopSignalCount = 3;
extern const int kStopSignals[kStopSignalCount];
void keepStopsAway();

// Makes the ends that skip the event loop write the zeros first: exit()
// (an atexit hook), std::terminate, and SIGSEGV, SIGBUS, SIGFPE, SIGILL,
// SIGABRT, SIGTRAP (GLib's fatal errors end in a breakpoint trap) and
// SIGSYS (a sandbox that traps a system call), after which the handler that
// was there before (the default: a core dump; or a sanitizer's report)
// takes the signal. One of them ignored at the start stays ignored when
// another process sends it; a fault or abort() ends the process all the
// same. Call once, early in main, from the main thread (whose stack
// overflow the handlers survive on a stack of their own).
void install();

// Gives the calling thread a stack of its own for the crash handlers, so
// that they run after a stack overflow of that thread too; it goes with the
// thread. AppThread (link/appthread.h) calls it for every thread the
// application starts.
void setUpThreadSignalStack();

} // namespace lastresort

#endif // TQ_LINK_LASTRESORT_H
