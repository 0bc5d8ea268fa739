#include "app/mainpagecontrol.h"

#include <QDebug>

#include "app/auxthreadcontroller.h"

// Created during static initialisation, before main, and never deleted.
static mainpageControl* s_mainpagecontrol = mainpageControl::getInstance();

mainpageControl* mainpageControl::getInstance()
{
    static mainpageControl* instance = new mainpageControl(nullptr);
    return instance;
}

mainpageControl::mainpageControl(QObject* parent)
    : PageControlBase(e_MAINPAGE, parent)
{
}

auxthreadcontroller* mainpageControl::createAuxThreadCtrl()
{
    if (!mAuxThreadCtrl)
        mAuxThreadCtrl = new auxthreadcontroller(nullptr);
    return mAuxThreadCtrl;
}

void mainpageControl::deleteMutexThread()
{
    qDebug() << "deleteMutexThread--begin";
    if (mAuxThreadCtrl) {
        delete mAuxThreadCtrl.data();
        mAuxThreadCtrl = nullptr;
    }
}

void mainpageControl::machine_init()
{
    Communicat msg;
    msg.SrcType = e_MAINPAGE;
    msg.DestType = e_NETTHREAD;
    msg.cmdtype = QStringLiteral("cmd_sync_ntp");
    msg.arg1 = QStringLiteral("Init");
    msg.sender = reinterpret_cast<qintptr>(this);
    sendCompack(msg);
}

void mainpageControl::doProcessUpdateLanguage(int index)
{
    qDebug() << "doProcessUpdateLanguage index=" << index;
    emit signalUpdateLang(index);
}
