// Firmware and parameter handlers of the configurator page, as the page's
// dispatcher and buttons reach them. These bodies only log: the firmware
// database, downloads, the upgrade sequence and register read and write
// replace this file.

#include "configurator/tqcan.h"

#include <QDebug>
#include <QNetworkReply>

void TQCAN::startUpgrade()
{
    qDebug() << "startUpgrade: firmware upgrade not built yet";
}

void TQCAN::failUpgrade()
{
    qDebug() << "failUpgrade: firmware upgrade not built yet";
}

void TQCAN::startUpgradeReadReg5()
{
    qDebug() << "startUpgradeReadReg5: firmware upgrade not built yet";
}

void TQCAN::upgradeWatchdogTick()
{
    if (m_upgrade_timeout > 0)
        qDebug() << "upgradeWatchdogTick: firmware upgrade not built yet";
}

void TQCAN::handleRegReadWrite256MsgUpgrade(int op, int reg, int value)
{
    qDebug() << "handleRegReadWrite256MsgUpgrade: op" << op << "reg" << reg << "value" << value;
}

void TQCAN::handleUpgrade409Msg(int result)
{
    qDebug() << "handleUpgrade409Msg: firmware upgrade not built yet, result" << result;
}
