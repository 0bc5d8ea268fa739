// Firmware and parameter handlers of the configurator page, as the page's
// dispatcher and buttons reach them. These bodies only log: the firmware
// database, downloads, the upgrade sequence and register read and write
// replace this file.

#include "configurator/tqcan.h"

#include <QDebug>
#include <QNetworkReply>

bool TQCAN::readParaFile()
{
    qDebug() << "readParaFile: register read not built yet";
    return false;
}

void TQCAN::handleSetCfgReg()
{
    qDebug() << "handleSetCfgReg: register write not built yet";
}

void TQCAN::handleRecoveyCfgReg()
{
    qDebug() << "handleRecoveyCfgReg: register write not built yet";
}

bool TQCAN::saveSetRegValueToFile(short row)
{
    qDebug() << "saveSetRegValueToFile: parameter files not built yet, row" << row;
    return false;
}

bool TQCAN::loadLocalParaFile()
{
    qDebug() << "loadLocalParaFile: parameter files not built yet";
    return false;
}

int TQCAN::showSetRegInfoFromFireware(QString text, bool readValues)
{
    qDebug() << "showSetRegInfoFromFireware: register list not built yet, text length"
             << text.size() << "readValues" << readValues;
    return 1;
}

void TQCAN::handleRegReadWrite256Msg(int op, int reg, int value)
{
    qDebug() << "handleRegReadWrite256Msg: op" << op << "reg" << reg << "value" << value;
}

void TQCAN::handleReadSetRegValue(const uint8_t* payload)
{
    qDebug() << "handleReadSetRegValue: register read not built yet, reg" << payload[1];
}

void TQCAN::handleWriteSetRegValue(const uint8_t* payload)
{
    qDebug() << "handleWriteSetRegValue: register write not built yet, reg" << payload[1];
}
