#ifndef TQPAGECONTROL_H
#define TQPAGECONTROL_H

// The developer panel's controller. The configurator page's parameter tab
// sends its register and description reads through it too.

#include "app/pagecontrolbase.h"

class subSerialTQThread;

class TQPageControl : public PageControlBase
{
    Q_OBJECT
public:
    static TQPageControl* getInstance();

    // Stored for the next open request; nothing is checked or sent.
    void setSerialPortParam(QString portName, int baud, int dataBits, int stopBits, QString parity);
    subSerialTQThread* getSerialWorker();

    QString portName() const { return m_portName; }
    QString dbFilePath() const { return m_dbFilePath; }

signals:
    void signalOpenOrClosePort(bool state);
    void signalSeachVersion(int devId);
    // transferId: as for signalReadFile257.
    void signalSeachReg(int devId, int regAddr, int regOp, int regData, int transferId = -1);
    void signalModeCtrl(int devId, int cmd, QString cParameter);
    void signalRadioMode6144(int cmd, int opCmd, int selNodeId);
    void signalRadioMode6145(int cmd, int opCmd, int selNodeId);
    void signalGasMode6152(int cmd, int gas1, int gas2, int gas3, int gas4);
    void signalOpenDbFile(QString strPath);
    void signalDownloadFirmware(int devId, int cmd, int partNo, QString strVersion);
    // transferId: the request's own transfer-ID, which its response carries
    // back (0..31); -1 lets the link number it.
    void signalReadFile257(int offset, int opCmd, int fileType, int transferId = -1);
    void signalNotifyTQResult(CommunicatPage page);

public slots:
    void doProcessClickedOpen(bool state);
    void doProcessCheckVersion(int devId);
    void doProcessCheckReg(int devId, int regAddr, int regOp, int regData, int transferId = -1);
    void doProcessModeCtrl(int devId, int cmd, QString cParameter);
    void doProcessRadio6144(int cmd, int opCmd, int selNodeId);
    void doProcessRadio6145(int cmd, int opCmd, int selNodeId);
    void doProcessGas6152(int cmd, int gas1, int gas2, int gas3, int gas4);
    void doProcessOpenDbFile(QString strPath);
    void doProcessDownLoadFirmware(int devId, int cmd, int partNo, QString strVersion);
    void doProcessReadFile257Ctrl(int offset, int opCmd, int fileType, int transferId = -1);
    void doProcessRecvMsgHandel(Communicat msg);

protected:
    bool registerCallAuxThread() override;

private:
    explicit TQPageControl(QObject* parent = nullptr);

    QString m_portName;
    int m_baud = 0;
    int m_dataBits = 0;
    int m_stopBits = 0;
    QString m_parity;
    QString m_dbFilePath;
};

#endif // TQPAGECONTROL_H
