#include "kiosk/commonmethod.h"

// Created during static initialisation, before main, and never deleted.
static commonmethod* s_commonmethod = commonmethod::getInstance();

commonmethod* commonmethod::getInstance()
{
    static commonmethod* instance = new commonmethod();
    return instance;
}

bool commonmethod::copyCommunicat(Communicat* dest, const Communicat& src)
{
    if (!dest)
        return false;
    *dest = src;
    return true;
}
