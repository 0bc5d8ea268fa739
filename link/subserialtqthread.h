#ifndef SUBSERIALTQTHREAD_H
#define SUBSERIALTQTHREAD_H

// Placeholder of the serial worker: lives in its own thread and accepts
// requests; the device-link work replaces it.

#include <QAtomicPointer>
#include <QObject>

#include "app/communicat.h"

class auxthreadcontroller;

class subSerialTQThread : public QObject
{
    Q_OBJECT
public:
    explicit subSerialTQThread(QObject* parent = nullptr);
    void setAuxThreadCtrl(auxthreadcontroller* hub) { m_auxThreadCtrl.storeRelease(hub); }

signals:
    void signalNotifyTQPage(response_data_struct_t pack);

public slots:
    void doProcessRecvReq(Communicat msg);
    void cleanup();

private:
    QAtomicPointer<auxthreadcontroller> m_auxThreadCtrl;
};

#endif // SUBSERIALTQTHREAD_H
