// Construction and wiring of the configurator page.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QGridLayout>
#include <QHeaderView>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>

#include "app/tqformalpagecontrol.h"
#include "configurator/tqcan_private.h"
#include "firmware/paracombobox.h"
#include "telemetry/qcwindicatorlamp.h"
#include "telemetry/statuslampform.h"

namespace {

// A widget alone in a grid layout of its host, filling it.
void fillHost(QWidget* host, QWidget* child)
{
    auto* grid = new QGridLayout(host);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(child, 0, 0);
}

} // namespace

TQCAN::TQCAN(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::TQCAN)
{
    // The port pictures live in a resource of a static library; naming it
    // here links it into every program that has the page.
    Q_INIT_RESOURCE(resources);
    ui->setupUi(this);

    // The debug tab's tools are for the developers' bench; its widgets stay
    // alive, hidden, but are never shown.
    const int debugTab = ui->tabWidget->indexOf(ui->tableDebug);
    ui->tabWidget->setTabEnabled(debugTab, false);
    ui->tabWidget->removeTab(debugTab);

    ui->lEditHttps->setText(deviceListUrl());
    ui->radioBPart1->setChecked(true);
    m_upDB_timeout = 0;
    m_bDebug = false;

    initConnect();
    initThrottleBars();
    setEscRowEnabled(0, false);
    qApp->installEventFilter(this); // the throttle tab's stop key
    ui->btnSuspend->setText(tr("显示"));
    initLinkLamp();
    setOpenBtnName(false);
    initLanguage();

    // Downloads are staged and installed below the working directory.
    const QString base = downloadBaseDir();
    clearDownloadTempDir(base + QStringLiteral("/download/temp"));
    QFile::remove(base + QStringLiteral("/download") + QStringLiteral("/server_cfg.xml"));
}

TQCAN::~TQCAN()
{
    qApp->removeEventFilter(this);
    delete ui;
}

void TQCAN::initConnect()
{
    initDevTable();
    initRegTable();

    connect(ui->tableWidget_set_devList, &QTableWidget::cellClicked,
            this, &TQCAN::doProcessClickSetProTable);
    connect(ui->comboBox_dev_ver, QOverload<int>::of(&QComboBox::currentIndexChanged),
            this, &TQCAN::doprocessSelVersionChange);
    // The boxes that choose what an act that cannot be undone gives the
    // nodes (a firmware version, a node ID, a bit rate), the rate the port
    // opens at and the page's language ignore the wheel, as the register
    // options do: a scroll past them changes no choice.
    for (QWidget* box : {ui->comboBox_dev_ver, ui->comboBox_id_set, ui->comboBox_baud_set, ui->comboBox_baud,
                         ui->comboBox_lang})
        WheelBlocker::install(box);

    m_netAccessManager = new QNetworkAccessManager(this);
    connect(m_netAccessManager, &QNetworkAccessManager::finished,
            this, &TQCAN::onDownloadFinished);

    // No database is open until the device-file list names one.
    m_recordDb.setDbName(QString());
    m_recordDb.init();

    m_downloadState = 0;
    m_upgradeState = 0;
    m_upgrade_devId = 0;
    m_db_name.clear();
    m_upgradeVersion.clear();
    m_upgradeTable.clear();

    m_checkDevTimer.setInterval(kDeviceTickMs);
    connect(&m_checkDevTimer, &QTimer::timeout, this, &TQCAN::doProcessCheckDevTimerOut);

    initEscWidgetLists();
    initWaveGroupBox();

    m_statusLampForm = new statusLampForm(ui->statusframe);
    fillHost(ui->statusframe, m_statusLampForm);

    connectButtons();

    connect(ui->tableWidget_dev, &QTableWidget::cellClicked, this, &TQCAN::doProcessClickProTable);
    connect(ui->tableWidget_dev, &QTableWidget::itemChanged, this, &TQCAN::doProcessDevItemChanged);
    connect(ui->comboBox_lang, QOverload<int>::of(&QComboBox::currentIndexChanged),
            this, &TQCAN::doprocessLanguageChange);
    connect(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalNotifyTQResultF,
            this, &TQCAN::doProcessRecvPagePack);
}

void TQCAN::initDevTable()
{
    QTableWidget* table = ui->tableWidget_dev;
    table->setColumnCount(kDevTableColumns);
    table->setRowCount(kDevTableMinRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->setVisible(false);
    QHeaderView* header = table->horizontalHeader();
    // Columns as wide as their texts in either language; the progress
    // column takes the rest.
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setStretchLastSection(true);
    setTableHeaders();
}

void TQCAN::connectButtons()
{
    // The buttons connected by name (throttle tab, debug tab) stay out.
    QPushButton* const buttons[] = {
        ui->btnOpen, ui->btn_refresh_port, ui->btn_set_id, ui->btn_set_baud,
        ui->btn_read_para, ui->btn_para_download, ui->btn_recovery,
        ui->btn_local_save, ui->btn_local_load, ui->btnDownloadDBCSV, ui->btnUpgradedev,
    };
    for (QPushButton* button : buttons)
        connect(button, &QPushButton::clicked, this, &TQCAN::doProcessClickedAllBtn,
                Qt::UniqueConnection);
}

void TQCAN::initLinkLamp()
{
    m_linkLamp = new QcwIndicatorLamp(ui->frame_link_led);
    fillHost(ui->frame_link_led, m_linkLamp);
    m_linkLamp->setAlarm(false);
    m_linkLamp->setRedMode(false);
}

void TQCAN::initLanguage()
{
    const QSettings ini(languageIniPath(), QSettings::IniFormat);
    int index = ini.value(QStringLiteral("config/language"), 0).toInt();
    if (index < 0 || index >= ui->comboBox_lang->count())
        index = 0;
    {
        const QSignalBlocker blocker(ui->comboBox_lang);
        ui->comboBox_lang->setCurrentIndex(index);
    }
    // Only a change by the user is written back.
    applyLanguage(index);
}
