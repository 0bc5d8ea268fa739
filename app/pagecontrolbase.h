#ifndef PAGECONTROLBASE_H
#define PAGECONTROLBASE_H

// What every page controller shares: the hub pointer and the one way of
// handing a request to it.

#include <QObject>
#include <QPointer>

#include "app/communicat.h"

class auxthreadcontroller;

class PageControlBase : public QObject
{
    Q_OBJECT
public:
    // Keeps the hub (a null hub keeps the one already held), then connects
    // the hub's signal for this controller's destination.
    void setAuxThreadCtrl(auxthreadcontroller* hub);
    auxthreadcontroller* auxThreadCtrl() const;

    // Hands one request to the hub. Without a hub the request is dropped
    // with a log line and false is returned.
    bool sendCompack(const Communicat& msg);

protected:
    PageControlBase(int pageId, QObject* parent);

    // A request from this controller to the serial worker.
    Communicat makeRequest(const QString& cmdtype, const QString& arg1,
                           const QString& arg2, int param,
                           const QByteArray& data = QByteArray()) const;
    // The requests both the developer panel and the configurator page send.
    Communicat openCloseRequest(bool open, const QString& portName, int canBaud) const;
    // transferId: the request's own transfer-ID (0..31), which its response
    // carries back; -1 lets the link number it.
    Communicat versionRequest(int devId, int transferId = -1) const;
    Communicat regRequest(int devId, int regAddr, int regOp, int regData, int transferId = -1) const;
    Communicat ctrlRequest(int devId, int cmd, const QString& parameter) const;
    Communicat gasRequest(int subject, int gas1, int gas2, int gas3, int gas4) const;

    // Connects the hub's signal for this controller's destination to its
    // hub slot; logs and returns false when no hub is held.
    virtual bool registerCallAuxThread();

    // Guarded: the hub is deleted at shutdown while the controllers live on,
    // and a request sent after that must find no hub rather than a freed one.
    QPointer<auxthreadcontroller> mAuxThreadCtrl;

private:
    const int m_pageId;
};

#endif // PAGECONTROLBASE_H
