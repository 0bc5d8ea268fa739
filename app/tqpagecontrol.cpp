#include "app/tqpagecontrol.h"

#include <QDebug>

#include "app/auxthreadcontroller.h"
#include "app/msgtypes.h"

// Created during static initialisation, before main, and never deleted.
static TQPageControl* s_tqpagecontrol = TQPageControl::getInstance();

TQPageControl* TQPageControl::getInstance()
{
    static TQPageControl* instance = new TQPageControl(nullptr);
    return instance;
}

TQPageControl::TQPageControl(QObject* parent)
    : PageControlBase(e_TQPAGE, parent)
{
    connect(this, &TQPageControl::signalOpenOrClosePort, this, &TQPageControl::doProcessClickedOpen, Qt::DirectConnection);
    connect(this, &TQPageControl::signalSeachVersion, this, &TQPageControl::doProcessCheckVersion, Qt::DirectConnection);
    connect(this, &TQPageControl::signalSeachReg, this, &TQPageControl::doProcessCheckReg, Qt::DirectConnection);
    connect(this, &TQPageControl::signalModeCtrl, this, &TQPageControl::doProcessModeCtrl, Qt::DirectConnection);
    connect(this, &TQPageControl::signalRadioMode6144, this, &TQPageControl::doProcessRadio6144, Qt::DirectConnection);
    connect(this, &TQPageControl::signalRadioMode6145, this, &TQPageControl::doProcessRadio6145, Qt::DirectConnection);
    connect(this, &TQPageControl::signalGasMode6152, this, &TQPageControl::doProcessGas6152, Qt::DirectConnection);
    connect(this, &TQPageControl::signalOpenDbFile, this, &TQPageControl::doProcessOpenDbFile, Qt::DirectConnection);
    connect(this, &TQPageControl::signalDownloadFirmware, this, &TQPageControl::doProcessDownLoadFirmware, Qt::DirectConnection);
    connect(this, &TQPageControl::signalReadFile257, this, &TQPageControl::doProcessReadFile257Ctrl, Qt::DirectConnection);
}

void TQPageControl::setSerialPortParam(QString portName, int baud, int dataBits, int stopBits, QString parity)
{
    m_portName = portName;
    m_baud = baud;
    m_dataBits = dataBits;
    m_stopBits = stopBits;
    m_parity = parity;
}

subSerialTQThread* TQPageControl::getSerialWorker()
{
    if (!mAuxThreadCtrl) {
        qDebug() << "registerCallAuxThread err:mAuxThreadCtrl is null";
        return nullptr;
    }
    return mAuxThreadCtrl->getSerialWorker();
}

bool TQPageControl::registerCallAuxThread()
{
    if (!PageControlBase::registerCallAuxThread())
        return false;
    connect(mAuxThreadCtrl.data(), &auxthreadcontroller::SignalToTQPage,
            this, &TQPageControl::doProcessRecvMsgHandel, Qt::UniqueConnection);
    return true;
}

void TQPageControl::doProcessClickedOpen(bool state)
{
    qDebug() << "TQPageControl::doProcessClickedOpen---";
    sendCompack(openCloseRequest(state, m_portName, 0));
    qDebug() << "TQPageControl--open-over--";
}

void TQPageControl::doProcessCheckVersion(int devId)
{
    sendCompack(versionRequest(devId));
}

void TQPageControl::doProcessCheckReg(int devId, int regAddr, int regOp, int regData, int transferId)
{
    sendCompack(regRequest(devId, regAddr, regOp, regData, transferId));
}

void TQPageControl::doProcessModeCtrl(int devId, int cmd, QString cParameter)
{
    sendCompack(ctrlRequest(devId, cmd, cParameter));
}

void TQPageControl::doProcessRadio6144(int cmd, int opCmd, int selNodeId)
{
    sendCompack(makeRequest(g_strCmdType[e_TQ_OPAL_RADIO_6144], QString::number(cmd),
                            QString::number(opCmd), selNodeId));
}

void TQPageControl::doProcessRadio6145(int cmd, int opCmd, int selNodeId)
{
    sendCompack(makeRequest(g_strCmdType[e_TQ_OPAL_RADIO_6145], QString::number(cmd),
                            QString::number(opCmd), selNodeId));
}

void TQPageControl::doProcessGas6152(int cmd, int gas1, int gas2, int gas3, int gas4)
{
    sendCompack(gasRequest(cmd, gas1, gas2, gas3, gas4));
}

void TQPageControl::doProcessOpenDbFile(QString strPath)
{
    m_dbFilePath = strPath;
    qDebug() << "-----doProcessOpenDbFile---strPath=" << strPath;
}

void TQPageControl::doProcessDownLoadFirmware(int devId, int cmd, int partNo, QString strVersion)
{
    Q_UNUSED(partNo)
    sendCompack(makeRequest(g_strCmdType[e_TQ_OPAL_DOWNLOAD], QString::number(cmd), strVersion, devId));
}

void TQPageControl::doProcessReadFile257Ctrl(int offset, int opCmd, int fileType, int transferId)
{
    QString args = QString("%1,%2").arg(opCmd).arg(offset);
    if (transferId >= 0)
        args += QStringLiteral(",%1").arg(transferId);
    sendCompack(makeRequest(g_strCmdType[e_TQ_OPAL_READ_FILE_CTRL], QStringLiteral("257"), args, fileType));
}

void TQPageControl::doProcessRecvMsgHandel(Communicat msg)
{
    if (msg.SrcType != e_TQTHREAD)
        return;
    if (msg.cmdtype == g_strCmdType[e_TQ_OPAL_SEARCH])
        emit signalNotifyTQResult(CommunicatPage{kPageCodeSearchResult, msg.cmdtype, msg.arg2});
}
