// Writing a device's parameters: the options the table shows (or the
// defaults) converted into register values, one write each, the store
// command once every write is answered; and the Options combos' changes.
//
// A write sequence converts the whole list first and then sends, 20 ms
// apart, so the count holds exactly the writes sent; replies are queued
// events and none is handled before the last write is out.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QComboBox>
#include <QDebug>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <limits>

#include "app/tqformalpagecontrol.h"
#include "app/tqpagecontrol.h"
#include "firmware/regtext.h"

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

int firstRegisterWithAddress(const QList<RegRecord>& records, const QString& address)
{
    for (int i = 0; i < records.size(); ++i) {
        if (records.at(i).attr == QLatin1String("REG") && records.at(i).m_reg == address)
            return i;
    }
    return -1;
}

} // namespace

bool TQCAN::handleSetCfgReg()
{
    qDebug() << "handleSetCfgReg--0---";
    if (getDevTableCheckedRow() == -1) {
        QMessageBox::information(nullptr, tr("Info"), tr("Please Chose One Dev"));
        return false;
    }
    endRegisterSequences();
    const QStringList values = getCurSetPageValues();
    mRecoveryFlag = false;
    qDebug() << "----handleSetCfgReg---" << values;
    writeSettingRegValue(values, false);
    updataAllSettingRegValue(values, regtext::kRegListKey);
    return true;
}

bool TQCAN::handleRecoveyCfgReg()
{
    qDebug() << "handleRecoveyCfgReg--0---";
    if (getDevTableCheckedRow() == -1) {
        QMessageBox::information(nullptr, tr("Info"), tr("Please Chose One Dev"));
        return false;
    }
    endRegisterSequences();
    const QStringList values = getDefaultRegValueList();
    mRecoveryFlag = true;
    writeSettingRegValue(values, true);
    return true;
}

bool TQCAN::writeSettingRegValue(QStringList values, bool bRawValue)
{
    if (values.isEmpty() || m_setDevId == 0)
        return false;

    struct Write {
        int reg;
        int value;
        QString address;
    };
    QList<Write> writes;
    // The first item that a write should send and cannot: it ends the write
    // with the write error box, never with success.
    QString refused;
    bool complete = true;
    for (const QString& item : qAsConst(values)) {
        QString address;
        QString valueText;
        if (!regtext::splitValueItem(item, &address, &valueText))
            continue;
        qDebug() << "--writeSettingRegValue----" << address << "--" << valueText << regtext::numericPart(valueText);
        const int index = regtext::findRegister(mRegParaList, address);
        if (index < 0)
            continue;
        const QString& optionText = mRegParaList.at(index).optionText;
        if (!bRawValue && regtext::choosesNothing(optionText, valueText))
            continue;
        int reg = 0;
        int value = 0;
        const regtext::Conversion result = !regtext::parseRegAddress(address, &reg)
            ? regtext::Conversion::NoValue
            : regtext::writeValue(optionText, valueText, bRawValue, &value);
        if (result == regtext::Conversion::Value) {
            writes.append({reg, value, address});
            continue;
        }
        // A stored value of a register of no kind the page writes (the
        // restore) is left as the node holds it.
        if (bRawValue && result == regtext::Conversion::NoValue)
            continue;
        if (result == regtext::Conversion::EndOfList)
            qWarning() << "--writeSettingRegValue----range without ~ for" << address << ": the rest is not sent";
        else
            qWarning() << "--writeSettingRegValue----" << valueText << "gives register" << address << "no value";
        refused = address;
        complete = false;
        break;
    }

    if (!writes.isEmpty()) {
        m_regWriteRunning = true;
        const int devId = m_setDevId;
        for (const Write& w : qAsConst(writes)) {
            qDebug() << "-----writeSettingRegValue-------opCmd=" << kRegOpWrite << "-nodeId=" << devId
                     << "-regAddr=" << w.reg << "_0x" << w.address << "-regValue=" << w.value;
            m_regWritesAwaited.append(w.reg);
            emit TQPageControl::getInstance()->signalSeachReg(devId, w.reg, kRegOpWrite, w.value);
            QThread::msleep(kWritePacingMs);
        }
    }
    if (!refused.isEmpty()) {
        int reg = 0;
        endWriteWithError(regtext::parseRegAddress(refused, &reg) ? regtext::hexByte(reg) : refused,
                          kOpValueRefused);
    }
    return complete;
}

void TQCAN::endWriteWithError(const QString& reg, int op)
{
    // The sequence is over before the box: replies handled while it is open
    // find no write running, and no store command follows.
    m_regWritesAwaited.clear();
    m_regWriteRunning = false;
    mRecoveryFlag = false;
    QMessageBox::information(this, tr("Info"),
                             tr("Write Reg: %1, Err: %2, Please Check!").arg(reg, regtext::hexByte(op)));
}

bool TQCAN::updataAllSettingRegValue(QStringList values, qint16 devRow)
{
    if (values.isEmpty() || m_setDevId == 0)
        return false;
    for (const QString& item : qAsConst(values)) {
        QString address;
        QString valueText;
        if (!regtext::splitValueItem(item, &address, &valueText))
            continue;
        qDebug() << "--updataAllSettingRegValue----" << address << "--" << valueText;
        const int index = regtext::findRegister(mRegParaList, address);
        if (index < 0)
            continue;
        RegRecord record;
        if (!regtext::refreshValue(mRegParaList.at(index).optionText, valueText, &record.curValue))
            continue;
        record.m_reg = address;
        record.devRow = devRow;
        upsertRegRecord(devRow, record);
    }
    return true;
}

bool TQCAN::handleWriteSetRegValue(int nodeId, const uint8_t* payload, uint32_t size)
{
    Q_UNUSED(size) // the reply's value is only logged, from the zero-padded view
    if (!payload)
        return false;
    const int reg = payload[1];
    const int op = payload[0];
    qDebug() << "handleWriteSetRegValue start-----------------selReg=" << reg;
    if (!isParameterReply(nodeId)) {
        qDebug() << "handleWriteSetRegValue---reply of node" << nodeId << "ignored";
        return false;
    }
    if (!m_regWriteRunning) {
        qDebug() << "handleWriteSetRegValue---no write running: reply ignored";
        return false;
    }

    // The write's own record of what it sent: a file loaded meanwhile may
    // hold other registers.
    const int found = m_regWritesAwaited.indexOf(reg);
    if (found >= 0) {
        qDebug() << "handleWriteSetRegValue---2-------reg=" << regtext::hexByte(reg)
                 << "----------op state=" << QString::number(op, 16) << "--value=" << (payload[2] | payload[3] << 8);
        if (op != kOpWriteOk) {
            endWriteWithError(regtext::hexByte(reg), op);
            return false;
        }
        m_regWritesAwaited.removeAt(found);
    }
    if (!m_regWritesAwaited.isEmpty()) {
        qDebug() << "handleWriteSetRegValue---3--------------------awaited=" << m_regWritesAwaited.size();
        return true;
    }

    m_regWriteRunning = false;
    QThread::msleep(kStoreDelayMs);
    emit tqformalpagecontrol::getInstance()->signalModeCtrlF(m_setDevId, kCmdStorePersistent, QStringLiteral("0"));
    if (mRecoveryFlag) {
        // Read everything again so that the table shows the restored values.
        QThread::msleep(kRestoreReadDelayMs);
        readParaFile();
    }
    mRecoveryFlag = false;
    QMessageBox::information(this, tr("Info"), tr("Write Parameter Success !"));
    return true;
}

QString TQCAN::getRegAddrByCombo(QWidget* combo)
{
    QTableWidget* table = ui->tableWidget_set_regList;
    for (int row = 0; row < table->rowCount() && table->columnCount() > 3; ++row) {
        if (table->cellWidget(row, 3) == combo) {
            const QTableWidgetItem* address = table->item(row, 0);
            return address ? address->text() : QString();
        }
    }
    return QString();
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
        const QString address = getRegAddrByCombo(combo);
        if (address.isEmpty())
            return;
        const int index = firstRegisterWithAddress(mRegParaList, address);
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
        // the unit the writer reads it by.
        const QString address = getRegAddrByCombo(combo);
        const int index = address.isEmpty() ? -1 : firstRegisterWithAddress(mRegParaList, address);
        const int reg = address.isEmpty() ? -1 : regtext::findRegister(mRegParaList, address);
        const RegRecord record = reg >= 0 ? mRegParaList.at(reg) : RegRecord();
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
        if (index >= 0 && index < mRegParaList.size())
            mRegParaList[index].curOptionText = newText;
        return;
    }

    // Cancelled: back to the option the register showed.
    const QString address = getRegAddrByCombo(combo);
    const int index = address.isEmpty() ? -1 : firstRegisterWithAddress(mRegParaList, address);
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
