// The real executable, started as real processes: one instance at a time,
// a clean start and quit (by itself or on a signal), and the title and
// firmware database with and without the developer marker.

#include <QProcess>
#include <QtTest>

#include <csignal>

#include "app/debugmode.h"
#include "appcopy.h"
#include "firmwaredb.h"

class tst_Application : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void startsAndQuitsWithReleaseTitle_data();
    void startsAndQuitsWithReleaseTitle();
    void signalEndsItAsItsQuitDoes_data();
    void signalEndsItAsItsQuitDoes();
    void developerMarkerAddsDevSuffix();
    void secondInstanceWarnsAndExitsWithZero();

private:
    // Starts the executable in the test's folder; it quits by itself after quitMs.
    void start(QProcess& app, int quitMs) const { m_app->start(app, m_dir->path(), quitMs); }
    QScopedPointer<AppCopy> m_app;
    QScopedPointer<QTemporaryDir> m_dir;
};

void tst_Application::initTestCase()
{
    m_app.reset(new AppCopy(QStringLiteral(TQ_TOPAZ_EXE)));
    QVERIFY(m_app->isValid());
}

void tst_Application::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
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

void tst_Application::signalEndsItAsItsQuitDoes_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGQUIT") << int(SIGQUIT);
    QTest::newRow("SIGUSR1") << int(SIGUSR1);
    QTest::newRow("SIGUSR2") << int(SIGUSR2);
    QTest::newRow("SIGALRM") << int(SIGALRM);
    QTest::newRow("SIGXFSZ") << int(SIGXFSZ);
    QTest::newRow("SIGPWR") << int(SIGPWR);
    QTest::newRow("a real-time signal") << int(SIGRTMIN + 1);
}

// A log-out, kill or Ctrl+C ends the application through its own quit: the
// workers stop in order and it exits normally, with 0.
void tst_Application::signalEndsItAsItsQuitDoes()
{
    QFETCH(int, signalNumber);
    QProcess app;
    start(app, 60000);
    QVERIFY(app.waitForStarted());
    // The start-up box has gone: only the main loop runs from here on.
    QString out;
    QTRY_VERIFY_WITH_TIMEOUT((out += QString::fromUtf8(app.readAll())).contains("setTqcanWorkMode----bDebug="),
                             30000);
    QCOMPARE(::kill(pid_t(app.processId()), signalNumber), 0);
    QVERIFY(app.waitForFinished(30000));
    out += QString::fromUtf8(app.readAll());
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);
    QVERIFY2(out.contains(QString("signal %1 caught").arg(signalNumber)), qPrintable(out));
    QVERIFY2(out.contains("auxthreadcontroller-----quit--over"), qPrintable(out));
    QVERIFY2(!out.contains("autotest: quitting"), qPrintable(out));
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
