#ifndef QUIETHUB_H
#define QUIETHUB_H

// Keeps a hub's real workers out of a test that checks records where they
// leave the hub (a QSignalSpy on its signals): the workers would open ports
// and reach for time servers, and their log lines from other threads would
// race with QTest::ignoreMessage, which is not thread-safe. Needs tq_core.

#include "app/auxthreadcontroller.h"

inline void disconnectWorkers(auxthreadcontroller* hub)
{
    QObject::disconnect(hub, &auxthreadcontroller::SignalToTQThread, hub->getSerialWorker(), nullptr);
    QObject::disconnect(hub, &auxthreadcontroller::SignalToHeart, hub->getHeartWorker(), nullptr);
}

#endif // QUIETHUB_H
