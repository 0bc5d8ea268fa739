// Bus configuration: the CAN bit rate of every node and of the adapter, and
// the node ID.
//
// The page cannot know which rate each node runs at, so the bit-rate change
// visits every other rate in turn: it sets the adapter to that rate, waits,
// and writes the target's code into register 4 of every node ID (nodes on
// that rate switch), then waits again. Last, the adapter goes to the target
// rate, where the nodes are listed anew from their heartbeats. The steps
// are paced by the single-shot m_baudTimer, about 1.8 s in all.
//
// A node that refuses the write, or does not hear it, stays at its old rate
// and would vanish from the list without a word. So the change ends only
// when every node listed before it is heard again at the new rate, or after
// a few missed heartbeats; then one box names the nodes it lost. A port
// that closes under the change cuts it short: a box beside the port's says
// which rate the nodes were told and names the nodes it lost so far.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>
#include <QMessageBox>

#include <algorithm>

#include "app/tqformalpagecontrol.h"
#include "app/tqpagecontrol.h"
#include "configurator/canbaud.h"
#include "configurator/tqcan_private.h"

namespace {

// Time for the adapter to take a rate, and for the nodes to take a write.
constexpr int kBaudStepMs = 300;

constexpr int kCmdNodeIdAssign = 6145;

// A node heard at the new rate sends a heartbeat a second; one silent for
// this long after the adapter took the rate did not follow.
constexpr int kBaudReturnWaitMs = 5000;

} // namespace

void TQCAN::startBaudChange()
{
    if (!m_portOpen) {
        QMessageBox::information(this, tr("Info"), tr("Please Open Serial Port First !"));
        return;
    }
    // A node in its boot loader would miss the new rate.
    if (refusedDuringUpgrade())
        return;
    const int target = ui->comboBox_baud_set->currentIndex();
    if (m_baudSeqActive || m_baudAwaitingReturn || target < 0 || target >= canbaud::kCount)
        return;

    m_baudTarget = target;
    m_baudCandidates.clear();
    for (int i = 0; i < canbaud::kCount; ++i) {
        if (i != target)
            m_baudCandidates << i;
    }
    m_baudStep = 0;
    m_baudAwaited = mDevInfoMap.keys();
    m_baudRefusals.clear();
    qDebug() << "startBaudChange--target rate=" << canbaud::rateOf(target) << "nodes" << m_baudAwaited;

    clearDevAndRegInfo();
    // The nodes are told 0 while the adapter still shares their rate.
    m_throttle.sendZeros();
    m_baudSeqActive = true;
    setBusControlsEnabled(false);
    m_baudTimer.start(0);
}

bool TQCAN::refusedDuringUpgrade(int nodeId)
{
    if (m_upgradeState == 0 || (nodeId != 0 && nodeId != m_upgrade_devId))
        return false;
    QMessageBox::information(this, tr("Info"), tr("Please wait until the upgrade has finished !"));
    return true;
}

void TQCAN::doProcessSetBaudTimerOut()
{
    if (m_baudAwaitingReturn) {
        reportBaudChange(); // the nodes still awaited did not follow
        return;
    }
    if (!m_baudSeqActive)
        return;
    if (!m_portOpen) {
        finishBaudChange();
        return;
    }

    tqformalpagecontrol* ctrl = tqformalpagecontrol::getInstance();
    const int steps = m_baudCandidates.size() * 2;
    if (m_baudStep < steps) {
        const int candidate = m_baudCandidates.at(m_baudStep / 2);
        const int rate = static_cast<int>(canbaud::rateOf(candidate));
        if (m_baudStep % 2 == 0) {
            clearDevAndRegInfo();
            qDebug() << "---doProcessSetBaudTimerOut---adapter rate=" << rate;
            emit ctrl->signalOpenOrClosePortF(true, m_openPortName, rate);
        } else {
            const int code = canbaud::registerCode(m_baudTarget);
            qDebug() << "---doProcessSetBaudTimerOut---register 4 :=" << code << "at rate" << rate;
            for (int node = kFirstNodeId; node <= kLastNodeId; ++node)
                emit TQPageControl::getInstance()->signalSeachReg(node, canbaud::kRegister, 2, code);
        }
        ++m_baudStep;
        m_baudTimer.start(kBaudStepMs);
        return;
    }

    emit ctrl->signalOpenOrClosePortF(true, m_openPortName,
                                      static_cast<int>(canbaud::rateOf(m_baudTarget)));
    ui->comboBox_baud->setCurrentIndex(m_baudTarget);
    clearDevAndRegInfo();
    qDebug() << "---doProcessSetBaudTimerOut---over---";

    // The bus controls stay locked while the nodes are awaited; heartbeats
    // list them again meanwhile.
    m_baudSeqActive = false;
    m_baudStep = -1;
    for (auto it = m_baudRefusals.cbegin(); it != m_baudRefusals.cend(); ++it)
        m_baudAwaited.removeAll(it.key());
    m_baudAwaitingReturn = true;
    if (m_baudAwaited.isEmpty())
        reportBaudChange();
    else
        m_baudTimer.start(kBaudReturnWaitMs);
}

void TQCAN::noteBaudWriteReply(int nodeId, int opState)
{
    // A refusal late for the last step still counts.
    if ((!m_baudSeqActive && !m_baudAwaitingReturn) || opState == kRegOpWriteOk)
        return;
    qWarning() << "bit-rate change: node" << nodeId << "refused the write, op state" << opState;
    m_baudRefusals.insert(nodeId, opState);
    // The refusal says all there is: no need to wait for the node.
    noteHeardAtNewRate(nodeId);
}

void TQCAN::noteHeardAtNewRate(int nodeId)
{
    if (!m_baudAwaitingReturn || !m_baudAwaited.removeAll(nodeId))
        return;
    if (m_baudAwaited.isEmpty())
        reportBaudChange();
}

void TQCAN::reportBaudChange()
{
    const QString lost = baudChangeLossText();
    // The page is idle again before the box opens.
    finishBaudChange();
    if (lost.isEmpty())
        return;
    qWarning() << "bit-rate change:" << lost;
    QMessageBox::information(this, tr("Info"), lost);
}

QString TQCAN::baudChangeLossText()
{
    // A node that refused is named whatever is heard of its ID since:
    // another node may share it.
    QStringList lines;
    for (auto it = m_baudRefusals.cbegin(); it != m_baudRefusals.cend(); ++it)
        lines << tr("node 0x%1: refused the new rate (error 0x%2)")
                     .arg(it.key(), 0, 16)
                     .arg(it.value(), 2, 16, QLatin1Char('0'));
    std::sort(m_baudAwaited.begin(), m_baudAwaited.end());
    for (int node : qAsConst(m_baudAwaited)) {
        // Until the walk ends, a node that refused is still awaited too.
        if (!m_baudRefusals.contains(node))
            lines << tr("node 0x%1: not heard at the new rate").arg(node, 0, 16);
    }
    if (lines.isEmpty())
        return QString();
    return tr("These nodes did not take the new bit rate %1 and may still run at their old rate:\n%2")
        .arg(ui->comboBox_baud_set->itemText(m_baudTarget), lines.join(QLatin1Char('\n')));
}

QString TQCAN::endBaudChangeCutShort()
{
    if (!m_baudSeqActive && !m_baudAwaitingReturn)
        return QString();
    const QString rate = ui->comboBox_baud_set->itemText(m_baudTarget);
    // The nodes listed run at the rate the port was opened at, which the
    // rate box shows until the walk ends; they were told the new rate once
    // the walk wrote it at theirs. From then on the rate box shows the new
    // rate, as at the end of a change, and the box names the nodes known
    // not to be there; before, it keeps theirs.
    const QString listedRate = ui->comboBox_baud->currentText();
    const int writeAtListedRate = 2 * m_baudCandidates.indexOf(ui->comboBox_baud->currentIndex()) + 1;
    const bool told = m_baudAwaitingReturn || m_baudStep > writeAtListedRate;
    QString text = told ? tr("The bit-rate change to %1 did not finish: the port closed. The nodes were told %1, "
                             "which the rate box shows now.").arg(rate)
                        : tr("The bit-rate change to %1 did not finish: the port closed before the nodes listed "
                             "were told it. They still run at %2, which the rate box shows.").arg(rate, listedRate);
    const QString lost = baudChangeLossText();
    if (!lost.isEmpty())
        text += QLatin1Char('\n') + lost;
    if (told)
        ui->comboBox_baud->setCurrentIndex(m_baudTarget);
    qWarning() << "bit-rate change cut short by the port's close:" << text;
    finishBaudChange();
    return text;
}

void TQCAN::finishBaudChange()
{
    m_baudTimer.stop();
    m_baudStep = -1;
    m_baudSeqActive = false;
    m_baudAwaitingReturn = false;
    m_baudAwaited.clear();
    m_baudRefusals.clear();
    setBusControlsEnabled(true);
}

void TQCAN::setBusControlsEnabled(bool enabled)
{
    ui->btnOpen->setEnabled(enabled);
    ui->btn_set_id->setEnabled(enabled);
    ui->btn_set_baud->setEnabled(enabled);
    ui->comboBox_baud_set->setEnabled(enabled);
    // The port and its rate are fixed while the port is open.
    ui->comboBox_baud->setEnabled(enabled && !m_portOpen);
    ui->comboBox_serial->setEnabled(enabled && !m_portOpen);
}

void TQCAN::changeNodeId()
{
    if (!m_portOpen) {
        QMessageBox::information(this, tr("Info"), tr("Please Open Serial Port First !"));
        return;
    }
    // Item i of the box is node i + 16; the last, "encoder", is node 48.
    const int newId = ui->comboBox_id_set->currentIndex() + kFirstNodeId;
    if (newId < kFirstNodeId || newId > kLastNodeId)
        return;

    // The assignment is a broadcast: every node that hears it takes the ID.
    const int listedBefore = mDevInfoMap.size();
    if (listedBefore > 1) {
        const auto answer = QMessageBox::question(
            this, tr("Info"),
            tr("The new ID is sent to every node on the bus. %1 nodes are listed, and all of them "
               "would take the ID %2.\nSet it anyway?")
                .arg(listedBefore)
                .arg(ui->comboBox_id_set->currentText()),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
    }
    qDebug() << "changeNodeId--new node id=" << newId;
    // Only now: No leaves the lists, the register table and the throttle
    // test as they were.
    clearDevAndRegInfo();
    // A renamed node no longer hears its group: it is told 0 first.
    m_throttle.sendZeros();
    emit tqformalpagecontrol::getInstance()->signalRadioMode6145F(kCmdNodeIdAssign, newId, newId);
}
