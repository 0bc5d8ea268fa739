#ifndef FIRMWAREPAGEHELPERS_H
#define FIRMWAREPAGEHELPERS_H

// What the firmware tests of the configurator page share: device-file lists
// and the download folder in the working directory that PageEnv provides,
// and the simulated ESC's row on the firmware tab.

#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTest>
#include <QTextEdit>

#include <memory>

#include "configurator/tqcan.h"
#include "firmwaredb.h"
#include "kiosk/kioskini.h"
#include "pagetesthelpers.h"

namespace fwpage {

inline QString base() { return QDir::currentPath(); }
inline QString inBase(const QString& relative) { return base() + QLatin1Char('/') + relative; }

// A device-file list with all five columns and another product's row before
// the ESC's; lineEnd "\r\n" or "\n".
inline QByteArray list(const QString& releaseFile, const QString& releaseLink,
                       const QString& testFile = QStringLiteral("fw_test.db"),
                       const QString& testLink = QStringLiteral("http://127.0.0.1:1/fw_test.db"),
                       const QByteArray& lineEnd = "\n")
{
    return "ITEM,NAME,TEST_FILE,LINK_TEST_FILE,RELEASE_FILE,LINK_RELEASE_FILE" + lineEnd
         + "P_FLY-MOTOR,motor,m_test.db,http://h/m_test.db,m.db,http://h/m.db" + lineEnd
         + "P_FLY-ESC,esc," + testFile.toUtf8() + ',' + testLink.toUtf8() + ',' + releaseFile.toUtf8()
         + ',' + releaseLink.toUtf8() + lineEnd;
}

inline bool writeFile(const QString& relative, const QByteArray& bytes)
{
    const QString path = inBase(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

// A database whose only table is the simulator's, with one version.
inline bool writeSingleVersionDb(const QString& relative, const QString& version)
{
    testdb::Table sim{QString::fromLatin1(testdb::kSimTable),
                      {testdb::row(version, "note of " + version.toUtf8(), 300, 200)}};
    return testdb::writeDb(inBase(relative), {sim});
}

// Removes what a test left in the working directory (the translations stay).
inline void cleanBase()
{
    QDir(inBase(QStringLiteral("download"))).removeRecursively();
    QDir(inBase(QStringLiteral("conf"))).removeRecursively();
    for (const QString& name : QDir(base()).entryList({"*.db", "*.csv"}, QDir::Files))
        QFile::remove(inBase(name));
}

// Every file below folder, relative path -> bytes; a link -> its target
// (it may lead to an endless device).
inline QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile in(it.next());
        const QString name = QDir(folder).relativeFilePath(in.fileName());
        if (it.fileInfo().isSymLink())
            files.insert(name, "-> " + it.fileInfo().symLinkTarget().toUtf8());
        else if (in.open(QIODevice::ReadOnly))
            files.insert(name, in.readAll());
    }
    return files;
}

// A page shown at a size where the firmware tab lays out, with its
// database path read.
inline std::unique_ptr<TQCAN> startPage(bool developer = false)
{
    std::unique_ptr<TQCAN> page(new TQCAN);
    page->resize(1366, 800);
    page->show();
    if (!QTest::qWaitForWindowExposed(page.get()))
        qWarning("startPage: the page was not exposed");
    page->setDebugMode(developer);
    page->initDbPath();
    return page;
}

// Lists node 16 (the simulator's device type unless told otherwise), clicks
// its row on the firmware tab and returns the versions offered. The port
// must be open.
inline QStringList clickSimDevice(TQCAN* page, const std::string& type = testdb::kSimDeviceName)
{
    page->doProcessRecvTQPack(pagetest::heartbeat(16));
    page->doProcessRecvTQPack(pagetest::deviceInfo(16, type));
    QTableWidget* table = pagetest::devTable(page);
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, 1) && table->item(row, 1)->text() == QLatin1String("10")) {
            pagetest::clickCell(table, row, 2);
            auto* combo = pagetest::child<QComboBox>(page, "comboBox_dev_ver");
            QStringList versions;
            for (int i = 0; i < combo->count(); ++i)
                versions << combo->itemText(i);
            return versions;
        }
    }
    return {QStringLiteral("node 16 not listed")};
}

inline QString note(const QWidget* page) { return pagetest::child<QTextEdit>(page, "textEdit")->toPlainText(); }
inline QString shownDb(const QWidget* page) { return pagetest::child<QLineEdit>(page, "lEdit_upgrade_db")->text(); }

inline void openPort(QWidget* page)
{
    pagetest::typePort(page, QStringLiteral("/dev/tq-test-port"));
    pagetest::click(page, "btnOpen");
}

} // namespace fwpage

#endif // FIRMWAREPAGEHELPERS_H
