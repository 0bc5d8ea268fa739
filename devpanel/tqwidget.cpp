#include "devpanel/tqwidget.h"

#include "app/tqpagecontrol.h"

tqWidget::tqWidget(QWidget* parent) : QWidget(parent) {}

subSerialTQThread* tqWidget::getSerialWorker()
{
    return TQPageControl::getInstance()->getSerialWorker();
}
