#ifndef TQFORMALPAGECONTROL_H
#define TQFORMALPAGECONTROL_H

// The configurator page's controller: turns the page's requests into
// messages for the serial worker and port-search results into page records.

#include "app/pagecontrolbase.h"

class tqformalpagecontrol : public PageControlBase
{
    Q_OBJECT
public:
    static tqformalpagecontrol* getInstance();

signals:
    void signalModeCtrlF(int devId, int cmd, QString cParameter);
    void signalSeachRegF(int devId, int regAddr, int regOp, int regData);
    void signalDownloadFirmwareF(int devId, int dataLen, QByteArray upgradeData, QByteArray uniqueData);
    void signalDownloadFirmwareGOF(int devId);
    // transferId: as for PageControlBase::versionRequest.
    void signalSeachVersionF(int devId, int transferId = -1);
    void signalGasMode6152F(int subject, int gas1, int gas2, int gas3, int gas4);
    void signalOpenOrClosePortF(bool open, QString portName, int canBaud);
    void signalSeachPortF();
    void signalRadioMode6145F(int cmd, int newId, int selNodeId);
    void signalNotifyTQResultF(CommunicatPage page);

public slots:
    void doProcessModeCtrlF(int devId, int cmd, QString cParameter);
    void doProcessCheckRegF(int devId, int regAddr, int regOp, int regData);
    void doProcessDownLoadFirmwareF(int devId, int dataLen, QByteArray upgradeData, QByteArray uniqueData);
    void doProcessDownLoadFirmwareGOF(int devId);
    void doProcessCheckVersionF(int devId, int transferId = -1);
    void doProcessGas6152F(int cmd, int gas1, int gas2, int gas3, int gas4);
    void doProcessClickedOpenF(bool open, QString portName, int canBaud);
    void doProcessSearchPortF();
    void doProcessRadio6145F(int cmd, int newId, int selNodeId);
    void doProcessRecvMsgHandelF(Communicat msg);

protected:
    bool registerCallAuxThread() override;

private:
    explicit tqformalpagecontrol(QObject* parent = nullptr);
};

#endif // TQFORMALPAGECONTROL_H
