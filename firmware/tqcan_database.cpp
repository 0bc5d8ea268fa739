// The device-file list on disk and the firmware database it names: the
// list's URL, its readers, and the choice of the database at start.
//
// One base folder, the working directory, holds "download/" with the list
// and the database, the staging folder "download/temp" of the downloads and,
// while an install runs, its backup folder "download/previous"; the start
// looks where a download installs, after settling an install left behind.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include "firmware/devfilelist.h"
#include "firmware/fileswap.h"
#include "firmware/firmwarenames.h"
#include "firmware/regularfile.h"
#include "kiosk/kioskini.h"

namespace {

const QString kDefaultDeviceListUrl = QStringLiteral("http://localhost:8080/devfile/devFileList.csv");

enum class Mode { Test, Release };

// Opens the list at path for reading, only when it is a regular file: a
// pipe of its name would hold the start for good. (Its reader keeps to the
// list's bound.)
bool openList(QFile& file, const QString& path)
{
    QString why;
    if (regularfile::open(file, path, QIODevice::ReadOnly | QIODevice::Text, -1, regularfile::Links::Follow, &why))
        return true;
    qDebug() << "Could not open file for reading:" << why << path;
    return false;
}

// Reads the list at path for one mode. Logs as the page's readers always
// have; the outputs are written only for a usable row.
bool readListRow(Mode mode, const QString& path, QString& fileName, QString& link, const QString& key)
{
    const bool release = mode == Mode::Release;
    QFile file;
    if (!openList(file, path))
        return false;
    const devfilelist::RowChoice choice = devfilelist::chooseRow(
        file, release ? devfilelist::releaseColumns() : devfilelist::testColumns(), key);
    file.close();
    if (choice.outcome == devfilelist::Outcome::TooLarge) {
        qCritical() << "device-file list: refused, larger than" << devfilelist::kMaxListBytes << "bytes:" << path;
        return false;
    }

    if (release)
        qDebug() << "--readCSVDBRelease---headers----:headerLine=" << choice.headerLine
                 << ",headers=" << choice.headers;
    else
        qDebug() << "----headers----:" << choice.headers;
    if (choice.outcome == devfilelist::Outcome::NoColumns)
        return false;
    qDebug() << (release ? "--readCSVDBRelease--Number of columns:" : "Number of columns:")
             << choice.headers.size();
    for (const QString& line : choice.skipped)
        qDebug() << "Skipping invalid row:" << line;
    qDebug() << "Row:" << choice.validRows;

    switch (choice.outcome) {
    case devfilelist::Outcome::Matched:
        fileName = choice.fileName;
        link = choice.link;
        if (release)
            qDebug() << "--readCSVDBRelease----" << fileName << "----fileUrl---" << link;
        return true;
    case devfilelist::Outcome::BadFileName:
        // A name with a folder in it would reach outside download/.
        qCritical() << "device-file list: refused file name" << choice.fileName << "for" << key;
        return false;
    default:
        qCritical() << "device-file list: no row for" << key;
        return false;
    }
}

} // namespace

QString TQCAN::deviceListUrl()
{
    const QString url = kioskini::readValue(QStringLiteral("firmware/url")).trimmed();
    return url.isEmpty() ? kDefaultDeviceListUrl : url;
}

QString TQCAN::downloadBaseDir()
{
    return QDir::currentPath();
}

bool TQCAN::readCSVDBTest(const QString& path, QString& fileName, QString& link, const QString& key)
{
    return readListRow(Mode::Test, path, fileName, link, key);
}

bool TQCAN::readCSVDBRelease(const QString& path, QString& fileName, QString& link, const QString& key)
{
    return readListRow(Mode::Release, path, fileName, link, key);
}

void TQCAN::readCSVFile(const QString& path)
{
    QFile file;
    if (!openList(file, path))
        return;
    const devfilelist::Table table = devfilelist::readTable(file);
    file.close();
    if (table.tooLarge)
        qCritical() << "device-file list: larger than" << devfilelist::kMaxListBytes << "bytes, not read whole:" << path;
    qDebug() << "----headers----:" << table.headers;
    qDebug() << "Number of columns:" << table.headers.size();
    int row = 0;
    for (const QStringList& cells : table.rows) {
        qDebug() << "Row:" << ++row;
        for (int column = 0; column < cells.size(); ++column)
            qDebug().noquote() << "  " + table.headers.at(column) + ":" + cells.at(column);
    }
    for (const QString& line : table.skipped)
        qDebug() << "Skipping invalid row:" << line;
    qDebug() << "Number of rows:" << row;
}

bool TQCAN::openFirmwareDb(const QString& path)
{
    m_recordDb.dbClose();
    m_recordDb.setDbName(path);
    m_recordDb.init();
    mDbTableNameL.clear();
    m_recordDb.SearchTableNameInfoDB(mDbTableNameL);
    if (m_recordDb.isOpen() && !mDbTableNameL.isEmpty())
        return true;
    // A database that does not read is none in use: nothing is offered
    // from it.
    m_recordDb.dbClose();
    mDbTableNameL.clear();
    return false;
}

void TQCAN::setDbInUse(const QString& name)
{
    m_db_name = name;
    ui->lEdit_upgrade_db->setText(firmwarenames::baseBeforeFirstDot(name));
}

void TQCAN::initDbPath()
{
    const QString download = downloadBaseDir() + QStringLiteral("/download");
    // An install that a crash cut off is undone, or finished when it had
    // completed, before the list is read: the files in place are then one
    // install's, old or new.
    QString why;
    const FileSwap::Outcome settled = FileSwap::resolve(download, &why);
    if (settled != FileSwap::Outcome::Nothing)
        qCritical() << "--------------TQCAN--init---an earlier install was"
                    << (settled == FileSwap::Outcome::Undone     ? "undone"
                        : settled == FileSwap::Outcome::Finished ? "finished"
                        : settled == FileSwap::Outcome::InTheWay ? "left as it was: its backup folder is in the way"
                                                                 : "left as it was: it cannot be read now");
    // A record that cannot be read is the install's own, not someone
    // else's folder: the user is told why it stays unsettled.
    if (settled == FileSwap::Outcome::Unreadable)
        QMessageBox::information(nullptr, tr("Notify"),
                                 tr("The install's record in %1 cannot be read (%2): the install stays as it is until "
                                    "a start can read it.")
                                     .arg(QDir::toNativeSeparators(FileSwap::backupFolder(download)), why),
                                 QMessageBox::Ok);
    const QString listPath = QStringLiteral("%1%2/%3").arg(
        downloadBaseDir(), QStringLiteral("/download"), firmwarenames::lastPathPart(deviceListUrl()));
    qDebug() << "--------------TQCAN--init---outputFilePath=" << listPath;

    QString fileName;
    QString link;
    const bool usable = m_bDebug
        ? readCSVDBTest(listPath, fileName, link, devfilelist::productKey())
        : readCSVDBRelease(listPath, fileName, link, devfilelist::productKey());
    const char* mode = m_bDebug ? "debug" : "release";
    if (!usable) {
        QMessageBox::information(nullptr, tr("Notify"), tr("Please click upgrade database button"),
                                 QMessageBox::Ok);
        qDebug().noquote() << QStringLiteral("------%1--------TQCAN--init-err--").arg(QLatin1String(mode))
                           << mDbTableNameL;
        return;
    }
    if (!QFileInfo(download + QLatin1Char('/') + fileName).isFile()) {
        qDebug() << "The file does not exist.";
        QMessageBox::information(nullptr, tr("Notify"), tr("Please click upgrade database button"),
                                 QMessageBox::Ok);
        return;
    }

    if (!openFirmwareDb(download + QLatin1Char('/') + fileName)) {
        // An update that fails then says that none is in use.
        qWarning() << "--------------TQCAN--init---the database does not read:" << fileName;
        QMessageBox::information(nullptr, tr("Notify"), tr("Please click upgrade database button"),
                                 QMessageBox::Ok);
        return;
    }
    setDbInUse(fileName);
    qDebug().noquote() << QStringLiteral("-----%1---------TQCAN--init---m_db_name=").arg(QLatin1String(mode))
                       << m_db_name;
    qDebug().noquote() << QStringLiteral("------%1--------TQCAN--init---").arg(QLatin1String(mode))
                       << mDbTableNameL;
}
