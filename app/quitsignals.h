#ifndef QUITSIGNALS_H
#define QUITSIGNALS_H

// SIGTERM, SIGINT and SIGHUP (a log-out, kill, a service stop, Ctrl+C) end
// the application the way its quit does, so that what it does on the way
// out (the throttle test's zeros, the port closed with its lock file) is
// done for them too.
//
// A signal handler may do almost nothing safely: it only writes the
// signal's number to a socket pair. The event loop notices the byte and
// emits caught(); connect it to QApplication::quit. While the object lives
// the handlers are installed; at its end the default actions are back.

#include <QObject>

class QSocketNotifier;

class QuitSignals : public QObject
{
    Q_OBJECT
public:
    // One at a time: the handler knows a single socket pair.
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // Whether any of the signals came, for a quit that lands before the
    // application's main loop runs.
    bool anyCaught() const { return m_caught; }

signals:
    void caught(int signalNumber);

private:
    void readSignals();

    int m_fds[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    bool m_caught = false;
};

#endif // QUITSIGNALS_H
