// Writing a device's parameters: the options the table shows (or the
// defaults) converted into register values, one write each, the store
// command once every write is answered; and the Options combos' changes.
//
// Each write carries a transfer-ID that no earlier request's answer may
// still name, and a reply counts only for the request it names, by ID and
// register: a reply to an ended write (one that timed out, say, and whose
// replies the node sends at last) is no reply to the next.
//
// A write sequence converts the whole table first and then sends, 20 ms
// apart, so the count holds exactly the writes sent; replies are queued
// events and none is handled before the last write is out. Each row is
// converted with its own register's options (regtext::planWrites). Only
// the write's own end stops it: its last reply (then the store command),
// an error reply, or its time-out; until then the page refuses what would
// cut it short, or ends it with a box when it cannot (clearDevAndRegInfo).

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QComboBox>
#include <QDebug>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <limits>

#include "app/tqformalpagecontrol.h"
#include "app/tqpagecontrol.h"
#include "configurator/tqcan_private.h"
#include "firmware/regtext.h"
#include "link/cyphalports.h"

namespace {

constexpr unsigned long kWritePacingMs = 20;
constexpr unsigned long kStoreDelayMs = 20;
constexpr unsigned long kRestoreReadDelayMs = 100;
constexpr int kRegOpWrite = 2;
constexpr uint8_t kOpWriteOk = 0x20;
// The code the write error box shows for a value the page cannot write: the
// node's own code for a value out of its range.
constexpr int kOpValueRefused = 0x13;
// Execute-command code that stores the persistent states.
constexpr int kCmdStorePersistent = 0xFFFA;

// A register as the write boxes name it: its number, or the address text
// that gives none.
QString registerName(const QString& address)
{
    int reg = 0;
    return regtext::parseRegAddress(address, &reg) ? regtext::hexByte(reg) : address;
}

} // namespace

bool TQCAN::refuseWhileWriting()
{
    if (!m_regWriteRunning)
        return false;
    qDebug() << "refuseWhileWriting--" << m_regWritesAwaited.size() << "write replies still awaited";
    QMessageBox::information(nullptr, tr("Info"), tr("Parameters Are Being Written, Please Wait !"));
    return true;
}

bool TQCAN::refuseWhileReading()
{
    if (!m_regInfoReading && !m_regReadRunning)
        return false;
    qDebug() << "refuseWhileReading--" << m_regReadsAwaited.size() << "read replies still awaited";
    QMessageBox::information(nullptr, tr("Info"), tr("Parameters Are Being Read, Please Wait !"));
    return true;
}

bool TQCAN::refuseWithoutParameters()
{
    // A read that runs has no list yet, or not a whole one.
    if (refuseWhileReading())
        return true;
    if (!mRegParaList.isEmpty())
        return false;
    const bool unfinished = m_readUnfinishedNode != 0 && m_readUnfinishedNode == m_setDevId;
    QMessageBox::critical(nullptr, tr("Info"),
                          unfinished ? tr("Read Parameters Not Finished, Please Read Again !")
                                     : tr("Please Get Setting Parameter First !"));
    return true;
}

bool TQCAN::refuseAfterRestart(bool loading)
{
    if (!restartOutdatesList(loading))
        return false;
    qWarning() << "refuseAfterRestart--node" << m_setDevId << "restarted after its parameters were read";
    QMessageBox::information(nullptr, tr("Info"),
                             tr("The Dev Restarted After Its Parameters Were Read, Please Read Them Again !"));
    return true;
}

void TQCAN::endWriteAfterRestart(int nodeId)
{
    if (!m_regWriteRunning || nodeId != m_setDevId)
        return;
    qWarning() << "endWriteAfterRestart--node" << nodeId << "restarted while a write ran";
    endWrite();
    // After the restart's other holders have heard of it.
    QTimer::singleShot(0, this, [this] {
        QMessageBox::information(this, tr("Info"),
                                 tr("The Dev Restarted During The Write, Please Read Its Parameters Again !"));
    });
}

bool TQCAN::handleSetCfgReg()
{
    qDebug() << "handleSetCfgReg--0---";
    if (getDevTableCheckedRow() == -1) {
        QMessageBox::information(nullptr, tr("Info"), tr("Please Chose One Dev"));
        return false;
    }
    if (refuseWhileWriting() || refusedDuringUpgrade(m_setDevId))
        return false;
    if (refuseAfterRestart())
        return false;
    endRegisterSequences();
    const QList<regtext::Choice> choices = getCurSetPageValues();
    mRecoveryFlag = false;
    writeSettingRegValue(choices, false);
    updataAllSettingRegValue(choices);
    return true;
}

bool TQCAN::handleRecoveyCfgReg()
{
    qDebug() << "handleRecoveyCfgReg--0---";
    if (getDevTableCheckedRow() == -1) {
        QMessageBox::information(nullptr, tr("Info"), tr("Please Chose One Dev"));
        return false;
    }
    if (refuseWhileWriting() || refusedDuringUpgrade(m_setDevId))
        return false;
    if (refuseAfterRestart())
        return false;
    endRegisterSequences();
    mRecoveryFlag = true;
    writeSettingRegValue(regtext::defaultChoices(mRegParaList), true);
    return true;
}

bool TQCAN::writeSettingRegValue(const QList<regtext::Choice>& choices, bool bRawValue)
{
    if (choices.isEmpty() || m_setDevId == 0)
        return false;

    const regtext::WritePlan plan = regtext::planWrites(mRegParaList, choices, bRawValue);
    // The first row that a write should send and cannot ends the write with
    // the write error box, never with success.
    QString refused;
    if (plan.refused >= 0) {
        const RegRecord& r = mRegParaList.at(plan.refused);
        if (plan.endOfList)
            qWarning() << "--writeSettingRegValue----range without ~ for" << r.m_reg << ": the rest is not sent";
        else
            qWarning() << "--writeSettingRegValue----the option shown gives register" << r.m_reg << "no value";
        refused = registerName(r.m_reg);
    }

    if (!plan.writes.isEmpty()) {
        const QVector<int> ids = takeTransferIds(m_setDevId, kPortRegAccess, plan.writes.size());
        if (ids.isEmpty())
            return false;
        m_regWriteRunning = true;
        const int devId = m_setDevId;
        for (int i = 0; i < plan.writes.size(); ++i) {
            const regtext::RegisterWrite& w = plan.writes.at(i);
            qDebug() << "-----writeSettingRegValue-------opCmd=" << kRegOpWrite << "-nodeId=" << devId
                     << "-regAddr=" << w.reg << "_0x" << mRegParaList.at(w.record).m_reg << "-regValue=" << w.value;
            const int transferId = requestTransferId(devId, kPortRegAccess, ids, i);
            m_regWritesAwaited.append({transferId, w.reg});
            emit TQPageControl::getInstance()->signalSeachReg(devId, w.reg, kRegOpWrite, w.value, transferId);
            QThread::msleep(kWritePacingMs);
        }
        m_regWriteTimer.start(kRegReplyTimeoutMs);
    }
    if (!refused.isEmpty())
        endWriteWithError(refused, kOpValueRefused);
    return refused.isEmpty();
}

void TQCAN::endWrite()
{
    // Replies still awaited may yet come: their IDs stay out of use until
    // then.
    endRequests(&m_regWritesAwaited, kPortRegAccess);
    m_regWriteRunning = false;
    m_regWriteTimer.stop();
    mRecoveryFlag = false;
}

void TQCAN::endWriteWithError(const QString& reg, int op)
{
    // The sequence is over before the box: replies handled while it is open
    // find no write running, and no store command follows.
    endWrite();
    QMessageBox::information(this, tr("Info"),
                             tr("Write Reg: %1, Err: %2, Please Check!").arg(reg, regtext::hexByte(op)));
}

void TQCAN::regWriteTimedOut()
{
    if (!m_regWriteRunning)
        return;
    const QString reg = m_regWritesAwaited.isEmpty() ? QString() : regtext::hexByte(m_regWritesAwaited.first().reg);
    qWarning() << "regWriteTimedOut--no reply for" << m_regWritesAwaited.size() << "writes, the first register" << reg;
    endWrite();
    QMessageBox::information(this, tr("Info"), tr("Write Reg: %1, No Reply, Please Check!").arg(reg));
}

bool TQCAN::updataAllSettingRegValue(const QList<regtext::Choice>& choices)
{
    if (choices.isEmpty() || m_setDevId == 0)
        return false;
    regtext::refreshValues(&mRegParaList, choices);
    return true;
}

bool TQCAN::handleWriteSetRegValue(int nodeId, int transferId, const uint8_t* payload, uint32_t size)
{
    Q_UNUSED(size) // the reply's value is only logged, from the zero-padded view
    if (!payload)
        return false;
    const int reg = payload[1];
    const int op = payload[0];
    qDebug() << "handleWriteSetRegValue start-----------------selReg=" << reg;
    if (takeEndedAnswer(nodeId, kPortRegAccess, transferId, reg))
        return false;
    if (!isParameterReply(nodeId)) {
        qDebug() << "handleWriteSetRegValue---reply of node" << nodeId << "ignored";
        return false;
    }
    if (!m_regWriteRunning) {
        qDebug() << "handleWriteSetRegValue---no write running: reply ignored";
        return false;
    }

    // The write's own record of what it sent (a file loaded meanwhile may
    // hold other registers): the request the reply names, for its register.
    if (!takeAwaitedAnswer(&m_regWritesAwaited, nodeId, kPortRegAccess, transferId, reg)) {
        qDebug() << "handleWriteSetRegValue---reply to request" << transferId << "for register" << regtext::hexByte(reg)
                 << "not awaited: ignored";
        return false;
    }
    qDebug() << "handleWriteSetRegValue---2-------reg=" << regtext::hexByte(reg)
             << "----------op state=" << QString::number(op, 16) << "--value=" << (payload[2] | payload[3] << 8);
    if (op != kOpWriteOk) {
        endWriteWithError(regtext::hexByte(reg), op);
        return false;
    }
    m_regWriteTimer.start(kRegReplyTimeoutMs);
    if (!m_regWritesAwaited.isEmpty()) {
        qDebug() << "handleWriteSetRegValue---3--------------------awaited=" << m_regWritesAwaited.size();
        return true;
    }

    const bool restore = mRecoveryFlag;
    endWrite();
    QThread::msleep(kStoreDelayMs);
    emit tqformalpagecontrol::getInstance()->signalModeCtrlF(m_setDevId, kCmdStorePersistent, QStringLiteral("0"));
    if (restore) {
        // Read everything again so that the table shows the restored values.
        QThread::msleep(kRestoreReadDelayMs);
        readParaFile();
    }
    QMessageBox::information(this, tr("Info"), tr("Write Parameter Success !"));
    return true;
}

void TQCAN::doprocessSelSetRegChange(int selIndex)
{
    Q_UNUSED(selIndex)
    // The dialog below runs an event loop: the table may be rebuilt, and
    // this combo deleted, before it returns.
    QPointer<QComboBox> combo = qobject_cast<QComboBox*>(sender());
    if (!combo)
        return;
    const QString text = combo->currentText();
    if (text.isEmpty() || text == QLatin1String(" ")) {
        qCritical() << "---err-doprocessSelSetRegChange--1---";
        return;
    }

    if (!regtext::isIntegerEntryItem(text)) {
        const int index = regRecordOfCombo(combo);
        if (index >= 0 && !mRegParaList.at(index).curOptionText.isEmpty())
            mRegParaList[index].curOptionText = text;
        return;
    }

    regtext::IntegerEntry entry;
    if (!regtext::parseIntegerEntry(text, &entry))
        return;
    // Only what the register can hold may be typed: 16 bits, a negative
    // number as its two's complement.
    const int lo = std::max(entry.lo, int(std::numeric_limits<qint16>::min()));
    const int hi = std::min(entry.hi, int(std::numeric_limits<quint16>::max()));
    if (lo > hi)
        return;
    bool accepted = false;
    const int value = QInputDialog::getInt(this, tr("Input Value"), tr("Enter an integer:"), lo, lo, hi, 1,
                                           &accepted);
    if (!combo)
        return;

    if (accepted) {
        qDebug() << "User entered:" << value;
        qDebug() << "Number of items in the combo box:" << combo->count();
        // Named as the table shows the value when it reads it back, with
        // the unit the writer reads it by: the row's own register's.
        const int index = regRecordOfCombo(combo);
        const RegRecord record = index >= 0 ? mRegParaList.at(index) : RegRecord();
        QString newText;
        if (!regtext::integerName(record.optionText, value, record.m_lowLimit, record.m_upLimit, &newText))
            newText = QString::number(value) + entry.unit;
        int item = combo->findText(newText, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (item < 0) {
            combo->addItem(newText);
            item = combo->count() - 1;
        }
        combo->setCurrentIndex(item);
        if (!combo)
            return;
        if (index >= 0 && index == regRecordOfCombo(combo))
            mRegParaList[index].curOptionText = newText;
        return;
    }

    // Cancelled: back to the option the register showed.
    const int index = regRecordOfCombo(combo);
    if (index < 0)
        return;
    const QString previous = mRegParaList.at(index).curOptionText;
    if (previous.isEmpty())
        return;
    int item = combo->findText(previous, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item < 0)
        item = combo->findText(QLatin1Char('*') + previous, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item >= 0)
        combo->setCurrentIndex(item);
}
