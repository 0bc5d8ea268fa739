#include "kiosk/cashselectpagecontrol.h"

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
