#include "kiosk/cashselectpage.h"

#include <QDebug>

CashSelectPage::CashSelectPage(QWidget* parent) : QWidget(parent) {}

void CashSelectPage::ButtonInitRefresh(int page)
{
    qDebug() << "CashSelectPage::ButtonInitRefresh" << page;
}
