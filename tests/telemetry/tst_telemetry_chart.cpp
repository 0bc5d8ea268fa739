// The throttle tab's chart, waveform tiles and status lamps, on the
// configurator page on its own, fed with telemetry as the link delivers it;
// and the waveform settings file.

#include <QtTest>

#include <QSettings>
#include <QValueAxis>

#include "modalboxcloser.h"
#include "telemetry/collectiondata.h"
#include "telemetry/cwaveform.h"
#include "telemetrypagefixture.h"

using namespace pagetest;
using namespace telemetrytest;

namespace {

const char* const kScaleCombos[] = {"speed_rate_comb", "amp_rate_comb", "gas_rate_comb", "vol_rate_comb",
                                    "tmos_rate_comb", "tcap_rate_comb", "tmot_rate_comb"};
const char* const kTileFrames[] = {"speed_wave_frame", "a_wave_frame", "gas_wave_frame", "vol_wave_frame",
                                   "tmos_wave_frame", "tcap_wave_frame", "tmot_wave_frame"};

} // namespace

class tst_TelemetryChart : public QObject, public PageFixture
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_env.ready(), "the translations must be built next to the test"); }
    // The settings-file cases start their page once the file is written.
    void init() { setUpPage(!QByteArray(QTest::currentTestFunction()).startsWith("waveIni")); }
    void cleanup() { tearDownPage(); }

    void oneTickedRowFeedsTheChart();
    void tileSwitchesItsChannelAndScalesPersistUntilDefaults();
    void lampsShowTheTickedEscUntilPaused();
    void waveIniCases_data();
    void waveIniCases();

private:
    void clickTile(int channel, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(child(page(), kTileFrames[channel]), button, Qt::NoModifier, QPoint(5, 5));
    }
    QString iniPath() const { return m_settings->filePath("SetIns/wave.ini"); }
    QStringList storedRates() const
    {
        QSettings ini(iniPath(), QSettings::IniFormat);
        QStringList out;
        for (int c = 0; c < 7; ++c)
            out << ini.value(QString("rate/%1").arg(c)).toString();
        return out;
    }
    QStringList comboTexts() const
    {
        QStringList out;
        for (const char* name : kScaleCombos)
            out << child<QComboBox>(page(), name)->currentText();
        return out;
    }
    CWaveForm* tile(int channel) const
    {
        return child<QFrame>(page(), kTileFrames[channel])->findChild<CWaveForm*>();
    }
};

void tst_TelemetryChart::oneTickedRowFeedsTheChart()
{
    openPort();
    bringUp({18, 19, 22});
    feed(t6160(19, 1000, 50, 0)); // nothing ticked: nothing drawn
    QCOMPARE(line(0).size(), 0);
    rowCheck(page(), 7)->setChecked(true);
    feed(t6161(22, 500, 252, 100, 100, 100)); // row 7: throttle 500 recorded

    // Ticking row 4 unticks row 7 and resets the last samples: the channels
    // of the message not yet come carry -1.
    rowCheck(page(), 4)->setChecked(true); // node 19
    for (int row = 1; row <= kRows; ++row)
        QCOMPARE(rowCheck(page(), row)->isChecked(), row == 4);
    feed(t6160(19, 1000, 50, 0));
    feed(t6161(19, 700, 250, 110, 100, 90));
    feed(t6160(18, 9990, 9990, 0)); // another ESC: no sample
    feed(t6160(19, 2000, 60, 0));
    QList<QVector<qreal>> lines;
    for (int ch = 0; ch < 7; ++ch)
        lines << line(ch).mid(line(ch).size() - 3);
    QCOMPARE(lines, (QList<QVector<qreal>>{{100, 100, 200}, {5, 5, 6}, {-1, 700, 700}, {-1, 25, 25},
                                           {-1, 70, 70}, {-1, 60, 60}, {-1, 50, 50}}));
}

void tst_TelemetryChart::tileSwitchesItsChannelAndScalesPersistUntilDefaults()
{
    tickFirstRow();
    auto* combo = child<QComboBox>(page(), kScaleCombos[0]);
    QVERIFY(!combo->isEnabled());
    feed(t6160(16, 100, 0, 0));

    clickTile(0, Qt::RightButton);
    QVERIFY(tile(0)->isOn());
    clickTile(0);
    QVERIFY(!tile(0)->isOn());
    QVERIFY(combo->isEnabled());
    feed(t6160(16, 200, 0, 0));
    QCOMPARE(line(0).size(), 0); // an empty line ...
    QCOMPARE(chartOf()->producer(0)->history().size(), 2); // ... while it keeps recording

    // x10 chosen while off; on again shows what was recorded, new samples x10.
    combo->setCurrentIndex(3);
    clickTile(0);
    QVERIFY(!combo->isEnabled());
    QCOMPARE(storedRates()[0], QString("10.00"));
    feed(t6160(16, 300, 0, 0));
    QCOMPARE(line(0), QVector<qreal>({10, 20, 300}));

    // After a restart the stored scale is shown and applied.
    restart();
    QCOMPARE(child<QComboBox>(page(), kScaleCombos[0])->currentText(), QString("x10"));
    tickFirstRow();
    feed(t6160(16, 400, 0, 0));
    QCOMPARE(line(0), QVector<qreal>({400}));

    // Defaults resets every scale for new samples and keeps the tiles' on/off.
    clickTile(5);
    ModalBoxCloser boxes;
    click(page(), "btnDefaultPara");
    QTRY_COMPARE(boxes.texts(), QStringList({"Reset All The Parameter !"}));
    QCOMPARE(comboTexts(), repeat(7, "x1"));
    QCOMPARE(storedRates(), repeat(7, "1.00"));
    QVERIFY(!tile(5)->isOn());
    feed(t6160(16, 500, 0, 0));
    QCOMPARE(line(0), QVector<qreal>({400, 50}));
}

void tst_TelemetryChart::lampsShowTheTickedEscUntilPaused()
{
    openPort();
    bringUp({16, 17});
    feed(t6160(16, 0, 0, 0x8001)); // no row ticked: invalid, nothing lit
    QCOMPARE(litWord(), quint16(0));
    rowCheck(page(), 1)->setChecked(true);
    feed(t6160(16, 10, 0, 0x8001));
    QCOMPARE(litWord(), quint16(0x8001));
    feed(t6160(17, 0, 0, 0x0400)); // another row's status
    QCOMPARE(litWord(), quint16(0x8001));

    // Pause: the chart and the lamps stop, the row goes on.
    const QString running = caption(page(), "btnSuspend");
    click(page(), "btnSuspend");
    feed(t6160(16, 200, 0, 0x0001));
    QCOMPARE(rowValues(page(), 1)[0], QString("20"));
    QCOMPARE(litWord(), quint16(0x8001));
    QCOMPARE(line(0), QVector<qreal>({1}));
    // The caption keeps naming the state across a language switch.
    auto* lang = child<QComboBox>(page(), "comboBox_lang");
    lang->setCurrentIndex(1);
    QCOMPARE(caption(page(), "btnSuspend"), QString::fromUtf8("暂停"));
    QTRY_COMPARE(chartOf()->axisY()->titleText(), QString::fromUtf8("数值范围")); // the chart follows
    lang->setCurrentIndex(0);
    click(page(), "btnSuspend");
    QCOMPARE(caption(page(), "btnSuspend"), running);
    feed(t6160(16, 300, 0, 0x0021));
    QCOMPARE(line(0), QVector<qreal>({1, 30}));
    QCOMPARE(litWord(), quint16(0x0021));

    // With no row ticked the next status word puts every lamp out.
    rowCheck(page(), 1)->setChecked(false);
    QCOMPARE(litWord(), quint16(0x0021));
    feed(t6160(17, 0, 0, 0x0400));
    QCOMPARE(litWord(), quint16(0));
    rowCheck(page(), 1)->setChecked(true);
    feed(t6160(16, 300, 0, 0x0021));

    // Closing the port clears them and leaves the throttle running.
    throttleCombo()->setCurrentIndex(2);
    click(page(), "btnOpen");
    QCOMPARE(litWord(), quint16(0));
    QVERIFY(m_page->throttleTimer().isActive());
    throttleCombo()->setCurrentIndex(0);
}

void tst_TelemetryChart::waveIniCases_data()
{
    // rate/0 to rate/6 as stored (an empty item: the key is missing), the
    // combos' texts, and what the page writes back.
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("combos");
    QTest::addColumn<QString>("written");

    QTest::newRow("no file") << QString() << "x1 x1 x1 x1 x1 x1 x1" << "1.00 1.00 1.00 1.00 1.00 1.00 1.00";
    QTest::newRow("unmatched") << "0.50 100.00 10 1.00 1.00 1.00 0.01" << "x0.01 x100 x10 x1 x1 x1 x0.01"
                               << "0.01 100.00 10.00 1.00 1.00 1.00 0.01";
    QTest::newRow("gap at 2") << "10.00 0.10  100.00 100.00 100.00 100.00" << "x10 x0.1 x1 x1 x1 x1 x1"
                              << "10.00 0.10 1.00 1.00 1.00 1.00 1.00";
}

void tst_TelemetryChart::waveIniCases()
{
    QFETCH(QString, stored);
    QFETCH(QString, combos);
    QFETCH(QString, written);
    if (!stored.isNull()) {
        QVERIFY(QDir().mkpath(m_settings->filePath("SetIns")));
        QSettings ini(iniPath(), QSettings::IniFormat);
        const QStringList items = stored.split(' ');
        for (int c = 0; c < items.size(); ++c) {
            if (!items[c].isEmpty())
                ini.setValue(QString("rate/%1").arg(c), items[c]);
        }
    }
    restart();
    QCOMPARE(comboTexts().join(' '), combos);
    QCOMPARE(storedRates().join(' '), written);
}

QTEST_MAIN(tst_TelemetryChart)
#include "tst_telemetry_chart.moc"
