// The register list of the device chosen on the parameter tab: its small
// operations, and the dropping of all device and register state.

#include "configurator/tqcan.h"

#include <QDebug>

QString TQCAN::getDevTypeById(int nodeId) const
{
    const auto it = mDevInfoMap.constFind(nodeId);
    if (it == mDevInfoMap.constEnd())
        return QString();
    return it->value(QStringLiteral("devType"));
}

void TQCAN::setRegParaList(const QList<RegRecord>& records)
{
    mRegParaList = records;
    ++m_regListGeneration;
}

void TQCAN::removeRegRecord(qint16 devRow)
{
    for (int i = mRegParaList.size() - 1; i >= 0; --i) {
        if (mRegParaList.at(i).devRow == devRow)
            mRegParaList.removeAt(i);
    }
}

void TQCAN::endRegisterReads()
{
    mReadRegCount = 0;
    m_regInfoReading = false;
    m_regInfoAwaitedTid = -1;
    m_regReadRunning = false;
}

void TQCAN::endRegisterSequences()
{
    endRegisterReads();
    m_regWriteRunning = false;
    m_regWritesAwaited.clear();
    m_regWriteTimer.stop();
}

void TQCAN::dropRegisterList()
{
    setRegParaList({});
    endRegisterSequences();
}

void TQCAN::clearDevAndRegInfo()
{
    refreshRegTable();
    dropRegisterList();
    m_setDevRow = -1;
    m_setDevId = 0;
    clearSetRegTable();
}
