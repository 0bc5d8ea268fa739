// The update-database install on the disk: stopped at each of its steps as
// a crash would stop it, with a fresh page started on the folder it left; a
// disk that fails each write and sync in turn (diskfaults.h); an install
// record that is no regular file; and links where the install works. The
// working database stays in use, or the new one is whole, or the box says
// what is open.

#include <QtTest>

#include <sys/stat.h>

#include "downloadpagefixture.h"

using namespace fwdownload;
using namespace fwpage;

class TestFirmwareInstall : public QObject, public DownloadPageFixture
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_env.ready(), "the translations must be built next to the test"); }
    void init() { setUpChain(); }
    void cleanup() { tearDownChain(); }

    void installStoppedAtEachStep_data();
    void installStoppedAtEachStep();
    void aFailedInstallSaysWhatIsOpen_data();
    void aFailedInstallSaysWhatIsOpen();
    void everyWriteOfTheInstallIsChecked_data();
    void everyWriteOfTheInstallIsChecked();
    void aRecordThatIsNoFileLeavesTheStartGoing_data();
    void aRecordThatIsNoFileLeavesTheStartGoing();
    void aLinkAtTheStagingFolderGoesAsALink_data();
    void aLinkAtTheStagingFolderGoesAsALink();
};

void TestFirmwareInstall::installStoppedAtEachStep_data()
{
    // What is stopped at each of its steps: the install itself; an install
    // whose new database does not read in place, stopped while it goes and
    // while it is undone; and, at a fresh start, the undo of an install cut
    // off before its commit and the end of one cut off after it.
    QTest::addColumn<QString>("stopped");
    QTest::newRow("an install") << "install";
    QTest::newRow("an install undone") << "undone install";
    QTest::newRow("the undo at start") << "undo at start";
    QTest::newRow("the end at start") << "end at start";
}

void TestFirmwareInstall::installStoppedAtEachStep()
{
    QFETCH(QString, stopped);
    const QString download = inBase("download");
    // The folder as a stop after each step leaves it: a crash stops a
    // process between two changes on the disk, never inside one.
    QList<QPair<QString, Tree>> stops;
    ModalBoxCloser boxes;
    if (stopped == "install" || stopped == "undone install") {
        FileSwap::setStepHook([&](const QString& step) {
            if (stopped == "undone install" && step == "moved in fw.v2.db")
                writeFile("download/fw.v2.db", "not a database any more");
            stops.append({step, Tree::of(download)});
        });
        update(boxes, stopped == "install" ? kSuccess : kFailed);
    } else {
        // The folder an install left when it was cut off at the last step
        // before its commit, or at the commit itself; a fresh page settles
        // it, stopped after each of its own steps.
        const QString cutAt = stopped == "undo at start" ? "moved in fw.v2.db" : "record says installed";
        Tree cut;
        FileSwap::setStepHook([&](const QString& step) {
            if (step == cutAt)
                cut = Tree::of(download);
        });
        update(boxes, kSuccess);
        QVERIFY(!cut.files.isEmpty());
        m_page.reset();
        QVERIFY(cut.restore(download));
        FileSwap::setStepHook([&](const QString& step) { stops.append({step, Tree::of(download)}); });
        m_page = startPage();
        FileSwap::setStepHook(nullptr);
        QVERIFY(!QFileInfo::exists(download + "/previous"));
    }
    FileSwap::setStepHook(nullptr);
    QVERIFY(stops.size() >= 4);
    if (stopped == "install") {
        // A stop inside the writing of the record, before it took its name:
        // the first one and the one that says installed.
        for (const QString& before : {QStringLiteral("made the backup folder"), QStringLiteral("moved in fw.v2.db")}) {
            const auto at = std::find_if(stops.begin(), stops.end(), [&](const auto& stop) { return stop.first == before; });
            QVERIFY2(at != stops.end(), qPrintable(before));
            Tree half = at->second;
            half.files.insert("previous/" + FileSwap::recordName() + ".Xq3zP1", "tq install rec");
            stops.insert(at + 1, {"a record half written after \"" + before + "\"", half});
        }
    }

    // The install counts as done from the step that records it on.
    bool completed = stopped == "end at start";
    for (const auto& stop : qAsConst(stops)) {
        completed = completed || stop.first == QLatin1String("record says installed");
        const QByteArray where = ("stopped after \"" + stop.first + "\"").toUtf8();
        m_page.reset();
        QVERIFY2(stop.second.restore(download), where.constData());
        boxes.clear();
        m_page = startPage();
        openPort(page());
        // Whatever is in use is what the page shows, and nothing asks for an
        // update while a database is there.
        QVERIFY2(boxes.texts().isEmpty(), where.constData());
        QVERIFY2(!QFileInfo::exists(download + "/previous"), where.constData());
        if (completed)
            expectNewDatabaseInUse();
        else
            expectOldDatabaseInUse();
        QVERIFY2(!QTest::currentTestFailed(), where.constData());
        // The next install succeeds.
        update(boxes, kSuccess);
        expectNewDatabaseInUse();
        QVERIFY2(!QTest::currentTestFailed(), where.constData());
    }
}

void TestFirmwareInstall::aFailedInstallSaysWhatIsOpen_data()
{
    // An install that fails: the box and the tab say what is open (the
    // database in use, the new one or none), the cause with its path, and,
    // where the undo could not finish, that the next start completes it;
    // or a success whose old copies the next start drops. The fault: a
    // folder made at old.db, the folder made read-only after a step, or a
    // thing planted at a name the install needs.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QStringList>("versions");
    QTest::addColumn<QString>("box");
    const QString download = inBase("download");
    const QString undo = "\nThe install could not be undone whole: the next start completes the undo.";
    const QStringList old{"1.0.0-old"};
    QTest::newRow("a folder takes the old name") << "old.db" << "" << QStringList() << kFailedNotKept + undo;
    QTest::newRow("read-only once the old list is aside") << "set aside devFileList.csv" << "old" << old
        << failedBecause(kFailed, "Cannot move " + download + "/old.db: Permission denied" + undo);
    const QString readOnly = "Cannot write to the disk at " + download + "/previous: Permission denied" + undo;
    QTest::newRow("read-only once the new files are in") << "moved in fw.v2.db" << "fw" << kNewVersions
                                                         << failedBecause(kFailedNew, readOnly);
    // The new database has the old one's name.
    QTest::newRow("read-only once a new old.db is in") << "moved in old.db" << "old" << kNewVersions
                                                       << failedBecause(kFailedNew, readOnly);
    QTest::newRow("a file at the staging folder") << "temp" << "old" << old
        << failedBecause(kFailed, download + "/temp is in the way: move it elsewhere, then update again.");
    QTest::newRow("a file at download/") << "download" << "old" << old
        << failedBecause(kFailed, download + " is in the way: move it elsewhere, then update again.");
    // Left holding only the record or its unfinished write, nothing moved:
    // no undo to complete.
    QTest::newRow("read-only once the backup folder is made") << "made the backup folder" << "old" << old
        << failedBecause(kFailed, "Cannot write to the disk at " + download + "/previous: Permission denied");
    QTest::newRow("read-only once the record is written") << "record written" << "old" << old
        << failedBecause(kFailed, "Cannot move " + download + "/devFileList.csv: Permission denied");
    // A success whose old copies cannot go yet.
    QTest::newRow("read-only once the record says installed") << "record says installed" << "fw" << kNewVersions
        << kSuccess + "\nThe old lists and databases in " + download + "/previous could not be removed now: the old "
                                                                        "copies are removed at the next start.";
    QTest::newRow("a record above the bound") << "4100 long names" << "old" << old
        << failedBecause(kFailed, download + " holds more lists and databases than an install can record. An update "
                                             "removes every list and database there: move those you keep elsewhere, "
                                             "then update again.");
}

void TestFirmwareInstall::aFailedInstallSaysWhatIsOpen()
{
    QFETCH(QString, fault);
    QFETCH(QString, label);
    QFETCH(QStringList, versions);
    QFETCH(QString, box);
    const QString download = inBase("download");
    if (fault == "moved in old.db") {
        m_server->serve(kListPath, list("old.db", m_server->url("/db/old.db")));
        m_server->serve("/db/old.db", m_dbBytes);
    }
    FileSwap::setStepHook([fault](const QString& step) {
        if (step == fault)
            diskfaults::makeReadOnly("/download");
        if (fault == "old.db" && step == "set aside old.db")
            QDir().mkpath(inBase("download/old.db"));
        if (fault == "old.db" && step == "moved in fw.v2.db")
            writeFile("download/fw.v2.db", "not a database any more");
    });
    QStringList planted{fault}; // taken away after the next start
    if (fault == "temp")
        QVERIFY(writeFile("download/temp", "the user's"));
    if (fault == "download")
        QVERIFY(QDir().rename(download, download + ".aside") && writeFile("download", "the user's"));
    for (int i = 0; fault.startsWith("4100") && i < 4100; ++i) {
        planted << QStringLiteral("%1.db").arg(i, 250, 10, QLatin1Char('0'));
        QVERIFY(writeFile("download/" + planted.last(), ""));
    }
    ModalBoxCloser boxes;
    update(boxes, box);
    FileSwap::setStepHook(nullptr);
    diskfaults::disarm();
    QCOMPARE(shownDb(page()), label);
    QCOMPARE(clickSimDevice(page()), versions);
    const bool nothingMoved = fault == "made the backup folder" || fault == "record written";
    QCOMPARE(QFileInfo::exists(download + "/previous"), box.contains("next start") || nothingMoved);
    if (fault == "download")
        QVERIFY(QFile::remove(download) && QDir().rename(download + ".aside", download));

    m_page.reset();
    boxes.clear();
    m_page = startPage();
    openPort(page());
    for (const QString& name : qAsConst(planted))
        QFileInfo(download + '/' + name).isDir() ? QDir(download + '/' + name).removeRecursively()
                                                 : QFile::remove(download + '/' + name);
    if (fault == "old.db") {
        // Nor can the start put the old file back while the folder is
        // there; the next install does.
        QCOMPARE(boxes.texts(), QStringList{kPleaseUpdate});
        QCOMPARE(fileBytes(download + "/previous/old.db"), m_oldFiles.value("old.db"));
    } else {
        QVERIFY(boxes.texts().isEmpty());
        box.startsWith(kSuccess) ? expectNewDatabaseInUse() : expectOldDatabaseInUse();
    }
    m_server->serve(kListPath, list("fw.v2.db", m_server->url(kDbPath)));
    update(boxes, kSuccess);
    expectNewDatabaseInUse();
}

void TestFirmwareInstall::everyWriteOfTheInstallIsChecked_data()
{
    // The disk fails a write or a sync of what the update writes, each in
    // turn, or that one and every one after it: of the staged files, or of
    // the install's record and its folder. The box says what is so: the old
    // files in use and the file the disk failed; or, only where the record
    // said installed and nothing could put it back to pending, the new ones
    // whole. A write cut short fails as well; read-only, or dying (nothing
    // there reads either), the box says what the next start does, and it
    // does. The next update works.
    using diskfaults::Fault;
    QTest::addColumn<QByteArray>("part");
    QTest::addColumn<Fault>("fault");
    QTest::newRow("the staged files, each call") << QByteArray("/download/temp/") << Fault::Once;
    QTest::newRow("the staged files, each write cut short") << QByteArray("/download/temp/") << Fault::CutShort;
    QTest::newRow("the install record, each call") << QByteArray("/download/previous") << Fault::Once;
    QTest::newRow("the install record, each write cut short") << QByteArray("/download/previous") << Fault::CutShort;
    QTest::newRow("the install record, each call and all after") << QByteArray("/download/previous") << Fault::FromThenOn;
    QTest::newRow("the install record, read-only from each call") << QByteArray("/download/previous") << Fault::ReadOnly;
    // Nothing there reads either, from the failure on: the folder, or the
    // record's file alone.
    QTest::newRow("the install record, dying from each call") << QByteArray("/download/previous") << Fault::Dying;
    QTest::newRow("the record alone, dying from each call") << QByteArray("/download/previous/install-record")
                                                          << Fault::Dying;
}

void TestFirmwareInstall::everyWriteOfTheInstallIsChecked()
{
    QFETCH(QByteArray, part);
    QFETCH(diskfaults::Fault, fault);
    const QString download = inBase("download");
    const bool record = part.contains("previous");
    const Tree old = Tree::of(download);
    ModalBoxCloser boxes;
    // An update that the disk lets through counts the calls: each file's
    // writes and its sync; the record's, twice, each with its folder's sync,
    // and the folder's after the old files went in.
    diskfaults::arm(part, 0);
    update(boxes, kSuccess);
    const int calls = diskfaults::calls();
    diskfaults::disarm();
    qInfo("%s: %d calls", QTest::currentDataTag(), calls);
    QVERIFY2(calls >= (part.endsWith("previous") ? 7 : 4), qPrintable(QString::number(calls)));
    QStringList named;
    for (int nth = 1; nth <= calls; ++nth) {
        const QByteArray where = "call " + QByteArray::number(nth);
        m_page.reset();
        QVERIFY(old.restore(download));
        m_page = startPage();
        openPort(page());
        boxes.clear();
        diskfaults::arm(part, nth, fault);
        pagetest::click(page(), "btnDownloadDBCSV");
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts().size(), 1, pagetest::kSlowMs);
        QTRY_VERIFY(buttonsEnabled());
        const QString box = boxes.texts().first();
        if (box.endsWith("the next start settles the install.")) { // a start and an update say why not, while it fails
            m_page.reset();
            boxes.clear();
            m_page = startPage();
            QVERIFY2(boxes.texts().value(0).contains("/previous cannot be read (Input/output error)"), qPrintable(box));
            openPort(page());
            boxes.clear();
            pagetest::click(page(), "btnDownloadDBCSV");
            QTRY_COMPARE_WITH_TIMEOUT(boxes.texts().size(), 1, pagetest::kSlowMs);
            QVERIFY2(boxes.texts().first().endsWith("the next start settles the install."), qPrintable(box));
        }
        diskfaults::disarm();
        if (box == kSuccess) {
            QVERIFY2(fault == diskfaults::Fault::FromThenOn, where.constData());
            expectNewDatabaseInUse();
        } else if (record && (fault == diskfaults::Fault::Once || fault == diskfaults::Fault::CutShort)) {
            QCOMPARE(box, failedBecause(kFailed, diskFull(download + "/previous")));
            expectOldDatabaseInUse();
        } else if (record) {
            // What the last line says the next start does, a start on a disk
            // that works again does: the old files back, the new ones, either
            // (the record did not read), or, with no such line, what the
            // first line says is open. From the last call on, the record's
            // last sync, a read-only disk leaves the install to be finished.
            QVERIFY2(box.contains(fault == diskfaults::Fault::Dying
                                      ? "Cannot write to the disk at " + download + "/previous: Input/output error"
                                      : diskFull(download + "/previous")),
                     qPrintable(box));
            if (fault == diskfaults::Fault::ReadOnly)
                QCOMPARE(box.endsWith("the next start finishes it."), nth == calls);
            QVERIFY2(!box.contains("move it elsewhere"), qPrintable(box)); // the folder is the install's own
            m_page.reset();
            m_page = startPage();
            openPort(page());
            const QString last = box.section('\n', -1);
            const bool isNew = snapshot(download) == m_newFiles;
            const bool kept = box.startsWith(kFailedNew) && !last.contains("next start");
            if (!last.endsWith("settles the install."))
                QCOMPARE(isNew, last.endsWith("finishes it.") || kept);
            isNew ? expectNewDatabaseInUse() : expectOldDatabaseInUse();
        } else {
            named << box;
            QVERIFY2(box == failedBecause(kFailed, diskFull(download + "/temp/devFileList.csv"))
                         || box == failedBecause(kFailed, diskFull(download + "/temp/fw.v2.db")),
                     qPrintable(box));
            expectOldDatabaseInUse();
        }
        QVERIFY2(!QFileInfo::exists(download + "/previous") && !QFileInfo::exists(download + "/temp"),
                 where.constData());
        QVERIFY2(!QTest::currentTestFailed(), where.constData());
        update(boxes, kSuccess);
        expectNewDatabaseInUse();
        QVERIFY2(!QTest::currentTestFailed(), where.constData());
    }
    // The list is written first, the database last.
    if (!record) {
        QVERIFY(named.first().endsWith("devFileList.csv: No space left on device"));
        QVERIFY(named.last().endsWith("fw.v2.db: No space left on device"));
    }
}

void TestFirmwareInstall::aRecordThatIsNoFileLeavesTheStartGoing_data()
{
    // The install's record as a link to an endless device, a pipe that no
    // one writes, a file above the bound, and a link to a record that
    // reads: a record is read only from a regular file of its own, and
    // never more than the bound. The backup folder then is in the way.
    // A record of exactly the bound is read, and settled (it names no file
    // there is).
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("settled");
    QTest::newRow("a link to /dev/zero") << "zero" << false;
    QTest::newRow("a FIFO") << "fifo" << false;
    QTest::newRow("2 MiB") << "2097152" << false;
    QTest::newRow("a byte above the bound") << "1048577" << false;
    QTest::newRow("the bound, a record that reads") << "1048576" << true;
    QTest::newRow("a link to a record") << "link" << false;
}

void TestFirmwareInstall::aRecordThatIsNoFileLeavesTheStartGoing()
{
    QFETCH(QString, kind);
    QFETCH(bool, settled);
    const QString record = inBase("download/previous/" + FileSwap::recordName());
    QVERIFY(QDir().mkpath(inBase("download/previous")));
    if (kind == "zero") {
        QVERIFY(QFile::link("/dev/zero", record));
    } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(record).constData(), 0600), 0);
    } else if (kind.toInt() > 0) {
        // A record whose one new file has a name as long as it takes.
        const QByteArray head = "tq install record 1\nstate pending\nnew ";
        QVERIFY(writeFile("download/previous/" + FileSwap::recordName(),
                          head + QByteArray(kind.toInt() - head.size() - 4, 'z') + ".db\n"));
    } else {
        // Followed, it would drop the copy beside it.
        QVERIFY(writeFile("download/previous/old.db", "a copy"));
        QVERIFY(writeFile("elsewhere/record", "tq install record 1\nstate installed\nold old.db\n"));
        QVERIFY(QFile::link(inBase("elsewhere/record"), record));
    }
    m_oldFiles = snapshot(inBase("download"));
    m_page.reset();
    ModalBoxCloser boxes;
    m_page = startPage();
    openPort(page());
    QVERIFY(boxes.texts().isEmpty());
    if (settled) {
        QVERIFY(!QFileInfo::exists(inBase("download/previous")));
        m_oldFiles = snapshot(inBase("download"));
    }
    expectOldDatabaseInUse();
    if (!settled) {
        update(boxes, failedBecause(kFailed, inTheWay(inBase("download/previous"))));
        expectOldDatabaseInUse();
        QVERIFY(QDir(inBase("download/previous")).removeRecursively());
    }
    update(boxes, kSuccess);
    expectNewDatabaseInUse();
}

void TestFirmwareInstall::aLinkAtTheStagingFolderGoesAsALink_data()
{
    // The staging folder is a link to a folder of the user's, with files
    // and a folder in it: the start, or an update, takes out the link, not
    // what it leads to.
    QTest::addColumn<bool>("atStart");
    QTest::newRow("at start") << true;
    QTest::newRow("at an update") << false;
}

void TestFirmwareInstall::aLinkAtTheStagingFolderGoesAsALink()
{
    QFETCH(bool, atStart);
    QVERIFY(writeFile("elsewhere/keep.db", "the user's database"));
    QVERIFY(writeFile("elsewhere/keep.csv", "the user's list"));
    QVERIFY(writeFile("elsewhere/sub/inner.txt", "deeper"));
    const QMap<QString, QByteArray> theirs = snapshot(inBase("elsewhere"));
    QVERIFY(QFile::link(inBase("elsewhere"), inBase("download/temp")));
    ModalBoxCloser boxes;
    if (atStart) {
        m_page.reset();
        m_page = startPage();
        openPort(page());
        QVERIFY(boxes.texts().isEmpty());
        expectOldDatabaseInUse();
    } else {
        update(boxes, kSuccess);
        expectNewDatabaseInUse();
    }
    QCOMPARE(snapshot(inBase("elsewhere")), theirs);
    QVERIFY(!QFileInfo(inBase("download/temp")).isSymLink());
}

QTEST_MAIN(TestFirmwareInstall)
#include "tst_firmware_install.moc"
