#include "link/subserialtqthread.h"

#include <QDebug>

subSerialTQThread::subSerialTQThread(QObject* parent) : QObject(parent) {}

void subSerialTQThread::doProcessRecvReq(Communicat msg)
{
    qDebug() << "subSerialTQThread::doProcessRecvReq" << msg.cmdtype;
}

void subSerialTQThread::cleanup() {}
