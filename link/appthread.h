#ifndef TQ_LINK_APPTHREAD_H
#define TQ_LINK_APPTHREAD_H

// The thread every thread the application starts is: before it runs any of
// the application's code it takes a stack of its own for the crash
// handlers (link/lastresort.h), so that a stack overflow in it writes the
// throttle test's zeros as one in the main thread does. Use it wherever a
// QThread would do.

#include <QThread>

#include "link/lastresort.h"

class AppThread : public QThread
{
public:
    explicit AppThread(QObject* parent = nullptr) : QThread(parent) {}

protected:
    void run() override
    {
        lastresort::setUpThreadSignalStack();
        QThread::run();
    }
};

#endif // TQ_LINK_APPTHREAD_H
