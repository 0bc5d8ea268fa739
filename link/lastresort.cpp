#include "link/lastresort.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace lastresort {

const int kStopSignals[kStopSignalCount] = {SIGTSTP, SIGTTIN, SIGTTOU};

namespace {

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<unsigned>::is_always_lock_free
                  && std::atomic<bool>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

// A group's zeros, twice over: the worker fills the copy not published and
// then publishes it, so that a handler interrupting it on its own thread
// still reads whole frames.
struct ZeroMessage {
    uint8_t frames[2][kZerosSize] = {};
    std::atomic<int> published {0};
};

ZeroMessage g_zeros[kGroups];
std::atomic<unsigned> g_turning {0}; // one bit per group
std::atomic<unsigned> g_zerosOut {0}; // turning groups whose zeros the system took whole
std::atomic<int> g_fd {-1};
std::atomic<bool> g_halted {false};
// The thread now working with the above: the worker writing a message or
// changing the port, or a handler writing the zeros. 0: none.
std::atomic<pid_t> g_owner {0};

int64_t nowMs()
{
    timespec ts {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Takes the ownership. False without it: when this thread has it already
// (a handler that interrupted the worker on its own thread), or, when
// bounded, after kWaitMs (a handler writes its zeros anyway).
bool own(bool bounded)
{
    const pid_t self = ::gettid();
    const int64_t deadline = nowMs() + kWaitMs;
    for (pid_t owner = 0; !g_owner.compare_exchange_strong(owner, self); owner = 0) {
        if (owner == self || (bounded && nowMs() >= deadline))
            return false;
        ::poll(nullptr, 0, 1);
    }
    return true;
}

void disown()
{
    g_owner.store(0);
}

// Writes everything, waiting (bounded) while the port's buffer is full;
// returns the bytes written.
size_t writeAll(int fd, const uint8_t* data, size_t len)
{
    const int64_t deadline = nowMs() + kWaitMs;
    size_t written = 0;
    while (written < len) {
        const ssize_t n = ::write(fd, data + written, len - written);
        if (n > 0) {
            written += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const int64_t left = deadline - nowMs();
        if ((n < 0 && errno != EAGAIN) || left <= 0)
            break;
        pollfd ready {fd, POLLOUT, 0};
        ::poll(&ready, 1, int(left));
    }
    return written;
}

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};
struct sigaction g_before[NSIG];
std::terminate_handler g_terminateBefore = nullptr;
// Where the handlers run when the main thread's stack has overflowed.
constexpr size_t kHandlerStackSize = 64 * 1024;
alignas(16) char g_handlerStack[kHandlerStackSize];

// Makes `memory` (kHandlerStackSize bytes) the calling thread's stack for
// the handlers, unless it has one (a sanitizer sets up its own).
bool useHandlerStack(char* memory)
{
    stack_t current {};
    if (::sigaltstack(nullptr, &current) != 0 || !(current.ss_flags & SS_DISABLE))
        return false;
    stack_t own {};
    own.ss_sp = memory;
    own.ss_size = kHandlerStackSize;
    return ::sigaltstack(&own, nullptr) == 0;
}

// A thread's stack for the handlers, given up as the thread ends.
struct ThreadHandlerStack {
    std::unique_ptr<char[]> memory;
    ~ThreadHandlerStack()
    {
        if (!memory)
            return;
        stack_t off {};
        off.ss_flags = SS_DISABLE;
        ::sigaltstack(&off, nullptr);
    }
};

bool ignored(const struct sigaction& action)
{
    return !(action.sa_flags & SA_SIGINFO) && action.sa_handler == SIG_IGN;
}

extern "C" void onCrash(int signalNumber, siginfo_t* info, void*)
{
    const int savedErrno = errno;
    // A signal that was sent (kill, raise, abort), not caused by a fault.
    const bool sent = info->si_code <= 0;
    struct sigaction before = g_before[signalNumber];
    if (sent && info->si_pid != ::getpid() && ignored(before))
        return; // from outside, and ignored as it was before us
    writeZeros();
    // Whoever had the signal before takes it now: the default (a core
    // dump), or a sanitizer that reports the crash. The system ends a
    // process by a fault's signal even where it is ignored.
    if (ignored(before))
        before.sa_handler = SIG_DFL;
    ::sigaction(signalNumber, &before, nullptr);
    // A fault comes back by itself as its instruction runs again; a signal
    // that was sent is sent again, and so is a trap (the breakpoint, or the
    // system call a sandbox refused, is behind).
    if (sent || signalNumber == SIGTRAP || signalNumber == SIGSYS)
        ::raise(signalNumber);
    errno = savedErrno;
}

void onExit()
{
    writeZeros();
}

[[noreturn]] void onTerminate()
{
    writeZeros();
    if (g_terminateBefore)
        g_terminateBefore();
    std::abort();
}

// The groups whose zeros the system took stop turning once its output
// queue is empty: the line has taken them. A port whose system cannot say
// keeps them turning.
void settle(int fd)
{
    const unsigned out = g_zerosOut.load();
    int queued = -1;
    if (out == 0 || fd < 0 || ::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued != 0)
        return;
    g_turning.fetch_and(~out);
    g_zerosOut.fetch_and(~out);
}

} // namespace

unsigned turningGroups()
{
    return g_fd.load() < 0 ? 0u : g_turning.load();
}

void markTurning(unsigned groups)
{
    g_turning.fetch_or(groups);
}

void setPort(int fd)
{
    const bool owned = own(false);
    g_fd.store(fd);
    if (fd < 0) {
        g_turning.store(0);
        g_zerosOut.store(0);
    }
    if (owned)
        disown();
}

ThrottleWrite::ThrottleWrite(int group, bool allZero, const uint8_t zeroFrames[kZerosSize])
    : m_group(group), m_allZero(allZero), m_owned(own(false))
{
    if (group < 0 || group >= kGroups || (!allZero && g_halted.load()))
        return;
    ZeroMessage& zeros = g_zeros[group];
    const int spare = 1 - zeros.published.load(std::memory_order_relaxed);
    std::memcpy(zeros.frames[spare], zeroFrames, kZerosSize);
    zeros.published.store(spare, std::memory_order_release);
    // Turning from before the write on: a crash half way through it finds
    // the group's zeros.
    if (!allZero) {
        g_turning.fetch_or(1u << group);
        g_zerosOut.fetch_and(~(1u << group));
    }
    m_allowed = true;
}

ThrottleWrite::~ThrottleWrite()
{
    if (m_allowed && m_allZero && m_sent)
        g_zerosOut.fetch_or(g_turning.load() & (1u << m_group));
    if (m_owned)
        disown();
}

unsigned zerosOnTheirWay()
{
    const bool owned = own(false);
    settle(g_fd.load());
    if (owned)
        disown();
    return g_zerosOut.load();
}

void queueDropped()
{
    g_zerosOut.store(0);
}

int writeZeros()
{
    const int savedErrno = errno;
    g_halted.store(true);
    const bool owned = own(true);
    const int fd = g_fd.load();
    const unsigned turning = fd < 0 ? 0u : g_turning.load();
    uint8_t out[adapter::kFrameSize + kZerosSize * kGroups];
    std::memset(out, 0, adapter::kFrameSize); // the run of zeros
    size_t len = adapter::kFrameSize;
    int order[kGroups];
    int groups = 0;
    for (int g = 0; g < kGroups; ++g) {
        if (!(turning & (1u << g)))
            continue;
        const ZeroMessage& zeros = g_zeros[g];
        std::memcpy(out + len, zeros.frames[zeros.published.load(std::memory_order_acquire)], kZerosSize);
        len += kZerosSize;
        order[groups++] = g;
    }
    int stopped = 0;
    if (groups > 0) {
        // What the port holds that the line has not taken carries older
        // set-points: dropped, so that nothing of it follows the zeros and
        // the zeros fit however long the line has stalled.
        ::tcflush(fd, TCOFLUSH);
        queueDropped();
        const size_t written = writeAll(fd, out, len);
        // A group whose zeros did not go out whole is owed them.
        while (stopped < groups && written >= adapter::kFrameSize + kZerosSize * size_t(stopped + 1))
            g_zerosOut.fetch_or(1u << order[stopped++]);
        settle(fd);
    }
    if (owned)
        disown();
    errno = savedErrno;
    return stopped;
}

void resume()
{
    g_halted.store(false);
}

void keepStopsAway()
{
    sigset_t stops;
    sigemptyset(&stops);
    for (int signalNumber : kStopSignals)
        sigaddset(&stops, signalNumber);
    ::pthread_sigmask(SIG_BLOCK, &stops, nullptr);
}

void install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    std::atexit(onExit);
    g_terminateBefore = std::set_terminate(onTerminate);
    useHandlerStack(g_handlerStack);
    struct sigaction action {};
    action.sa_sigaction = onCrash;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : kCrashSignals)
        ::sigaction(signalNumber, &action, &g_before[signalNumber]);
}

void setUpThreadSignalStack()
{
    thread_local ThreadHandlerStack stack;
    if (stack.memory)
        return;
    stack.memory.reset(new char[kHandlerStackSize]);
    if (!useHandlerStack(stack.memory.get()))
        stack.memory.reset();
}

} // namespace lastresort
