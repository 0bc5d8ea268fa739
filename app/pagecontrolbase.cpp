#include "app/pagecontrolbase.h"

#include <QDebug>

#include "app/auxthreadcontroller.h"


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
