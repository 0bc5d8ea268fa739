// Parameter files: a snapshot of the register list in "SetIns/", saved
// with the table's current choices and loaded back for a device of the same
// type. Nothing is sent to the device by either. A save is written aside,
// read back as the load reads it and checked before it takes the file's
// name: a file that would not load back as the list is never put in place.
// A load reads only a regular file of at most 1 MiB (a parameter file is a
// few KB) and 256 registers: a FIFO, a device, a huge file or a file that
// cannot be read to its end is refused at once, the table left as it was.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryFile>
#include <QTextStream>

#include <cstdio>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "firmware/regtext.h"
#include "firmware/regularfile.h"

namespace {

constexpr qint64 kMaxParameterFileBytes = 1024 * 1024;

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
    // The type of the device whose table the list holds, whatever the row
    // says now.
    const QString type = m_regListType;
    if (!regtext::isFileNameSafe(type)) {
        qWarning() << "saveSetRegValueToFile--device type cannot name a file:" << type;
        return false;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss"));
    const QString path = QStringLiteral("%1/%2_%3.txt").arg(folder, type, stamp);

    // The table's current choices go into the list first, each row's into
    // its own register.
    qDebug() << "saveSetRegValueToFile--row=" << row;
    updataAllSettingRegValue(getCurSetPageValues());

    const QString content = regtext::parameterFileText(mRegParaList);
    for (const RegRecord& r : qAsConst(mRegParaList)) {
        if (r.attr == QLatin1String("REG"))
            qDebug() << "---saveSetRegValueToFile-----m_lowLimit----m_upLimit--" << r.m_lowLimit << "---"
                     << r.m_upLimit;
    }
    qDebug() << "saveSetRegValueToFile-----saveStr:" << content;
    return writeTextFile(content, path);
}

bool TQCAN::writeTextFile(const QString& content, const QString& path)
{
    // Written aside in the same folder (a name the load's "*.txt" never
    // offers), read back as the load reads it, and renamed over path only
    // when that gives back the list: a full disk, or a text the file cannot
    // carry (a "\r" the text-mode read drops, an "@"), leaves no file and any
    // file of that name as it was.
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open()) {
        qDebug() << "Unable to open file for writing:" << path;
        return false;
    }
    QTextStream out(&file);
    out.setCodec("UTF-8");
    out << content;
    out.flush();
    bool written = out.status() == QTextStream::Ok && file.flush();
#ifdef Q_OS_UNIX
    written = written && ::fsync(file.handle()) == 0;
#endif
    if (!written) {
        qWarning() << "writeTextFile--write failed:" << path << file.errorString();
        return false;
    }
    // As a file made by a plain write would be: readable by others.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                        | QFileDevice::ReadOther);
    file.close();

    QString readBack;
    if (!readTextFile(file.fileName(), &readBack)) {
        qWarning() << "writeTextFile--cannot read back:" << file.fileName();
        return false;
    }
    const regtext::FileCheck check = regtext::checkParameterFile(mRegParaList, readBack);
    if (!check.ok) {
        const QString what = check.badIndex < 0 ? QStringLiteral("the list")
            : mRegParaList.at(check.badIndex).attr == QLatin1String("REG")
            ? QStringLiteral("register ") + mRegParaList.at(check.badIndex).m_reg
            : QStringLiteral("caption ") + mRegParaList.at(check.badIndex).text;
        qWarning().noquote() << "saveSetRegValueToFile--not saved:" << what << check.why;
        return false;
    }
    // One rename: the file is there whole, or as it was.
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        qWarning() << "writeTextFile--cannot put the file in place:" << path;
        return false;
    }
    file.setAutoRemove(false);
    return true;
}

bool TQCAN::readTextFile(const QString& path, QString* content)
{
    QFile file;
    QString why;
    if (!regularfile::open(file, path, QIODevice::ReadOnly | QIODevice::Text, kMaxParameterFileBytes,
                           regularfile::Links::Follow, &why)) {
        qWarning() << "readTextFile--" << path << "not read:" << why;
        return false;
    }
    // Read to its end, never more than the bound, should the file grow
    // meanwhile; a read that fails on the way (a failing stick or share)
    // fails the whole file, never reads as its shorter part.
    QByteArray bytes;
    for (;;) {
        const QByteArray part = file.read(kMaxParameterFileBytes + 1 - bytes.size());
        if (file.error() != QFileDevice::NoError) {
            qWarning() << "readTextFile--" << path << "not read:" << file.errorString();
            return false;
        }
        if (part.isEmpty())
            break;
        bytes += part;
        if (bytes.size() > kMaxParameterFileBytes) {
            qWarning() << "readTextFile--" << path << "not read: larger than" << kMaxParameterFileBytes << "bytes";
            return false;
        }
    }
    QTextStream in(bytes);
    in.setCodec("UTF-8");
    *content = in.readAll();
    return true;
}

bool TQCAN::loadLocalParaFile()
{
    if (getDevTableCheckedRow() == -1) {
        QMessageBox::information(nullptr, tr("Info"), tr("Please Chose One Dev"));
        return false;
    }
    // A load replaces the list a running write was made from: it waits for
    // the write's end, store command included. After a restart the node's
    // type is checked once it has said what it is now.
    if (refuseWhileWriting() || refuseAfterRestart(true))
        return false;
    const QString path = QFileDialog::getOpenFileName(this, tr("Chose File"), parameterFolder(),
                                                      tr("Text Files (*.txt)"));
    if (path.isEmpty()) {
        qDebug() << "没有选择文件";
        return false;
    }
    qDebug() << "选中的文件是:" << path;
    QString content;
    if (!readTextFile(path, &content)) {
        qDebug() << "无法打开文件：" << path;
        QMessageBox::information(nullptr, tr("Info"), tr("Load Local File Err, Please Check!"));
        return false;
    }
    qDebug() << "文件内容:" << content;
    stampRegList();
    showSetRegInfoFromFirewareV3(content, path);
    return true;
}

void TQCAN::showSetRegInfoFromFirewareV3(const QString& content, const QString& path)
{
    const regtext::LoadedParameters loaded = regtext::loadParameterText(content);
    // No node's file: refused as it is, before any row is built.
    if (loaded.status == regtext::LoadedParameters::TooManyRegisters) {
        qWarning() << "showSetRegInfoFromFirewareV3--more than" << regtext::kMaxRegisters << "registers:" << path;
        QMessageBox::information(nullptr, tr("Info"), tr("Load Local File Err, Please Check!"));
        return;
    }
    // A load ends the reads that run and replaces the list (no write runs:
    // the load waits for its end).
    endRegisterReads();
    clearSetRegTable();

    // The type first: a file of another type must leave nothing behind.
    const QString fileType = regtext::fileTypeOfPath(path);
    if (!fileType.isEmpty() && fileType != getDevTypeById(m_setDevId)) {
        setRegParaList({});
        QMessageBox::information(nullptr, tr("Info"), tr("Load Local File Err, Dev Type Is Different, Please Check!"));
        return;
    }

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
    case regtext::LoadedParameters::TooManyRegisters:
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
