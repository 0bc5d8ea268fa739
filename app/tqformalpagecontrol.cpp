#include "app/tqformalpagecontrol.h"

#include <QDebug>

#include "app/auxthreadcontroller.h"
#include "app/msgtypes.h"

// Created during static initialisation, before main, and never deleted.
static tqformalpagecontrol* s_tqformalpagecontrol = tqformalpagecontrol::getInstance();

tqformalpagecontrol* tqformalpagecontrol::getInstance()
{
    static tqformalpagecontrol* instance = new tqformalpagecontrol(nullptr);
    return instance;
}

tqformalpagecontrol::tqformalpagecontrol(QObject* parent)
    : PageControlBase(e_TQFORMALPAGE, parent)
{
    // Direct connections: the request is built synchronously in the
    // emitting (GUI) thread, so requests keep their order.
    connect(this, &tqformalpagecontrol::signalModeCtrlF, this, &tqformalpagecontrol::doProcessModeCtrlF, Qt::DirectConnection);
    connect(this, &tqformalpagecontrol::signalSeachRegF, this, &tqformalpagecontrol::doProcessCheckRegF, Qt::DirectConnection);
    connect(this, &tqformalpagecontrol::signalDownloadFirmwareF, this, &tqformalpagecontrol::doProcessDownLoadFirmwareF, Qt::DirectConnection);
    connect(this, &tqformalpagecontrol::signalDownloadFirmwareGOF, this, &tqformalpagecontrol::doProcessDownLoadFirmwareGOF, Qt::DirectConnection);
    connect(this, &tqformalpagecontrol::signalSeachVersionF, this, &tqformalpagecontrol::doProcessCheckVersionF, Qt::DirectConnection);
    connect(this, &tqformalpagecontrol::signalGasMode6152F, this, &tqformalpagecontrol::doProcessGas6152F, Qt::DirectConnection);
    connect(this, &tqformalpagecontrol::signalOpenOrClosePortF, this, &tqformalpagecontrol::doProcessClickedOpenF, Qt::DirectConnection);
    connect(this, &tqformalpagecontrol::signalSeachPortF, this, &tqformalpagecontrol::doProcessSearchPortF, Qt::DirectConnection);
    connect(this, &tqformalpagecontrol::signalRadioMode6145F, this, &tqformalpagecontrol::doProcessRadio6145F, Qt::DirectConnection);
}

bool tqformalpagecontrol::registerCallAuxThread()
{
    if (!PageControlBase::registerCallAuxThread())
        return false;
    connect(mAuxThreadCtrl.data(), &auxthreadcontroller::SignalToTQFormalPage,
            this, &tqformalpagecontrol::doProcessRecvMsgHandelF, Qt::UniqueConnection);
    return true;
}

void tqformalpagecontrol::doProcessModeCtrlF(int devId, int cmd, QString cParameter)
{
    sendCompack(ctrlRequest(devId, cmd, cParameter));
}

void tqformalpagecontrol::doProcessCheckRegF(int devId, int regAddr, int regOp, int regData)
{
    sendCompack(regRequest(devId, regAddr, regOp, regData));
}

void tqformalpagecontrol::doProcessDownLoadFirmwareF(int devId, int dataLen, QByteArray upgradeData,
                                                     QByteArray uniqueData)
{
    // The unique data travels as Latin-1 text so that every byte value
    // survives; the worker takes its first 8 bytes as the file tag.
    qDebug() << "doProcessDownLoadFirmwareF devId=" << devId << "dataLen=" << dataLen;
    sendCompack(makeRequest(g_strCmdType[e_TQ_OPAL_DOWNLOAD], QString::fromLatin1(uniqueData.constData(), uniqueData.size()),
                            QString::number(dataLen), devId, upgradeData));
}

void tqformalpagecontrol::doProcessDownLoadFirmwareGOF(int devId)
{
    sendCompack(makeRequest(g_strCmdType[e_TQ_OPAL_DOWNLOAD_GO], QString(), QString(), devId));
}

void tqformalpagecontrol::doProcessCheckVersionF(int devId, int transferId)
{
    sendCompack(versionRequest(devId, transferId));
}

void tqformalpagecontrol::doProcessGas6152F(int cmd, int gas1, int gas2, int gas3, int gas4)
{
    sendCompack(gasRequest(cmd, gas1, gas2, gas3, gas4));
}

void tqformalpagecontrol::doProcessClickedOpenF(bool open, QString portName, int canBaud)
{
    sendCompack(openCloseRequest(open, portName, canBaud));
}

void tqformalpagecontrol::doProcessSearchPortF()
{
    sendCompack(makeRequest(g_strCmdType[e_TQ_OPAL_SEARCH], QString(), QString(), 0));
}

void tqformalpagecontrol::doProcessRadio6145F(int cmd, int newId, int selNodeId)
{
    sendCompack(makeRequest(g_strCmdType[e_TQ_OPAL_RADIO_6145], QString::number(cmd),
                            QString::number(newId), selNodeId));
}

void tqformalpagecontrol::doProcessRecvMsgHandelF(Communicat msg)
{
    if (msg.SrcType != e_TQTHREAD)
        return;
    if (msg.cmdtype == g_strCmdType[e_TQ_OPAL_SEARCH])
        emit signalNotifyTQResultF(CommunicatPage{kPageCodeSearchResult, msg.cmdtype, msg.arg2});
}
