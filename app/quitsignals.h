#ifndef QUITSIGNALS_H
#define QUITSIGNALS_H

// The signals a program can catch whose default would end the process
// (SIGTERM, SIGINT, SIGHUP, SIGQUIT: a log-out, kill, a service stop,
// Ctrl+C, Ctrl+\; SIGUSR1, SIGUSR2, the timer, resource and power signals,
// the real-time ones) end the application the way its quit does, so that
// what it does on the way out (the throttle test's zeros, the port closed
// with its lock file) is done for them too. SIGPIPE is ignored: a write to
// a closed pipe (a log viewer that quits) fails and the application goes
// on. A terminal stop (SIGTSTP: Ctrl+Z; SIGTTIN, SIGTTOU) writes the
// throttle test's zeros, stops the process as its default does, and once
// it runs again (SIGCONT) the test is switched off.
//
// A signal handler may do almost nothing safely: it writes the signal's
// number to a socket pair (a stop first writes the zeros the serial worker
// keeps ready, link/lastresort.h). The event loop notices the byte and
// emits caught() or stopped(). A signal with a handler of someone else's
// (a profiler's) is left to it, and one ignored at the start (nohup's
// SIGHUP) stays ignored. While the object lives the handlers are
// installed; at its end what was there before is back.

#include <QObject>

class QSocketNotifier;

class QuitSignals : public QObject
{
    Q_OBJECT
public:
    // One at a time: the handler knows a single socket pair.
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // Whether a quit signal came, for a quit that lands before the
    // application's main loop runs.
    bool anyCaught() const { return m_caught; }

signals:
    // Connect to QApplication::quit.
    void caught(int signalNumber);
    // The process was stopped and runs again: switch the throttle test off.
    void stopped(int signalNumber);

private:
    void readSignals();

    int m_fds[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    bool m_caught = false;
};

#endif // QUITSIGNALS_H
