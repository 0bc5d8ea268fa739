// The real executable, started as real processes: one instance at a time,
// a clean start and quit, and the title and firmware database with and
// without the developer marker.

#include <QProcess>
#include <QtTest>

#include "app/debugmode.h"
#include "firmwaredb.h"

class tst_Application : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void startsAndQuitsWithReleaseTitle_data();
    void startsAndQuitsWithReleaseTitle();
    void developerMarkerAddsDevSuffix();
    void secondInstanceWarnsAndExitsWithZero();

private:
    // Starts the executable in the test's folder; it quits by itself after quitMs.
    void start(QProcess& app, int quitMs) const;
    QString m_exe;
    QTemporaryDir m_bin; // the executable's own folder, with its settings
    QScopedPointer<QTemporaryDir> m_dir;
};

void tst_Application::initTestCase()
{
    // A copy of the executable and its translations: what a user's run left
    // beside the built one (language, scales) never reaches these starts.
    const QFileInfo built(QStringLiteral(TQ_TOPAZ_EXE));
    QVERIFY(m_bin.isValid());
    for (const QFileInfo& file : built.dir().entryInfoList({built.fileName(), "*.qm"}, QDir::Files))
        QVERIFY(QFile::copy(file.filePath(), m_bin.filePath(file.fileName())));
    m_exe = m_bin.filePath(built.fileName());
}

void tst_Application::init()
{
    QVERIFY(QFileInfo(m_exe).isExecutable());
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void tst_Application::start(QProcess& app, int quitMs) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TQ_AUTOTEST_QUIT_MS", QString::number(quitMs));
    // Own lock file and socket: parallel test runs do not meet each other.
    env.insert("TMPDIR", m_dir->path());
    app.setProcessChannelMode(QProcess::MergedChannels);
    app.setProcessEnvironment(env);
    app.setWorkingDirectory(m_dir->path());
    app.start(m_exe, QStringList());
}

void tst_Application::startsAndQuitsWithReleaseTitle_data()
{
    QTest::addColumn<int>("quitMs");
    QTest::newRow("once it runs") << 1500;
    // The start-up box (no device list yet) is shown before the main loop
    // runs: the first quit ends only the box's loop.
    QTest::newRow("during the start-up box") << 1;
}

void tst_Application::startsAndQuitsWithReleaseTitle()
{
    QFETCH(int, quitMs);
    QProcess app;
    start(app, quitMs);
    QVERIFY(app.waitForFinished(30000));
    const QString out = QString::fromUtf8(app.readAll());
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);
    QVERIFY2(out.contains("window title: \"TQ_TOPAZ_V2.2.0.16\""), qPrintable(out));
    QVERIFY2(out.contains("---setTqcanWorkMode----bDebug= false"), qPrintable(out));
    QVERIFY2(out.contains("auxthreadcontroller-----quit--over"), qPrintable(out));
}

void tst_Application::developerMarkerAddsDevSuffix()
{
    QDir(m_dir->path()).mkpath("notes");
    QFile marker(m_dir->filePath("notes/" + debugMarkerFileName(QDate::currentDate())));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();

    // A device-file list naming a release and a test database, each with a
    // table of its own.
    QDir(m_dir->path()).mkpath("download");
    QFile list(m_dir->filePath("download/devFileList.csv"));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("ITEM,NAME,TEST_FILE,LINK_TEST_FILE,RELEASE_FILE,LINK_RELEASE_FILE\n"
               "P_FLY-ESC,esc,fw_test.db,http://127.0.0.1:1/fw_test.db,fw.db,http://127.0.0.1:1/fw.db\n");
    list.close();
    const auto table = [](const char* name) { return testdb::Table{name, {testdb::row("1.0.0", "n", 300)}}; };
    QVERIFY(testdb::writeDb(m_dir->filePath("download/fw.db"), {table("P_FLY_ESC_RELEASED")}));
    QVERIFY(testdb::writeDb(m_dir->filePath("download/fw_test.db"), {table("P_FLY_ESC_TESTED")}));

    QProcess app;
    start(app, 1500);
    QVERIFY(app.waitForFinished(30000));
    const QString out = QString::fromUtf8(app.readAll());
    QCOMPARE(app.exitCode(), 0);
    QVERIFY2(out.contains("window title: \"TQ_TOPAZ_V2.2.0.16_dev\""), qPrintable(out));
    // The test row's database from the first moment: the release one is
    // never chosen nor opened.
    QStringList chosen;
    for (const QString& line : out.split('\n')) {
        if (line.contains("m_db_name="))
            chosen << line.section("m_db_name=", 1).trimmed();
    }
    QCOMPARE(chosen, QStringList({"fw_test.db"}));
    QVERIFY2(out.contains("P_FLY_ESC_TESTED") && !out.contains("P_FLY_ESC_RELEASED"), qPrintable(out));
}

void tst_Application::secondInstanceWarnsAndExitsWithZero()
{
    QProcess first;
    start(first, 20000);
    QVERIFY(first.waitForStarted());
    // Wait until the first instance is up and listening.
    QString firstOut;
    QTRY_VERIFY_WITH_TIMEOUT((firstOut += QString::fromUtf8(first.readAll())).contains("window title:"), 20000);

    QProcess second;
    start(second, 20000);
    QVERIFY(second.waitForFinished(20000));
    const QString secondOut = QString::fromUtf8(second.readAll());
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY2(secondOut.contains("closing modal box \"warnning\""), qPrintable(secondOut));
    QVERIFY2(!secondOut.contains("window title:"), qPrintable(secondOut));

    QTRY_VERIFY_WITH_TIMEOUT((firstOut += QString::fromUtf8(first.readAll())).contains("another instance said: \"raies\""),
                             10000);
    first.terminate();
    first.waitForFinished(10000);
}

QTEST_GUILESS_MAIN(tst_Application)
#include "tst_application.moc"
