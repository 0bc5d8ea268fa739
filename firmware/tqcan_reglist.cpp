// The register list of the device chosen on the parameter tab: its small
// operations, the transfer-IDs of its requests, and the dropping of all
// device and register state.

#include "configurator/tqcan.h"

#include <QDebug>
#include <QMessageBox>
#include <QTimer>
#include <QtAlgorithms>

#include "link/libcanard/canard.h"

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
    endWrite();
}

int TQCAN::takeTransferId()
{
    // Should (nearly) every ID wait for a late answer, those answers are not
    // coming: two requests in a row must never share an ID, as the link
    // drops an answer that repeats the last one's.
    if (qPopulationCount(~m_lateTransferIds) < 2)
        m_lateTransferIds = 0;
    while (m_lateTransferIds & (1u << m_nextTransferId))
        m_nextTransferId = (m_nextTransferId + 1) % canard::kTransferIdModulo;
    const int id = m_nextTransferId;
    m_nextTransferId = (m_nextTransferId + 1) % canard::kTransferIdModulo;
    return id;
}

void TQCAN::noteRegisterAnswer(int nodeId, int transferId)
{
    if (isParameterReply(nodeId))
        m_lateTransferIds &= ~(1u << (transferId % canard::kTransferIdModulo));
}

void TQCAN::dropRegisterList()
{
    setRegParaList({});
    endRegisterSequences();
}

void TQCAN::clearDevAndRegInfo()
{
    const bool writeCut = m_regWriteRunning;
    refreshRegTable();
    dropRegisterList();
    m_setDevRow = -1;
    m_setDevId = 0;
    clearSetRegTable();
    if (!writeCut)
        return;
    // No store command follows: the node holds the writes it took, unstored.
    // The box waits for the caller's end, so that the page shows its new
    // state (the port closed, say) behind it.
    qWarning() << "clearDevAndRegInfo--a running write was cut short";
    QTimer::singleShot(0, this, [this] {
        QMessageBox::information(this, tr("Info"),
                                 tr("Write Parameter Not Finished, The Dev May Hold Part Of It, Please Check!"));
    });
}
