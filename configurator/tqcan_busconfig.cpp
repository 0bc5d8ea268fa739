// Bus configuration: the CAN bit rate of every node and of the adapter, and
// the node ID.
//
// The page cannot know which rate each node runs at, so the bit-rate change
// visits every other rate in turn: it sets the adapter to that rate, waits,
// and writes the target's code into register 4 of every node ID (nodes on
// that rate switch), then waits again. Last, the adapter goes to the target
// rate, where the nodes are listed anew from their heartbeats. The steps
// are paced by the single-shot m_baudTimer, about 1.8 s in all.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>
#include <QMessageBox>

#include "app/tqformalpagecontrol.h"
#include "app/tqpagecontrol.h"
#include "configurator/canbaud.h"
#include "configurator/tqcan_private.h"

namespace {

// Time for the adapter to take a rate, and for the nodes to take a write.
constexpr int kBaudStepMs = 300;

constexpr int kCmdNodeIdAssign = 6145;

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
    if (m_baudSeqActive || target < 0 || target >= canbaud::kCount)
        return;

    m_baudTarget = target;
    m_baudCandidates.clear();
    for (int i = 0; i < canbaud::kCount; ++i) {
        if (i != target)
            m_baudCandidates << i;
    }
    m_baudStep = 0;
    qDebug() << "startBaudChange--target rate=" << canbaud::rateOf(target);

    clearDevAndRegInfo();
    m_baudSeqActive = true;
    setBusControlsEnabled(false);
    m_baudTimer.start(0);
}

bool TQCAN::refusedDuringUpgrade()
{
    if (m_upgradeState == 0)
        return false;
    QMessageBox::information(this, tr("Info"), tr("Please wait until the upgrade has finished !"));
    return true;
}

void TQCAN::doProcessSetBaudTimerOut()
{
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
    finishBaudChange();
    qDebug() << "---doProcessSetBaudTimerOut---over---";
}

void TQCAN::finishBaudChange()
{
    m_baudTimer.stop();
    m_baudStep = -1;
    m_baudSeqActive = false;
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

void TQCAN::changeNodeId(int listedBefore)
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
    emit tqformalpagecontrol::getInstance()->signalRadioMode6145F(kCmdNodeIdAssign, newId, newId);
}
