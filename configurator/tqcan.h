#ifndef TQCAN_H
#define TQCAN_H

// The configurator page (stack index 3 of the window): port and bus rate,
// the nodes on the bus, node IDs, language, and the dispatch of every device
// response to the concern it belongs to.
//
// One class, whose members live in one file per concern:
//   configurator/tqcan.cpp            construction and wiring
//   configurator/tqcan_buttons.cpp    button dispatch
//   configurator/tqcan_dispatch.cpp   device responses
//   configurator/tqcan_devices.cpp    device list, heartbeats, 1 s timer
//   configurator/tqcan_restarts.cpp   a node's restarts, its questions who it is
//   configurator/tqcan_port.cpp       port open/close, port list
//   configurator/tqcan_busconfig.cpp  CAN bit-rate and node-ID change
//   configurator/tqcan_language.cpp   language, scaling, keys, tabs
//   firmware/tqcan_*.cpp              firmware, registers, parameters
//   telemetry/tqcan_*.cpp             throttle test and telemetry
//   telemetry/tqcan_stopkey.cpp       the throttle tab's stop key

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QNetworkReply>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include "app/communicat.h"
#include "configurator/regrecord.h"
#include "firmware/ratefloor.h"
#include "firmware/record_db.h"
#include "telemetry/refreshdata.h"
#include "telemetry/throttlesender.h"

#include <array>
#include <memory>

class FileSwap;
class QNetworkAccessManager;
class QSaveFile;
class QTableWidget;
class QTableWidgetItem;
class QTranslator;
class QcwIndicatorLamp;
class statusLampForm;
class ThrotCfgDialog;
class MainWindow;
class CWaveForm;
class CProgressBarV2;
struct DevInfoTexts;
struct EscTelemetry;
class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;
class QSpinBox;

namespace Ui {
class TQCAN;
}
namespace regtext {
struct Choice;
}

class TQCAN : public QWidget
{
    Q_OBJECT
public:
    explicit TQCAN(QWidget* parent = nullptr);
    ~TQCAN() override;

    // Developer mode selects the test rows of the device-file list. Only the
    // window's setTqcanWorkMode writes it.
    void setDebugMode(bool bDebug) { m_bDebug = bDebug; }
    bool debugMode() const { return m_bDebug; }
    // Stops the throttle test (the throttle combo box back to "off"), as a
    // firmware upgrade must before it starts and the window when it goes.
    void stopThrottleTest();
    // The throttle test's send timer (runs while the test is on).
    const QTimer& throttleTimer() const { return m_throttle.timer(); }
    // The folder of the waveform settings file (wave.ini, which also keeps
    // the language); by default "SetIns" beside the executable. Tests point
    // it elsewhere; an empty folder restores the default.
    static void setSettingsFolder(const QString& folder);
    static QString settingsFolder();
    // The rate below which a database download is given up: less than
    // floorBytes in the last windowSeconds (by default 1 KiB in 60 s).
    // Tests shorten the window; it applies from the next update on.
    static void setDownloadRateFloor(int windowSeconds, qint64 floorBytes);
    // Finds the firmware database; the window calls it once at start.
    void initDbPath();
    // The window goes: from now on a port lost is logged, not shown in a
    // box, whose own loop would hold the application's end.
    void setEnding() { m_ending = true; }

signals:
    // The throttle tab's stop key set every set-point to 0.
    void stopKeyPressed();

public slots:
    // Every decoded device response and the link's own codes. Owns and
    // frees the payload.
    void doProcessRecvTQPack(response_data_struct_t tqcanPack);
    // Results that come back through the controller (the port list).
    void doProcessRecvPagePack(CommunicatPage page);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Installed on the application: a key on the throttle tab's controls
    // is the stop key (telemetry/tqcan_stopkey.cpp).
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private slots:
    void doProcessClickedAllBtn();
    void doProcessCheckDevTimerOut();
    void doProcessSetBaudTimerOut();
    void doProcessClickProTable(int row, int column);
    void doProcessDevItemChanged(QTableWidgetItem* item);
    void doprocessLanguageChange(int selIndex);
    void doProcessTabChanged(int index);

    // Firmware and parameters (firmware/).
    void doProcessClickSetProTable(int row, int column);
    void doProcessSetRadionBtnClicked();
    void doprocessSelSetRegChange(int selIndex);
    void doprocessSelVersionChange(int index);
    void onDownloadFinished(QNetworkReply* reply);
    // Single shots of the upgrade (firmware/tqcan_upgrade.cpp), armed by name.
    void doProcessSingleTimerOut();
    void doProcessSingleTimerOutReadReg();
    void doProcessFroceSearchDev();
    // Firmware database downloads (firmware/tqcan_download.cpp).
    void onDownloadProgress(qint64 bytesReceived, qint64 bytesTotal);
    void onDownloadReadyRead();
    void doProcessNetworkError(QNetworkReply::NetworkError error);
    // The removed debug tab (firmware/tqcan_debugtab.cpp), connected by name.
    void on_btn_read_excel_clicked();
    void on_btn_read_db_clicked();
    void on_btn_read_excel_csv_clicked();
    void on_btn_download_clicked();
    void on_btnOpenFirmware_clicked();
    void on_btnDownLoadFirmware_clicked();

    // Throttle test and telemetry (telemetry/); the on_ slots are connected
    // by name when the form is built.
    void on_comboBoxThrot_currentIndexChanged(int index);
    void on_btn_throt_set_clicked();
    void on_btnDefaultPara_clicked();
    void on_btnSuspend_clicked();
    void doProcessGasValueChange(int value, QString parentName);
    void doProcessChangeBar(int value);
    void doProcessWaveCheckBox(int checkState);
    void doProcessWaveEnableChange(bool state);

private:
    // ---- construction (tqcan.cpp) ----
    void initConnect();
    void initDevTable();
    void connectButtons();
    void initLinkLamp();
    void initLanguage();

    // ---- device responses (tqcan_dispatch.cpp) ----
    void handleLinkFrame();
    void handleOpenResult(int result);
    void handleHeartbeat(int nodeId, const uint8_t* payload, uint32_t size);
    void handleDeviceInfo(int nodeId, int transferId, const uint8_t* payload, uint32_t size);
    void handleRegAccess256(int nodeId, int transferId, const uint8_t* payload, uint32_t size);
    void handleFileRead257(int nodeId, int transferId, const uint8_t* payload, uint32_t size);
    void handleCommand435(int nodeId, const uint8_t* payload, uint32_t size);
    void handleFileWrite409(int nodeId, const uint8_t* payload, uint32_t size);

    // ---- device list (tqcan_devices.cpp) ----
    // uptime: seconds since the node powered up; -1 when the heartbeat
    // does not carry it.
    void handleDevAlive(int nodeId, int mode, qint64 uptime);
    // Lists the node, or refreshes its row; the progress shown goes when
    // the answer is of anotherDevice than the row held.
    void updateDevInfoMap(int nodeId, const DevInfoTexts& info, bool anotherDevice);
    void refreshRegTable();
    void removeDevice(int nodeId);
    void showDevVersionFromDb(const QString& devType, const QString& hardVer,
                              const QString& firmVer, const QString& nodeText);
    void updateLinkLamp();
    int devTableRowOfNode(QTableWidget* table, int nodeId) const;
    void keepMinimumRows(QTableWidget* table);
    void ensureDeviceRow(int row);
    int getDevTableCheckedRow();
    bool updataSetPageRadioState(int row, int column, bool checked);
    int getLastValidRowSetDev();
    int getLastValidRowSetReg();
    int getUpgradeDevCheckedRow() const;
    // Checks the row's box alone and shows its type's versions and notes.
    void chooseUpgradeRow(int row);
    // The details beside the list, and the versions offered, follow what
    // the node last said it is, when its box is checked.
    void showCheckedNodeAnswer(int nodeId);

    // ---- a node's restarts and its questions who it is (tqcan_restarts.cpp) ----
    // Asks the node who it is under a transfer-ID of the page's choosing,
    // which its answer carries back; returns the ID.
    int askNodeInfo(int nodeId);
    // The node's answer who it is: it counts unless it answers a question
    // asked before the node's last restart seen; an answer that is not
    // what its row holds shows a restart.
    void handleNodeAnswer(int nodeId, int transferId, const DevInfoTexts& info);
    // The node restarted: the one place that decides it, from which every
    // tab holding a fact about the node drops or checks it again. mode: its
    // heartbeat's, or kRestartSeenInAnswer; answerTid: the transfer-ID of
    // the answer that showed it (-1: a heartbeat did).
    void noteNodeRestart(int nodeId, int mode, int answerTid = -1);
    // Notes the node's heartbeat: true when its uptime (-1: none) is lower
    // than the last one heard; *afterSilence: it comes after a silence of
    // more than two heartbeat periods.
    bool noteHeartbeat(int nodeId, qint64 uptime, bool* afterSilence);
    // The node left the list: what was asked of it is void, its silence
    // counts from its next listing.
    void nodeLeft(int nodeId);
    // The register list was just read or loaded for the chosen node: what
    // the page then knew of the node's restarts and type.
    void stampRegList();
    // True while the chosen node restarted and has not said what it is now;
    // unless loading (a list about to be replaced), also when it restarted
    // since the list was taken, or now says it is of another type than the
    // list's.
    bool restartOutdatesList(bool loading) const;

    // ---- port (tqcan_port.cpp) ----
    void handelClickOpenBtn(int force);
    void setOpenBtnName(bool bStatus);
    void showPortClosed();
    void setOpenBtnCaption(bool open);
    void refillPortList(const QString& listText);

    // ---- bus configuration (tqcan_busconfig.cpp) ----
    void startBaudChange();
    // A node's reply to the rate write, and a heartbeat after the change.
    void noteBaudWriteReply(int nodeId, int opState);
    void noteHeardAtNewRate(int nodeId);
    // Ends the change; names the nodes it lost in one box.
    void reportBaudChange();
    // The text that names the nodes refused or not heard at the new rate;
    // empty when there are none.
    QString baudChangeLossText();
    // Ends a change the port's close cut short: the rate box shows the
    // rate the listed nodes were told, once they were. Returns the text of
    // the box that says so (empty: no change ran).
    QString endBaudChangeCutShort();
    void finishBaudChange();
    void setBusControlsEnabled(bool enabled);
    void changeNodeId();
    // While an upgrade runs the bus keeps its rate and IDs, and the node
    // being upgraded its parameters: the box, and true. nodeId: the node the
    // act reaches; 0, every node (a broadcast).
    bool refusedDuringUpgrade(int nodeId = 0);

    // ---- language and layout (tqcan_language.cpp) ----
    int applyLanguage(int selIndex);
    void setTableHeaders();
    void setTableColumnWidths();
    static QString languageIniPath();

    // ---- firmware and parameters (firmware/) ----
    bool readParaFile();
    bool handleSetCfgReg();
    bool handleRecoveyCfgReg();
    bool saveSetRegValueToFile(short row);
    bool loadLocalParaFile();
    void startDownloadCSV();
    void startUpgrade();
    // Every answer of the node being upgraded. The answer to the question
    // the start asked lets the upgrade go on only for a device of the
    // chosen version's table; from then on, one of another device (another
    // table, or another unique ID than that answer gave) ends the upgrade,
    // and the answers to the questions after its restarts let it go on to
    // part 2 and to its success.
    void handleUpgradeIdentity(int nodeId, int transferId, const DevInfoTexts& info);
    // The firmware tab's part of a node's restart (noteNodeRestart): asked
    // what it is now; the start's question asked again; one being upgraded
    // ends the upgrade unless the upgrade caused the restart.
    void handleNodeRestart(int nodeId, int mode, int answerTid);
    // The page idle again, nothing more sent, the versions offered those of
    // what the node last said it is; the two ends that follow say why in
    // their box.
    void endUpgrade();
    void failUpgrade();
    void refuseUpgrade(const QString& reason);
    void showUpgradeFailedBox();
    void startUpgradeReadReg5();
    void upgradeWatchdogTick();
    void downloadWatchdogTick();
    void initRegTable();
    void makeSetDevRadioCell(int nodeId);
    void clearSetRegTable();
    // Drops the device choice and the register list: what the port's close
    // or loss and a node-ID or bit-rate change do. A write it cuts short
    // says so in a box once the caller is done.
    void clearDevAndRegInfo();
    QString getDevTypeById(int nodeId) const;
    int showSetRegInfoFromFireware(QString text, bool readValues);
    void handleRegReadWrite256Msg(int op, int reg, int value);
    void handleRegReadWrite256MsgUpgrade(int op, int reg, int value);
    bool handleReadSetRegValue(int nodeId, int transferId, const uint8_t* payload, uint32_t size);
    bool handleWriteSetRegValue(int nodeId, int transferId, const uint8_t* payload, uint32_t size);
    void handleUpgrade409Msg(int result);
    void handleUpgrade435Msg(int nodeId, int status);
    void reqUpgradeFile409Msg(int state);
    void showUpgradeProces(int bytesSent);
    void setUpgradeControlsEnabled();
    void showDbVersionList(QString table);
    // Empties the staging folder and removes it; a link in its place is
    // removed as a link. False when something of it stays.
    bool clearDownloadTempDir(QString path);
    static QString deviceListUrl();

    // ---- device-file list and database path (firmware/tqcan_database.cpp) ----
    // The row readers: true only when the list names a usable row for key
    // (its file cell a bare file name); the outputs are written then only.
    bool readCSVDBTest(const QString& path, QString& fileName, QString& link, const QString& key);
    bool readCSVDBRelease(const QString& path, QString& fileName, QString& link, const QString& key);
    void readCSVFile(const QString& path);
    // The folder below which download/ and its staging folder lie: the
    // working directory.
    static QString downloadBaseDir();
    // Points the page's database at path and lists its tables: true when
    // it reads (it opens and has tables), else it is closed.
    bool openFirmwareDb(const QString& path);
    // The database open is name (empty: none), and the firmware tab says so.
    void setDbInUse(const QString& name);

    // ---- downloads and install (firmware/tqcan_download.cpp, tqcan_dbinstall.cpp) ----
    void startDownloadCSVRequest();
    void startDownloadDB(const QString& url);
    void startHttpGet();
    // Makes reply the running request, its body written as it arrives.
    void watchDownloadReply(QNetworkReply* reply);
    // The largest body taken for the running chain's stage.
    qint64 downloadBound() const;
    // Writes what reply holds to the download's file. False when that ended
    // the request (a write failed) or the chain (the body passed the bound).
    bool takeDownloadedBytes(QNetworkReply* reply);
    bool openDownloadFile();
    // The file being written is given up; its name keeps what it had.
    void dropDownloadFile();
    void handleDeviceListArrived();
    // A request failed: buttons back, the watchdog reports on its next tick.
    void failDownloadRequest(const QString& error);
    // A write or sync of the download's file failed: the chain ends with
    // the box that names the file.
    void failDownloadWrite(const QString& error);
    // The files that arrived are unusable: the chain ends with its box now,
    // whose first line says what is in use (by default the database in
    // use, kept, or none) and, when given, the cause's text follows.
    void failDownloadChain(const QString& reason, const QString& cause = QString(),
                           const QString& inUse = QString());
    // The install failed and swap's undo ran (whole or not): the page opens
    // what the folder holds, and the box says which and why, and, where the
    // undo left its backup folder, what the next start does with it.
    void failInstall(const FileSwap& swap, bool leftBehind, const QString& reason);
    // A line for the box: what the next start does with the backup folder
    // an install left, failed or (installed) succeeded; empty where it only
    // removes the folder.
    QString nextStartText(bool installed) const;
    // The causes' texts: a folder in the way of the install's backup folder,
    // a failed write or sync of a file or folder, something else at a name
    // the install needs, and each failure of the install's moves.
    QString backupInTheWayText(const QString& folder) const;
    QString diskFailureText(const QString& path, const QString& error) const;
    QString inTheWayText(const QString& path) const;
    QString installFailureText(const FileSwap& swap) const;
    // The buttons a download disabled come back, unless an upgrade runs.
    void releaseDownloadControls(bool throttleToo);
    void installDownloadedDb();
    bool dirExists(const QString& path);
    bool makeDirIfMissing(const QString& path);
    bool deleteFilesByPattern(const QString& dir, const QString& pattern);

    // ---- register list, table, read and write, parameter files ----
    // (firmware/tqcan_reglist.cpp, tqcan_regtable.cpp, tqcan_regread.cpp,
    // tqcan_regwrite.cpp, tqcan_parafile.cpp; the text grammars are in
    // firmware/regtext)
    void removeRegRecord(qint16 devRow);
    void setRegParaList(const QList<RegRecord>& records);
    void endRegisterSequences(); // no read, write or description read runs
    void endRegisterReads();     // no read or description read runs; a write goes on
    void dropRegisterList(); // the list, its table, and any sequence running on it
    // A read ends before its list is whole (an error reply, an answer that
    // did not come, no transfer-ID for the next request): the list goes,
    // and Write, Restore and Save say so. why: its box (empty: shown already).
    void failRead(const QString& why);
    void regReadTimedOut();
    int showSetRegInfoFromFirewareV2(QString caption);
    void showSetRegInfoFromFirewareV3(const QString& content, const QString& path);
    bool readOnceSettingRegValue();
    // Asks the chosen node for the description from `offset` on, under the
    // transfer-ID `transferId` (taken for it): only its answer is taken.
    void requestDescriptionChunk(int offset, int transferId);
    // The transfer-IDs for `count` numbered requests in a row to a node's
    // port (description chunks, register reads and writes): up to `count`
    // IDs whose answers cannot still come, which the requests take in turn
    // (requestTransferId). Empty, after a box, when too few are free: the
    // requests are not sent (empty without a box for none).
    QVector<int> takeTransferIds(int nodeId, int port, int count);
    // The ID that request `index` of a sequence goes out under, one of `ids`
    // in turn: out of use from now until its answer is taken.
    int requestTransferId(int nodeId, int port, const QVector<int>& ids, int index);
    // The answer of a node to one of the requests `awaited` lists, by the
    // request's transfer-ID and register: true when it was awaited (it no
    // longer is); its ID is free once no request there awaits it.
    struct AwaitedAnswer;
    bool takeAwaitedAnswer(QList<AwaitedAnswer>* awaited, int nodeId, int port, int transferId, int reg);
    // The requests of a sequence that ends before they are answered: their
    // answers may still come, and free their IDs then (takeEndedAnswer).
    void endRequests(QList<AwaitedAnswer>* awaited, int port);
    // An answer to a request of a read or write that has ended (on an error,
    // its bound, another node chosen): it frees its transfer-ID and changes
    // nothing else. True when it was one. reg: -1 for a description chunk.
    bool takeEndedAnswer(int nodeId, int port, int transferId, int reg);
    void releaseTransferId(int nodeId, int port, int transferId);
    QStringList getRegOptionList(RegRecord record, QString& currentText, int* currentIndex = nullptr);
    static QString getNumberAfterPrefix(const QString& text, const QString& key);
    // record: the row's register, by its place in mRegParaList (-1: a caption).
    void addRegTableRow(const QString& address, const QString& text, const QStringList& options,
                        int currentIndex, int record);
    // What the register table's rows show, each with its own register; none
    // when the table was not built from the list held now.
    QList<regtext::Choice> getCurSetPageValues() const;
    // The register of the row whose Options combo this is; -1: none.
    int regRecordOfCombo(QWidget* combo) const;
    bool writeSettingRegValue(const QList<regtext::Choice>& choices, bool bRawValue);
    // A write ends: with its error box (refused or a reply's error), or
    // with the time-out box when its replies stopped coming.
    void endWriteWithError(const QString& reg, int op);
    void endWrite();
    void regWriteTimedOut();
    // While a write's replies are awaited, nothing else may change what the
    // node or the page holds: true (after a box) when that is now.
    bool refuseWhileWriting();
    // A write or restore would be made from a list still being read: true
    // (after a box) while a read runs.
    bool refuseWhileReading();
    // Write, Restore and Save need a whole list: true (after the box that
    // says why) while a read runs, or when there is none.
    bool refuseWithoutParameters();
    // A list read (or loaded) before the chosen node's last restart is
    // another device's as far as the page knows, and until the node says
    // what it is after a restart no list is taken for it: true (after a box)
    // then (restartOutdatesList).
    bool refuseAfterRestart(bool loading = false);
    // A write running on a node that restarts went to the device before:
    // it ends with a box, and no store command or success follows.
    void endWriteAfterRestart(int nodeId);
    bool updataAllSettingRegValue(const QList<regtext::Choice>& choices);
    bool writeTextFile(const QString& content, const QString& path);
    // Reads a parameter file as the load does (text mode, UTF-8).
    static bool readTextFile(const QString& path, QString* content);
    bool isParameterReply(int nodeId) const;

    // ---- throttle test and telemetry (telemetry/) ----
    void initEscWidgetLists();
    void initWaveGroupBox();
    void initThrottleBars();
    void setEscRowEnabled(int row, bool enable);
    void handleEscTelemetryMsg(quint16 port, int nodeId, const uint8_t* payload, quint32 size);
    void cacheEscRows();
    void connectEscWidgets();
    void setEscTelemetryField(int row, int field, float value);
    bool isEscChecked(int row) const;
    int firstCheckedEscRow() const;
    void feedChartAndLamps(const EscTelemetry& t, int row);
    int throttleSetPoint(int row) const; // row 0 to 31
    bool isThrottleStopKey(QObject* receiver, int key) const;
    bool isThrottleStopEvent(QObject* receiver, QEvent* event) const;
    static int gasIndexToSubjectId(int escIndex);
    void applyThrottleRange(int min, int max);
    void zeroAllSetPoints();
    void zeroSetPoint(int row); // row 1 to 32; lets go of its arrow and bar
    QMap<int, float> readWaveRateIniFile();
    void writeWaveRateIniFile(int channel, float rate);
    static int findScaleComboIndex(float scale, QComboBox* combo);
    static float scaleOfComboIndex(int index);
    static double triangleWaveValue(double t, double period, double amplitude);
    static QString waveIniPath();

    Ui::TQCAN* ui = nullptr;

    // Configurator page.
    QMap<int, QMap<QString, QString>> mDevInfoMap; // node -> devType, hardVer, firmVer, alive
    QTimer m_baudTimer;
    QTimer m_checkDevTimer;
    bool m_portOpen = false;
    bool m_ending = false;
    bool m_bDebug = false;
    QcwIndicatorLamp* m_linkLamp = nullptr;
    int m_linkCount = 0;
    QTranslator* m_translator = nullptr;
    QString m_openPortName;
    int m_baudStep = -1;           // -1: no bit-rate change running
    int m_baudTarget = 0;          // index into the rate table
    QList<int> m_baudCandidates;   // the rates the nodes may still be on
    bool m_baudSeqActive = false;
    bool m_baudAwaitingReturn = false; // the steps are done; the nodes are awaited at the new rate
    QList<int> m_baudAwaited;      // nodes listed before the change, not yet heard at the new rate
    QMap<int, int> m_baudRefusals; // node -> op state of its refused rate write
    // What the page knows of each node's restarts and of its questions who
    // it is (one bit per transfer-ID).
    struct NodeWatch {
        QElapsedTimer heard;     // since its last heartbeat; invalid: not heard since listed
        qint64 uptime = -1;      // the last one heard; -1: none
        quint32 pending = 0;     // asked since its last restart seen, not answered
        quint32 voided = 0;      // asked before it, not answered: answers of the device before
        int nextTid = 0;
        bool rowKnown = true;    // its row holds an answer given since its last restart seen
        quint32 restartedAt = 0; // m_restartCount at its last restart seen
    };
    QMap<int, NodeWatch> m_nodeWatch;
    quint32 m_restartCount = 0;        // restarts seen, of every node
    quint32 m_regListRestartCount = 0; // m_restartCount when the register list was read or loaded
    QString m_regListType;             // the chosen node's type then: a saved file's name takes it
    int m_regListHeaderLength = -1; // header length the column widths were made for

    // Firmware and parameters.
    QList<RegRecord> mRegParaList;
    int mReadRegCount = 0;
    int m_setDevId = 0;
    int m_setDevRow = -1;
    QString mRegInfoText;
    QByteArray m_regInfoBytes;     // the description's bytes read so far
    bool mRecoveryFlag = false;
    // Language of the running description read (1001 English, 1000
    // Chinese), fixed when the read starts.
    int m_regInfoFileType = 1001;
    // A description read, a value read or a write sequence is waiting for
    // replies; a reply outside one is stray and changes nothing.
    bool m_regInfoReading = false;
    bool m_regReadRunning = false;
    bool m_regWriteRunning = false;
    // The requests of the running read and write whose answers are still
    // awaited, one per request sent; the write's is its own count, whatever
    // list the table shows meanwhile (a file loaded while the write is
    // answered). An answer counts only for the request it names by its
    // transfer-ID, and only when it names the register that request asked.
    struct AwaitedAnswer {
        int transferId;
        int reg;
    };
    QList<AwaitedAnswer> m_regReadsAwaited;
    QList<AwaitedAnswer> m_regWritesAwaited;
    // Changes whenever mRegParaList is replaced, so that a loop that shows a
    // box can tell that the list it walks is gone; the register table keeps
    // the generation it was built from, its rows the places of their records.
    quint32 m_regListGeneration = 0;
    quint32 m_regTableGeneration = 0;
    // Each write reply that comes restarts it; run out, it ends the write.
    QTimer m_regWriteTimer;
    // The same for a read: each answer awaited restarts it.
    QTimer m_regReadTimer;
    // The node whose last read ended before its list was whole (0: none);
    // any list taken since clears it.
    int m_readUnfinishedNode = 0;
    // Transfer-IDs of the page's numbered requests, apart for each node and
    // port (the link tells answers apart by both): where the next search for
    // free ones starts, the one that went out last, and for each ID until
    // when its answer may still come (expired: free).
    struct TransferIds {
        int next = 0;
        int last = -1;
        std::array<QDeadlineTimer, 32> out;
        // Requests of ended sequences still unanswered; an ID handed out
        // again forgets them.
        QList<AwaitedAnswer> ended;
    };
    QMap<QPair<int, int>, TransferIds> m_transferIds; // (node, port)
    // The one the running description read waits for (-1: none).
    int m_regInfoAwaitedTid = -1;
    int m_upgradeState = 0;
    int m_upgrade_devId = 0;
    int m_upgrade_timeout = 0;
    int m_upgradeInfoTid = -1;     // the transfer-ID of the upgrade's question who the node is
    QString m_upgradeUniqueId;     // the unique ID the start's answer gave
    int m_upgradeTotalLen = 0;
    int m_upgradeSentLen = 0;
    QString m_upgradeVersion;
    QString m_upgradeTable;
    QString m_selTable;
    QStringList mDbVersionL;
    QStringList mDbNoteL;
    QStringList mDbTableNameL;
    QString m_db_name;
    record_db m_recordDb;
    QNetworkAccessManager* m_netAccessManager = nullptr;
    QPointer<QNetworkReply> m_downloadReply; // the running chain's request; others are stale
    QString m_downloadUrl;
    QString m_downloadFilePath;
    QString m_csvFilePath;
    int m_downloadState = 0;
    int m_upDB_timeout = 0;
    int m_downloadRedirects = 0;   // redirects followed by the running request
    QString m_pendingDbName;       // database named by the downloaded list, until installed
    std::unique_ptr<QSaveFile> m_downloadFile; // the running request's body, until it ends whole
    qint64 m_downloadBytes = 0;    // body bytes the running request brought
    RateFloor m_downloadRate;      // the running chain's bytes of its last seconds

    // Throttle test and telemetry.
    static constexpr int kEscRows = 32;
    static constexpr int kEscFields = 8;    // speed ... motor temperature, status
    static constexpr int kEscChannels = 7;  // the fields with a chart channel
    // The widgets of one ESC row, found once when the page is built.
    struct EscRow {
        QLineEdit* id = nullptr;
        QSpinBox* setPoint = nullptr;
        QFrame* barFrame = nullptr;
        CProgressBarV2* bar = nullptr;
        std::array<QLineEdit*, kEscFields> fields {};
        QSpinBox* poles = nullptr;
        QCheckBox* check = nullptr;
        QList<QWidget*> all;  // the row's widgets in form order
    };
    QList<QWidget*> m_escWidgetList;
    std::array<RefreshData, kEscRows * kEscChannels> m_refreshData;
    std::array<EscRow, kEscRows> m_escRows;       // row N at index N - 1
    QMap<QObject*, int> m_escRowOfWidget;          // set-point box or check box -> row
    std::array<QComboBox*, kEscChannels> m_scaleCombos {};
    float m_lastSamples[7] = {-1.0f, -1.0f, -1.0f, -1.0f, -1.0f, -1.0f, -1.0f};
    bool m_wavePaused = false;
    int m_throttleMax = 2048;
    int m_throttleFreqIndex = 5;
    ThrotCfgDialog* m_throtCfgDialog = nullptr;
    MainWindow* m_chart = nullptr;
    QMap<QString, CWaveForm*> m_waveTiles;
    statusLampForm* m_statusLampForm = nullptr;
    ThrottleSender m_throttle {[this](int row) { return throttleSetPoint(row); }};
};

#endif // TQCAN_H
