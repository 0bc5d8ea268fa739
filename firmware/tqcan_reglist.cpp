// The register list of the device chosen on the parameter tab: its small
// operations, and the dropping of all device and register state.

#include "configurator/tqcan.h"

#include <QDebug>

#include "firmware/regtext.h"

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

void TQCAN::upsertRegRecord(qint16 devRow, RegRecord& record)
{
    for (RegRecord& element : mRegParaList) {
        if (element.m_reg == record.m_reg && element.devRow == devRow) {
            if (!record.curValue.isEmpty())
                element.curValue = record.curValue;
            if (!record.defValue.isEmpty())
                element.defValue = record.defValue;
            return;
        }
    }
    mRegParaList.append(record);
}

void TQCAN::removeRegRecord(qint16 devRow)
{
    for (int i = mRegParaList.size() - 1; i >= 0; --i) {
        if (mRegParaList.at(i).devRow == devRow)
            mRegParaList.removeAt(i);
    }
}

QStringList TQCAN::getDefaultRegValueList() const
{
    QStringList out;
    for (const RegRecord& r : mRegParaList) {
        if (r.attr == QLatin1String("REG") && !r.defValue.isEmpty() && !r.m_reg.isEmpty())
            out << QStringLiteral("%1_%2X").arg(r.m_reg, r.defValue);
    }
    return out;
}

void TQCAN::endRegisterReads()
{
    mReadRegCount = 0;
    m_regInfoReading = false;
    m_regReadRunning = false;
}

void TQCAN::endRegisterSequences()
{
    endRegisterReads();
    m_regWriteRunning = false;
    m_regWritesAwaited.clear();
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
