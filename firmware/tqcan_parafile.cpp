// Parameter files: a snapshot of the register list in "SetIns/", saved
// with the table's current choices and loaded back for a device of the same
// type. Nothing is sent to the device by either.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>
#include <QTextStream>

#include "firmware/regtext.h"

namespace {

QString parameterFolder()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/SetIns");
}

} // namespace

bool TQCAN::saveSetRegValueToFile(short row)
{
    const QString folder = parameterFolder();
    QDir().mkpath(folder);
    if (m_setDevId == 0)
        return false;
    const QString type = getDevTypeById(m_setDevId);
    if (!regtext::isFileNameSafe(type)) {
        qWarning() << "saveSetRegValueToFile--device type cannot name a file:" << type;
        return false;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss"));
    const QString path = QStringLiteral("%1/%2_%3.txt").arg(folder, type, stamp);

    // The table's current choices go into the list first. The list holds
    // one device, whatever row it sits on: the list's own key is used.
    qDebug() << "saveSetRegValueToFile--row=" << row;
    updataAllSettingRegValue(getCurSetPageValues(), regtext::kRegListKey);

    const QString content = regtext::parameterFileText(mRegParaList);
    for (const RegRecord& r : qAsConst(mRegParaList)) {
        if (r.attr == QLatin1String("REG"))
            qDebug() << "---saveSetRegValueToFile-----m_lowLimit----m_upLimit--" << r.m_lowLimit << "---"
                     << r.m_upLimit;
    }
    qDebug() << "saveSetRegValueToFile-----saveStr:" << content;
    // A file that its own load would refuse, or read back as other values,
    // is not written: the save fails and any file in place stays.
    const regtext::FileCheck check = regtext::checkParameterFile(mRegParaList);
    if (!check.ok) {
        const QString what = check.badIndex < 0 ? QStringLiteral("the list")
            : mRegParaList.at(check.badIndex).attr == QLatin1String("REG")
            ? QStringLiteral("register ") + mRegParaList.at(check.badIndex).m_reg
            : QStringLiteral("caption ") + mRegParaList.at(check.badIndex).text;
        qWarning().noquote() << "saveSetRegValueToFile--not saved:" << what << check.why;
        return false;
    }
    return writeTextFile(content, path);
}

bool TQCAN::writeTextFile(const QString& content, const QString& path)
{
    // Written aside and renamed on success: a full disk leaves no half file
    // and reports the failure.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qDebug() << "Unable to open file for writing:" << path;
        return false;
    }
    QTextStream out(&file);
    out.setCodec("UTF-8");
    out << content;
    out.flush();
    if (out.status() != QTextStream::Ok) {
        qWarning() << "writeTextFile--write failed:" << path << file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qWarning() << "writeTextFile--commit failed:" << path << file.errorString();
        return false;
    }
    return true;
}

bool TQCAN::loadLocalParaFile()
{
    if (getDevTableCheckedRow() == -1) {
        QMessageBox::information(nullptr, tr("Info"), tr("Please Chose One Dev"));
        return false;
    }
    const QString path = QFileDialog::getOpenFileName(this, tr("Chose File"), parameterFolder(),
                                                      tr("Text Files (*.txt)"));
    if (path.isEmpty()) {
        qDebug() << "没有选择文件";
        return false;
    }
    qDebug() << "选中的文件是:" << path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "无法打开文件：" << path;
        return false;
    }
    QTextStream in(&file);
    in.setCodec("UTF-8");
    const QString content = in.readAll();
    qDebug() << "文件内容:" << content;
    showSetRegInfoFromFirewareV3(content, path);
    return true;
}

void TQCAN::showSetRegInfoFromFirewareV3(const QString& content, const QString& path)
{
    // A load ends the reads that run and replaces the list. A write on the
    // wire goes on to its store command and its box (the node must keep
    // what it took), but the restore's read of the node afterwards would
    // replace what is loaded, and is dropped.
    endRegisterReads();
    mRecoveryFlag = false;
    clearSetRegTable();

    // The type first: a file of another type must leave nothing behind.
    const QString fileType = regtext::fileTypeOfPath(path);
    if (!fileType.isEmpty() && fileType != getDevTypeById(m_setDevId)) {
        setRegParaList({});
        QMessageBox::information(nullptr, tr("Info"), tr("Load Local File Err, Dev Type Is Different, Please Check!"));
        return;
    }

    const regtext::LoadedParameters loaded = regtext::loadParameterText(content);
    switch (loaded.status) {
    case regtext::LoadedParameters::NoValues:
        setRegParaList(loaded.records);
        showSetRegInfoFromFirewareV2(QString());
        return;
    case regtext::LoadedParameters::MissingField:
    case regtext::LoadedParameters::BadValue:
        setRegParaList({});
        QMessageBox::information(this, tr("Info"),
                                 tr("Load Local File Err, Reg %d, Please Check!")
                                     .replace(QLatin1String("%d"), loaded.badReg));
        return;
    case regtext::LoadedParameters::ValuesMissing:
    case regtext::LoadedParameters::NoRegisters:
        setRegParaList({});
        QMessageBox::information(nullptr, tr("Info"), tr("Load Local File Err, Please Check!"));
        return;
    case regtext::LoadedParameters::Ok:
        qDebug() << "----showSetRegInfoFromFirewareV3-------3-----";
        setRegParaList(loaded.records);
        showSetRegInfoFromFirewareV2(fileType.isEmpty() ? QString() : QLatin1Char('_') + fileType);
        return;
    }
}
