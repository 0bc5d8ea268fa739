#ifndef AUXTHREADCONTROLLER_H
#define AUXTHREADCONTROLLER_H

// The message hub. It owns the serial and heartbeat workers and their
// threads, and routes every request record to its destination by DestType.
// It is a QThread only by descent: the object lives in the GUI thread and is
// never started.

#include <QThread>

#include "app/communicat.h"
#include "kiosk/subheartbeatthread.h"
#include "link/appthread.h"
#include "link/subserialtqthread.h"

class auxthreadcontroller : public QThread
{
    Q_OBJECT
public:
    explicit auxthreadcontroller(QObject* parent = nullptr);
    ~auxthreadcontroller() override;

    // Routes one record by its DestType. Callable from any thread.
    void NotifyMessage(Communicat msg);

    subSerialTQThread* getSerialWorker() { return &serialWorker; }
    subHeartbeatThread* getHeartWorker() { return &heartWorker; }

signals:
    void SignalToHeart(Communicat msg);
    void SignalToMainPage(Communicat msg);
    void SignalToCashSelPage(Communicat msg);
    void SignalToTQPage(Communicat msg);
    void SignalToTQFormalPage(Communicat msg);
    void SignalToTQThread(Communicat msg);

private:
    void startAuxThreads();

    // Declared in this order so that destruction runs serial worker, serial
    // thread, heartbeat worker, heartbeat thread.
    AppThread heartThread;
    subHeartbeatThread heartWorker;
    AppThread serialThread;
    subSerialTQThread serialWorker;
};

#endif // AUXTHREADCONTROLLER_H
