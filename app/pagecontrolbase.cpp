#include "app/pagecontrolbase.h"

#include <QDebug>

#include "app/auxthreadcontroller.h"
#include "app/msgtypes.h"

PageControlBase::PageControlBase(int pageId, QObject* parent)
    : QObject(parent), m_pageId(pageId)
{
}

auxthreadcontroller* PageControlBase::auxThreadCtrl() const
{
    return mAuxThreadCtrl.data();
}

void PageControlBase::setAuxThreadCtrl(auxthreadcontroller* hub)
{
    if (hub)
        mAuxThreadCtrl = hub;
    registerCallAuxThread();
}

bool PageControlBase::registerCallAuxThread()
{
    if (!mAuxThreadCtrl) {
        qDebug() << "registerCallAuxThread err:mAuxThreadCtrl is null";
        return false;
    }
    return true;
}

bool PageControlBase::sendCompack(const Communicat& msg)
{
    if (!mAuxThreadCtrl) {
        qDebug() << "sendCompack err:mAuxThreadCtrl is null";
        return false;
    }
    mAuxThreadCtrl->NotifyMessage(msg);
    return true;
}

Communicat PageControlBase::makeRequest(const QString& cmdtype, const QString& arg1,
                                        const QString& arg2, int param,
                                        const QByteArray& data) const
{
    Communicat msg;
    msg.SrcType = m_pageId;
    msg.DestType = e_TQTHREAD;
    msg.cmdtype = cmdtype;
    msg.arg1 = arg1;
    msg.arg2 = arg2;
    msg.data = data;
    msg.sender = reinterpret_cast<qintptr>(this);
    msg.param = param;
    return msg;
}

Communicat PageControlBase::openCloseRequest(bool open, const QString& portName, int canBaud) const
{
    return makeRequest(g_strCmdType[open ? e_TQ_OPAL_OPEN : e_TQ_OPAL_CLOSE], portName, QString(), canBaud);
}

Communicat PageControlBase::versionRequest(int devId, int transferId) const
{
    return makeRequest(g_strCmdType[e_TQ_OPAL_VERSION], QString(),
                       transferId >= 0 ? QString::number(transferId) : QString(), devId);
}

Communicat PageControlBase::regRequest(int devId, int regAddr, int regOp, int regData, int transferId) const
{
    QString args = QString("%1,%2").arg(regOp).arg(regData);
    if (transferId >= 0)
        args += QStringLiteral(",%1").arg(transferId);
    return makeRequest(g_strCmdType[e_TQ_OPAL_REG], QString::number(regAddr), args, devId);
}

Communicat PageControlBase::ctrlRequest(int devId, int cmd, const QString& parameter) const
{
    return makeRequest(g_strCmdType[e_TQ_OPAL_CTRL], QString::number(cmd), parameter, devId);
}

Communicat PageControlBase::gasRequest(int subject, int gas1, int gas2, int gas3, int gas4) const
{
    return makeRequest(g_strCmdType[e_TQ_OPAL_RADIO_GAS_UPDATA], QString::number(subject),
                       QString("%1,%2,%3,%4").arg(gas1).arg(gas2).arg(gas3).arg(gas4), 0);
}
