// Language, table headers and column widths, keys and tab changes.
//
// The page's texts are translated by "./lang_en.qm" (from the form's
// Chinese texts) and "./lang_zh_CN.qm" (from the English texts of the code),
// looked for in the working directory first, then next to the executable
// (so that the page is translated wherever the program is started from).
// The choice is kept in the waveform settings file under "config/language":
// 0 English, 1 Chinese.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSettings>
#include <QSpinBox>
#include <QTranslator>

#include "configurator/tqcan_private.h"

namespace {

constexpr int kLangEnglish = 0;
constexpr int kLangChinese = 1;

// Loads `name` from the working directory or, failing that, from the
// executable's folder.
bool loadTranslation(QTranslator* translator, const QString& name)
{
    return translator->load(QStringLiteral("./") + name) ||
           translator->load(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name);
}

} // namespace

QString TQCAN::languageIniPath()
{
    return waveIniPath();
}

void TQCAN::doprocessLanguageChange(int selIndex)
{
    const int language = applyLanguage(selIndex);
    const QString iniPath = languageIniPath();
    QDir().mkpath(QFileInfo(iniPath).absolutePath());
    QSettings ini(iniPath, QSettings::IniFormat);
    ini.setValue(QStringLiteral("config/language"), language);
    qDebug() << "doprocessLanguageChange--language=" << language;
}

int TQCAN::applyLanguage(int selIndex)
{
    const int language = selIndex == kLangChinese ? kLangChinese : kLangEnglish;
    // The register list's caption may carry the device type after it.
    const QString oldRegListPrefix = tr("寄存器列表");

    if (m_translator) {
        qApp->removeTranslator(m_translator);
        delete m_translator;
        m_translator = nullptr;
    }
    const QString file = language == kLangChinese ? QStringLiteral("lang_zh_CN.qm")
                                                   : QStringLiteral("lang_en.qm");
    auto* translator = new QTranslator(this);
    if (loadTranslation(translator, file)) {
        qApp->installTranslator(translator);
        m_translator = translator;
    } else {
        qWarning() << "applyLanguage--cannot load" << file << "in" << QDir::currentPath() << "nor in"
                   << QCoreApplication::applicationDirPath();
        delete translator;
    }

    ui->retranslateUi(this);
    setTableHeaders();
    // Texts the code sets, which the form's translation does not know.
    setOpenBtnCaption(m_portOpen);
    ui->btnSuspend->setText(m_wavePaused ? tr("暂停") : tr("显示"));
    const QString regListCaption = ui->label_set_regList->text();
    if (regListCaption.startsWith(oldRegListPrefix))
        ui->label_set_regList->setText(tr("寄存器列表") + regListCaption.mid(oldRegListPrefix.size()));
    return language;
}

void TQCAN::setTableHeaders()
{
    ui->tableWidget_dev->setHorizontalHeaderLabels(
        {tr("Select"), tr("Node"), tr("Type of device"), tr("Hardware version"),
         tr("Firmware version"), tr("Upgrade progress bar")});
    ui->tableWidget_set_regList->setHorizontalHeaderLabels(
        {tr("Register address"), tr("Register description"), tr("Option Names"), tr("Options"),
         tr("Lower limit"), tr("Upper limit"), tr("Current value"), tr("Operate"), tr("Remark")});
    ui->tableWidget_set_devList->setHorizontalHeaderLabels({tr("Select"), tr("ID")});
}

void TQCAN::setTableColumnWidths()
{
    QTableWidget* table = ui->tableWidget_set_regList;
    QHeaderView* header = table->horizontalHeader();
    header->setStretchLastSection(true);
    const int length = header->length();
    table->setColumnWidth(0, length * 2 / 16);
    table->setColumnWidth(2, length * 4 / 16);
    table->setColumnWidth(3, length * 8 / 16);
    m_regListHeaderLength = header->length();
}

void TQCAN::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    setTableColumnWidths();
}

void TQCAN::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (ui->tableWidget_set_regList->horizontalHeader()->length() != m_regListHeaderLength)
        setTableColumnWidths();
}

void TQCAN::keyPressEvent(QKeyEvent* event)
{
    if (ui->tabWidget->currentIndex() != kThrottleTab) {
        QWidget::keyPressEvent(event);
        return;
    }
    // On the throttle tab any key is the stop key: every set-point to 0.
    zeroAllSetPoints();
    event->accept();
}

void TQCAN::doProcessTabChanged(int index)
{
    qDebug() << "doProcessTabChanged index=" << index;
    if (index == kThrottleTab)
        setFocus(); // so that the stop key reaches the page
    else if (index == kParameterTab)
        setTableColumnWidths();
}
