#include "kiosk/cashselectpagecontrol.h"

#include <QDebug>
#include <QTranslator>

#include "kiosk/commoncontrol.h"

// Created during static initialisation, before main, and never deleted.
static cashselectpageControl* s_cashselectpagecontrol = cashselectpageControl::getInstance();

cashselectpageControl* cashselectpageControl::getInstance()
{
    static cashselectpageControl* instance = new cashselectpageControl(nullptr);
    return instance;
}

cashselectpageControl::cashselectpageControl(QObject* parent)
    : PageControlBase(e_CASHSELPAGE, parent)
    , mTimer(nullptr)
{
    initConnect();
    mTranslator = new QTranslator(this);
}

void cashselectpageControl::initConnect()
{
    // The string form on purpose: the slot is looked up when the connection
    // is made, and its absence is reported rather than a compile error.
    connect(this, SIGNAL(signalClickNext()), this, SLOT(doProcessClickedNext()));
}

int cashselectpageControl::getLanguageType()
{
    if (!mCommonCtrl)
        return 1;
    return mCommonCtrl->readLanguageType();
}

void cashselectpageControl::UpdataLangALL()
{
    qDebug() << "cashselectpageControl UpdataLangALL---后面真实现，现在只有一个主界面";
}

void cashselectpageControl::handelCashSelMsg(Communicat msg)
{
    Q_UNUSED(msg);
}

void cashselectpageControl::initPageHook()
{
}
