#include "kiosk/subheartbeatthread.h"

#include <QDebug>

subHeartbeatThread::subHeartbeatThread(QObject* parent) : QObject(parent) {}

void subHeartbeatThread::doProcessHeartRecv(Communicat msg)
{
    qDebug() << "subHeartbeatThread::doProcessHeartRecv" << msg.cmdtype;
}

void subHeartbeatThread::cleanup() {}
