// Reading a device's parameters: the description read on port 257, the
// register list it gives, the whole-register reads of every register, and
// the register table built once all values are in.
//
// The sends are paced (5 ms apart) and all go out before the first reply is
// handled: replies reach the page as queued events, so the read count holds
// every request when the first reply lowers it.
//
// A read always ends: with its table, or without it and with a box that
// names what failed (an error reply, a description without a register, or
// no answer awaited for as long as a write waits for one). A read that
// ended so leaves no list behind; the answers it still awaited free their
// transfer-IDs when they come, and change nothing else.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>
#include <QMessageBox>
#include <QThread>

#include "app/tqpagecontrol.h"
#include "configurator/tqcan_private.h"
#include "firmware/regtext.h"
#include "link/byteorder.h"
#include "link/cyphalports.h"

namespace {

constexpr int kFileTypeEnglish = 1001;
constexpr int kFileTypeChinese = 1000;
constexpr unsigned long kReadPacingMs = 5;

constexpr uint8_t kOpReadOk = 0x10;
constexpr int kRegOpReadWhole = 1;
// A whole-register reply reaches its upper limit at bytes 20-21.
constexpr uint32_t kWholeRegisterReplySize = 22;

} // namespace

bool TQCAN::isParameterReply(int nodeId) const
{
    return m_setDevId != 0 && nodeId == m_setDevId;
}

bool TQCAN::readParaFile()
{
    if (getDevTableCheckedRow() == -1) {
        QMessageBox::information(nullptr, tr("Info"), tr("Please Chose One Dev"));
        return false;
    }
    // A read replaces the list a running write was made from, and would end
    // the write before its store command; a node in its boot loader has no
    // parameters to give.
    if (refuseWhileWriting() || refusedDuringUpgrade(m_setDevId))
        return false;
    // The values are asked on the register port: without IDs free there the
    // read could not end well, and the list shown stays.
    const QVector<int> ids = takeTransferIds(m_setDevId, kPortFileRead, 1);
    if (ids.isEmpty() || takeTransferIds(m_setDevId, kPortRegAccess, 2).isEmpty())
        return false;
    // The rows shown go with their list: none is offered for a write while
    // the node is read, nor after a read that does not finish.
    dropRegisterList();
    stampRegList();
    m_regInfoReading = true;
    qDebug() << "---btn read para---";

    // The language is fixed for the whole read: every chunk comes from the
    // same file.
    m_regInfoFileType = ui->comboBox_lang->currentIndex() == 0 ? kFileTypeEnglish : kFileTypeChinese;
    mRegInfoText.clear();
    m_regInfoBytes.clear();
    regInfoReadOffset = 0;
    requestDescriptionChunk(0, ids.first());
    qDebug() << "----------btn_set_id clicked----opCmd=" << m_setDevId << ",nodeId=" << m_regInfoFileType;
    return true;
}

void TQCAN::requestDescriptionChunk(int offset, int transferId)
{
    // Numbered by the page: the answer carries the number back, so that an
    // answer to an earlier request (of this read or of one before it) is
    // never taken for the one awaited, whatever offset it is at.
    m_regInfoAwaitedTid = requestTransferId(m_setDevId, kPortFileRead, {transferId}, 0);
    emit TQPageControl::getInstance()->signalReadFile257(offset, m_setDevId, m_regInfoFileType,
                                                         m_regInfoAwaitedTid);
    m_regReadTimer.start(kRegReplyTimeoutMs);
}

void TQCAN::failRead(const QString& why)
{
    // Over before the box: answers handled while it is open find no read
    // running.
    qWarning() << "failRead--the read of node" << m_setDevId << "did not finish:" << why;
    endRegisterReads();
    setRegParaList({});
    m_readUnfinishedNode = m_setDevId;
    if (!why.isEmpty())
        QMessageBox::information(this, tr("Info"), why);
}

void TQCAN::regReadTimedOut()
{
    if (m_regInfoReading)
        failRead(tr("Read Register List, No Reply, Please Check!"));
    else if (m_regReadRunning)
        failRead(tr("Read Reg: %1, No Reply, Please Check!")
                     .arg(m_regReadsAwaited.isEmpty() ? QString() : regtext::hexByte(m_regReadsAwaited.first().reg)));
}

int TQCAN::showSetRegInfoFromFireware(QString text, bool readValues)
{
    qDebug() << "showSetRegInfoFromFireware--text length" << text.size() << "readValues" << readValues;
    clearSetRegTable();
    const QList<RegRecord> records = regtext::parseDescription(text);
    for (int i = 0; i < records.size(); ++i)
        qDebug() << "--showSetRegInfoFromFireware--once--";
    mReadRegCount += regtext::registerCount(records);
    setRegParaList(records);
    if (readValues)
        readOnceSettingRegValue();
    return 1;
}

bool TQCAN::readOnceSettingRegValue()
{
    // A description without a register (an empty one, say) is no list.
    if (mReadRegCount < 1 || m_setDevId == 0) {
        failRead(tr("Read Register List, No Register, Please Check!"));
        return false;
    }
    QList<int> regs;
    for (const RegRecord& record : qAsConst(mRegParaList)) {
        if (!record.curValue.isEmpty() || record.attr != QLatin1String("REG"))
            continue;
        int reg = 0;
        if (!regtext::parseRegAddress(record.m_reg, &reg)) {
            // No reply can ever name it: it is not waited for.
            qWarning() << "-----readOnceSettingRegValue---bad address:" << record.m_reg;
            --mReadRegCount;
            continue;
        }
        regs.append(reg);
    }
    const QVector<int> ids = takeTransferIds(m_setDevId, kPortRegAccess, regs.size());
    if (ids.isEmpty() && !regs.isEmpty()) {
        failRead(QString());
        return false;
    }
    for (int i = 0; i < regs.size(); ++i) {
        qDebug() << "-----readOnceSettingRegValue-------opCmd=" << kRegOpReadWhole << "-nodeId=" << m_setDevId
                 << "-regAddr=" << regs.at(i);
        const int transferId = requestTransferId(m_setDevId, kPortRegAccess, ids, i);
        m_regReadsAwaited.append({transferId, regs.at(i)});
        emit TQPageControl::getInstance()->signalSeachReg(m_setDevId, regs.at(i), kRegOpReadWhole, 0, transferId);
        m_regReadRunning = true;
        QThread::msleep(kReadPacingMs);
    }
    m_regReadTimer.start(kRegReplyTimeoutMs);
    if (mReadRegCount == 0) {
        endRegisterReads();
        showSetRegInfoFromFirewareV2(QLatin1Char('_') + getDevTypeById(m_setDevId));
    }
    return true;
}

bool TQCAN::handleReadSetRegValue(int nodeId, int transferId, const uint8_t* payload, uint32_t size)
{
    if (!payload)
        return false;
    const int reg = payload[1];
    const int op = payload[0];
    // A short reply is no answer: the request's own may still come.
    if (op == kOpReadOk && size < kWholeRegisterReplySize) {
        qWarning() << "---handleReadSetRegValue---short reply for register" << reg << "size=" << size;
        return false;
    }
    if (takeEndedAnswer(nodeId, kPortRegAccess, transferId, reg))
        return false;
    if (!isParameterReply(nodeId)) {
        qDebug() << "---handleReadSetRegValue---reply of node" << nodeId << "ignored";
        return false;
    }
    // The error codes of a refused write (0x11 to 0x13) carry the read bit:
    // while a write sequence runs they answer a write.
    if (m_regWriteRunning && op != kOpReadOk)
        return handleWriteSetRegValue(nodeId, transferId, payload, size);
    // Outside a read the table stays as it is: rebuilt from the list, it
    // would drop the user's choices not yet written.
    if (!m_regReadRunning) {
        qDebug() << "---handleReadSetRegValue---no read running: reply ignored";
        return false;
    }
    // Only the running read's own requests are answered: a late answer to
    // an earlier read holds what the node held then.
    if (!takeAwaitedAnswer(&m_regReadsAwaited, nodeId, kPortRegAccess, transferId, reg)) {
        qDebug() << "---handleReadSetRegValue---reply to request" << transferId << "for register"
                 << regtext::hexByte(reg) << "not awaited: ignored";
        return false;
    }
    if (op != kOpReadOk) {
        failRead(tr("Read Reg: %1, Err: %2, Please Check!").arg(regtext::hexByte(reg), regtext::hexByte(op)));
        return false;
    }
    m_regReadTimer.start(kRegReplyTimeoutMs);

    int found = -1;
    for (int i = 0; i < mRegParaList.size() && found < 0; ++i) {
        const RegRecord& r = mRegParaList.at(i);
        int address = -1;
        if (r.attr == QLatin1String("REG") && (r.curValue.isEmpty() || r.defValue.isEmpty())
            && regtext::parseRegAddress(r.m_reg, &address) && address == reg)
            found = i;
    }
    if (found >= 0) {
        RegRecord& r = mRegParaList[found];
        --mReadRegCount;
        r.curValue = QString::number(readLe16(payload + 2));
        r.defValue = QString::number(readLe16(payload + 16));
        r.m_lowLimit = readLeI16(payload + 18);
        r.m_upLimit = readLeI16(payload + 20);
    }
    if (mReadRegCount != 0)
        return true;

    endRegisterReads();
    for (const RegRecord& r : qAsConst(mRegParaList))
        qDebug() << "---handleReadSetRegValue-----mRegParaList--" << r.m_reg << r.curValue << r.defValue
                 << r.m_lowLimit << r.m_upLimit;
    const QString caption = m_setDevId == 0 ? QString() : QLatin1Char('_') + getDevTypeById(m_setDevId);
    showSetRegInfoFromFirewareV2(caption);
    return true;
}

int TQCAN::showSetRegInfoFromFirewareV2(QString caption)
{
    clearSetRegTable();
    // A register with a bad range shows a box, whose event loop may replace
    // the list: then the list's new owner builds the table.
    const quint32 generation = m_regListGeneration;
    m_regTableGeneration = generation;
    for (int i = 0; i < mRegParaList.size(); ++i) {
        const RegRecord record = mRegParaList.at(i);
        if (record.attr == QLatin1String("STR")) {
            addRegTableRow(QStringLiteral(" "), record.text, QStringList(), -1, -1);
        } else if (record.attr == QLatin1String("REG")) {
            QString current;
            int currentIndex = -1;
            const QStringList options = getRegOptionList(record, current, &currentIndex);
            if (generation != m_regListGeneration) {
                qDebug() << "showSetRegInfoFromFirewareV2--list replaced meanwhile";
                return 1;
            }
            addRegTableRow(record.m_reg, record.text, options, currentIndex, i);
            if (!current.isEmpty() && !current.contains(QLatin1Char('~')))
                mRegParaList[i].curOptionText = current;
        } else {
            qDebug() << "showSetRegInfoFromFirewareV2--unkonw attr:" << record.attr;
        }
    }
    qDebug() << "showSetRegInfoFromFirewareV2--over---mRegParaList size=" << mRegParaList.size();
    if (!caption.isEmpty())
        ui->label_set_regList->setText(tr("寄存器列表") + caption);
    return 1;
}

QStringList TQCAN::getRegOptionList(RegRecord record, QString& currentText, int* currentIndex)
{
    const regtext::OptionNames names = regtext::optionNames(record.optionText, record.curValue, record.defValue,
                                                            record.m_lowLimit, record.m_upLimit);
    if (names.noBrackets)
        qDebug() << "No brackets or invalid format found.";
    if (names.currentSet)
        currentText = names.current;
    if (currentIndex)
        *currentIndex = names.currentIndex;
    if (!names.tooWidePart.isEmpty())
        QMessageBox::information(nullptr, tr("Info"), tr("Para Is Err,") + names.tooWidePart);
    return names.names;
}

QString TQCAN::getNumberAfterPrefix(const QString& text, const QString& key)
{
    return regtext::getNumberAfterPrefix(text, key);
}

void TQCAN::handleRegReadWrite256Msg(int op, int reg, int value)
{
    Q_UNUSED(value)
    QString text;
    switch (op) {
    case 0x10: text = QStringLiteral("success"); break;
    case 0x11: text = tr("寄存器索引不存在"); break;
    case 0x12: text = tr("操作属性错误"); break;
    case 0x13: text = tr("写入值不在范围"); break;
    default: text = tr("未知") + QStringLiteral(",%1").arg(op); break;
    }
    const QString name = reg == 4 ? QStringLiteral("CanBaudRate") : QStringLiteral("reg addr=%1").arg(reg);
    qDebug() << "-----handleRegReadWrite256Msg----" + name + ",result:" + text;
}
