// The waveform area of the throttle tab: the live chart, the seven channel
// tiles with their scale combos, pause and defaults, the waveform settings
// file, and what each telemetry message of the ticked ESC feeds to the
// chart and the status lamps.
//
// wave.ini keeps one scale per channel under "rate/0" ... "rate/6" as text
// with two decimals. A scale can be chosen only while its channel is off;
// it is stored and applied when the channel is switched on again.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QSettings>

#include <cmath>

#include "telemetry/esctelemetry.h"
#include "telemetry/cwaveform.h"
#include "telemetry/mainwindow.h"
#include "telemetry/statuslampform.h"

namespace {

QString g_settingsFolder; // empty: "SetIns" beside the executable

struct WaveChannel {
    const char* name;   // the tile's key in m_waveTiles
    Qt::GlobalColor colour;
};

constexpr WaveChannel kWaveChannels[] = {
    {"speed", Qt::blue},     {"amp", Qt::red},         {"throt", Qt::green},
    {"vol", Qt::darkBlue},   {"tmos", Qt::darkRed},    {"tcap", Qt::darkGreen},
    {"tmot", Qt::darkYellow},
};

constexpr float kComboScales[] = {0.01f, 0.1f, 1.0f, 10.0f, 100.0f};
constexpr int kUnitScaleIndex = 2; // "x1"

} // namespace

void TQCAN::setSettingsFolder(const QString& folder)
{
    g_settingsFolder = folder;
}

QString TQCAN::settingsFolder()
{
    return g_settingsFolder.isEmpty()
        ? QCoreApplication::applicationDirPath() + QStringLiteral("/SetIns")
        : g_settingsFolder;
}

QString TQCAN::waveIniPath()
{
    return settingsFolder() + QStringLiteral("/wave.ini");
}

QMap<int, float> TQCAN::readWaveRateIniFile()
{
    QMap<int, float> rates;
    const QSettings ini(waveIniPath(), QSettings::IniFormat);
    for (int i = 0;; ++i) {
        const QVariant value = ini.value(QStringLiteral("rate/%1").arg(i));
        if (!value.isValid())
            break;
        rates.insert(i, value.toFloat());
    }
    qDebug() << "---log----readWaveRateIniFile-" << rates;
    return rates;
}

void TQCAN::writeWaveRateIniFile(int channel, float rate)
{
    const QString path = waveIniPath();
    // The folder may not exist yet on a fresh installation.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSettings ini(path, QSettings::IniFormat);
    ini.setValue(QStringLiteral("rate/%1").arg(channel), QString::number(double(rate), 'f', 2));
}

int TQCAN::findScaleComboIndex(float scale, QComboBox* combo)
{
    if (!combo)
        return -1;
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i).mid(1).toFloat() == scale)
            return i;
    }
    return -1;
}

float TQCAN::scaleOfComboIndex(int index)
{
    return index >= 0 && index < int(std::size(kComboScales)) ? kComboScales[index] : 1.0f;
}

double TQCAN::triangleWaveValue(double t, double period, double amplitude)
{
    const double w = 2 * M_PI / period;
    const double r = std::fmod(t, w);
    return r < w / 2 ? 2 * amplitude * r / w : 2 * amplitude * (w - r) / w;
}

void TQCAN::initWaveGroupBox()
{
    m_chart = new MainWindow(ui->waveformwidget);
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_chart, 0, 0);
    grid->setRowStretch(0, 1);
    grid->setColumnStretch(0, 1);
    ui->waveformwidget->setLayout(grid);

    m_scaleCombos = {ui->speed_rate_comb, ui->amp_rate_comb, ui->gas_rate_comb, ui->vol_rate_comb,
                     ui->tmos_rate_comb, ui->tcap_rate_comb, ui->tmot_rate_comb};
    QFrame* const frames[kEscChannels] = {ui->speed_wave_frame, ui->a_wave_frame, ui->gas_wave_frame,
                                          ui->vol_wave_frame, ui->tmos_wave_frame, ui->tcap_wave_frame,
                                          ui->tmot_wave_frame};

    const QMap<int, float> rates = readWaveRateIniFile();
    for (int c = 0; c < kEscChannels; ++c) {
        QComboBox* combo = m_scaleCombos[c];
        if (!rates.contains(c)) {
            combo->setCurrentIndex(kUnitScaleIndex);
            continue;
        }
        const int index = findScaleComboIndex(rates.value(c), combo);
        if (index != -1)
            combo->setCurrentIndex(index);
    }

    for (int c = 0; c < kEscChannels; ++c) {
        auto* tile = new CWaveForm(frames[c], kWaveChannels[c].colour);
        m_waveTiles.insert(QLatin1String(kWaveChannels[c].name), tile);
        tile->show();
        tile->resize(frames[c]->size());
        frames[c]->installEventFilter(tile);
        connect(tile, &CWaveForm::waveStateChange, this, &TQCAN::doProcessWaveEnableChange);
        tile->setState(true);
        emit tile->waveStateChange(true);
    }

    const QString style = QStringLiteral("QGroupBox { background-color: #dfdfdf; }");
    ui->groupBox_ID->setStyleSheet(style);
    ui->groupBox_Ratio->setStyleSheet(style);
}

void TQCAN::doProcessWaveEnableChange(bool state)
{
    QObject* from = sender();
    if (!from)
        return;
    const QString name = m_waveTiles.key(qobject_cast<CWaveForm*>(from));
    if (!name.isEmpty())
        qDebug() << "waveType: " << name;
    qDebug() << "--doProcessWaveEnableChange--waveType: " << name;
    int channel = -1;
    for (int c = 0; c < kEscChannels; ++c) {
        if (name == QLatin1String(kWaveChannels[c].name))
            channel = c;
    }
    if (channel < 0)
        return;
    QComboBox* combo = m_scaleCombos[channel];
    if (!combo || !m_chart)
        return;
    const float scale = scaleOfComboIndex(combo->currentIndex());
    m_chart->setChannelEnabled(channel, state, scale);
    combo->setEnabled(!state);
    writeWaveRateIniFile(channel, scale);
}

void TQCAN::on_btnDefaultPara_clicked()
{
    QMessageBox::information(this, tr("Info"), tr("Reset All The Parameter !"), QMessageBox::Ok);
    for (int c = 0; c < kEscChannels; ++c) {
        m_scaleCombos[c]->setCurrentIndex(kUnitScaleIndex);
        writeWaveRateIniFile(c, 1.0f);
    }
    if (m_chart)
        m_chart->setAllScale(1.0f);
}

void TQCAN::on_btnSuspend_clicked()
{
    // The caption names the state: "显示" while the chart runs.
    m_wavePaused = !m_wavePaused;
    ui->btnSuspend->setText(m_wavePaused ? tr("暂停") : tr("显示"));
}

void TQCAN::feedChartAndLamps(const EscTelemetry& t, int row)
{
    // A sample carries all seven channels: the fresh ones of this message,
    // and the last ones of the other message (-1 until it came).
    const bool live = isEscChecked(row) && !m_wavePaused;
    if (live) {
        for (int c = t.first; c < t.first + t.count; ++c)
            m_lastSamples[c] = t.values[c];
    }
    if (t.hasStatus && m_statusLampForm && !m_wavePaused) {
        const int ticked = firstCheckedEscRow();
        if (ticked == 0)
            m_statusLampForm->setStatusWord(t.status, false);
        else if (ticked == row)
            m_statusLampForm->setStatusWord(t.status, true);
    }
    if (m_chart)
        m_chart->addSamples(m_lastSamples[0], m_lastSamples[1], m_lastSamples[2], m_lastSamples[3],
                            m_lastSamples[4], m_lastSamples[5], m_lastSamples[6], live);
}
