// The register list of the device chosen on the parameter tab, and the
// dropping of all device and register state.

#include "configurator/tqcan.h"

QString TQCAN::getDevTypeById(int nodeId) const
{
    const auto it = mDevInfoMap.constFind(nodeId);
    if (it == mDevInfoMap.constEnd())
        return QString();
    return it->value(QStringLiteral("devType"));
}

void TQCAN::clearDevAndRegInfo()
{
    refreshRegTable();
    mRegParaList.clear();
    mReadRegCount = 0;
    m_setDevRow = -1;
    m_setDevId = 0;
    clearSetRegTable();
}
