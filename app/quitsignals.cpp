#include "app/quitsignals.h"

#include <QDebug>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include "link/lastresort.h"

namespace {

volatile sig_atomic_t g_writeFd = -1;
// What each signal taken over had before; g_taken marks those taken.
struct sigaction g_before[NSIG];
bool g_taken[NSIG] = {};

bool isStop(int signalNumber)
{
    for (int stop : lastresort::kStopSignals) {
        if (signalNumber == stop)
            return true;
    }
    return false;
}

// The catchable signals whose default action ends the process, but those
// of a crash (link/lastresort.h) and SIGPIPE.
QVector<int> quitSignals()
{
    QVector<int> out {SIGTERM, SIGINT,    SIGHUP,  SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM,
                      SIGPROF, SIGXCPU,   SIGXFSZ, SIGPWR,  SIGIO,   SIGSTKFLT};
    for (int n = SIGRTMIN; n <= SIGRTMAX; ++n)
        out << n;
    return out;
}

void notify(int signalNumber)
{
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: with the pair full, enough bytes are waiting already.
    const ssize_t written = ::write(g_writeFd, &byte, 1);
    (void)written;
}

extern "C" void onQuitSignal(int signalNumber)
{
    const int savedErrno = errno;
    notify(signalNumber);
    errno = savedErrno;
}

extern "C" void onStopSignal(int signalNumber)
{
    const int savedErrno = errno;
    // No motor turns while the process stands still, where no key reaches it.
    lastresort::writeZeros();
    notify(signalNumber);
    // Stop as the default action does (which a process group without a
    // terminal's shell ignores), then take the signal again.
    struct sigaction stop {};
    struct sigaction mine {};
    stop.sa_handler = SIG_DFL;
    sigemptyset(&stop.sa_mask);
    ::sigaction(signalNumber, &stop, &mine);
    sigset_t self;
    sigemptyset(&self);
    sigaddset(&self, signalNumber);
    ::pthread_sigmask(SIG_UNBLOCK, &self, nullptr);
    ::raise(signalNumber);
    ::sigaction(signalNumber, &mine, nullptr);
    errno = savedErrno;
}

// Whether the signal is left as it is: it has a handler of someone else's
// (a profiler's SIGPROF, say), or it was ignored when the application
// started (nohup leaves SIGHUP ignored, a shell without job control SIGINT
// and SIGQUIT for a job it starts in the background).
bool leftAsItIs(int signalNumber)
{
    struct sigaction current {};
    return ::sigaction(signalNumber, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO)
        || current.sa_handler != SIG_DFL;
}

void takeOver(int signalNumber, void (*handler)(int))
{
    if (leftAsItIs(signalNumber))
        return;
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    g_taken[signalNumber] = ::sigaction(signalNumber, &action, &g_before[signalNumber]) == 0;
}

} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent)
{
    if (g_writeFd != -1) {
        qWarning() << "QuitSignals: a second instance handles no signal";
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_fds) != 0) {
        qWarning() << "QuitSignals: no socket pair, signals end the application at once:" << strerror(errno);
        return;
    }
    ::fcntl(m_fds[0], F_SETFL, ::fcntl(m_fds[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(m_fds[1], F_SETFL, ::fcntl(m_fds[1], F_GETFL) | O_NONBLOCK);
    g_writeFd = m_fds[1];
    m_notifier = new QSocketNotifier(m_fds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readSignals);

    for (int signalNumber : quitSignals())
        takeOver(signalNumber, onQuitSignal);
    for (int signalNumber : lastresort::kStopSignals)
        takeOver(signalNumber, onStopSignal);
    // For good: what is written after main (a sanitizer's report) fails
    // the same way.
    if (!leftAsItIs(SIGPIPE))
        ::signal(SIGPIPE, SIG_IGN);
}

QuitSignals::~QuitSignals()
{
    if (m_fds[0] == -1)
        return;
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
        if (g_taken[signalNumber])
            ::sigaction(signalNumber, &g_before[signalNumber], nullptr);
        g_taken[signalNumber] = false;
    }
    g_writeFd = -1;
    delete m_notifier;
    ::close(m_fds[0]);
    ::close(m_fds[1]);
}

void QuitSignals::readSignals()
{
    unsigned char bytes[16];
    ssize_t n = 0;
    while ((n = ::read(m_fds[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            const int signalNumber = bytes[i];
            if (isStop(signalNumber)) {
                qDebug() << "QuitSignals: signal" << signalNumber << "stopped the process, the throttle test goes off";
                emit stopped(signalNumber);
                continue;
            }
            qDebug() << "QuitSignals: signal" << signalNumber << "caught, quitting";
            m_caught = true;
            emit caught(signalNumber);
        }
    }
}
