#ifndef SUBHEARTBEATTHREAD_H
#define SUBHEARTBEATTHREAD_H

// Placeholder of the heartbeat worker: lives in its own thread and stays idle.

#include <QObject>

#include "app/communicat.h"

class auxthreadcontroller;

class subHeartbeatThread : public QObject
{
    Q_OBJECT
public:
    explicit subHeartbeatThread(QObject* parent = nullptr);

    auxthreadcontroller* m_auxThreadCtrl = nullptr;

public slots:
    void doProcessHeartRecv(Communicat msg);
    void cleanup();
};

#endif // SUBHEARTBEATTHREAD_H
