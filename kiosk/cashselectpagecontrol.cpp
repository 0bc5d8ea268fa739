#include "kiosk/cashselectpagecontrol.h"

#include <QDebug>

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
{
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
