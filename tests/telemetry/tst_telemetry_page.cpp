// The throttle tab of the configurator page on its own, fed with responses
// as the link delivers them. No worker runs: the throttle messages are
// watched where they leave the page, on its controller's signal.

#include <QtTest>

#include <QLineSeries>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QValueAxis>

#include <memory>

#include "app/tqformalpagecontrol.h"
#include "configurator/tqcan.h"
#include "modalboxcloser.h"
#include "telemetry/collectiondata.h"
#include "telemetry/customchartview.h"
#include "telemetry/cwaveform.h"
#include "telemetry/qcwindicatorlamp.h"
#include "telemetry/statuslampform.h"
#include "telemetry/throtcfgdialog.h"
#include "telemetrytesthelpers.h"

using namespace pagetest;
using namespace telemetrytest;

namespace {

constexpr int kRows = 32;
const char* const kScaleCombos[] = {"speed_rate_comb", "amp_rate_comb", "gas_rate_comb", "vol_rate_comb",
                                    "tmos_rate_comb", "tcap_rate_comb", "tmot_rate_comb"};
const char* const kTileFrames[] = {"speed_wave_frame", "a_wave_frame", "gas_wave_frame", "vol_wave_frame",
                                   "tmos_wave_frame", "tcap_wave_frame", "tmot_wave_frame"};

// One throttle message as the page hands it to its controller.
struct GasMsg {
    int subject;
    QList<int> values;
    bool operator==(const GasMsg& o) const { return subject == o.subject && values == o.values; }
};

QList<GasMsg> messages(const QSignalSpy& spy)
{
    QList<GasMsg> out;
    for (const QVariantList& args : spy)
        out << GasMsg {args[0].toInt(), {args[1].toInt(), args[2].toInt(), args[3].toInt(), args[4].toInt()}};
    return out;
}

QStringList repeat(int n, const char* text)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << QString::fromUtf8(text);
    return out;
}
QStringList zeros(int n) { return repeat(n, "0"); }

QVector<qreal> ys(const QtCharts::QLineSeries* s)
{
    QVector<qreal> out;
    for (const QPointF& p : s->pointsVector())
        out << p.y();
    return out;
}

} // namespace

class tst_TelemetryPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_env.ready(), "the translations must be built next to the test"); }
    void init();
    void cleanup();

    void rowsStartDisabledWithTheirIds();
    void listedNodesEnableTheirRowsAndClosingClears();
    void telemetryIsScaledAndTruncated_data();
    void telemetryIsScaledAndTruncated();
    void foreignAndShortTelemetryChangeNothing();
    void atMostOneRowIsTicked();
    void throttleGroupsGoOutEveryTick();
    void upgradeStopsTheThrottle();
    void barAndSetPointFollowEachOther();
    void settingsDialogRerangesOrChangesNothing();
    void lampsShowTheTickedEsc();
    void anyKeyStopsButDigitsSetAPoint();
    void chartTakesTheTickedRow();
    void tileSwitchesItsChannelAndStoresItsScale();
    void pauseFreezesChartAndLampsOnly();
    void defaultsResetEveryScale();
    void waveIniCases_data();
    void waveIniCases();
    void scalesPersistAcrossARestart();
    void pauseCaptionSurvivesALanguageSwitch();

private:
    QWidget* page() const { return m_page.get(); }
    void feed(response_data_struct_t r) { m_page->doProcessRecvTQPack(r); }
    void restart();
    void openPort()
    {
        typePort(page(), "/dev/tq-test-port");
        click(page(), "btnOpen");
        QCOMPARE(caption(page(), "btnOpen"), QString("Close"));
    }
    // Lists a node and enables its row (the second heartbeat does).
    void bringUp(uint8_t node)
    {
        feed(heartbeat(node));
        feed(deviceInfo(node));
        feed(heartbeat(node));
        QVERIFY(setPoint(page(), node - 15)->isEnabled());
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
    statusLampForm* lamps() const { return page()->findChild<statusLampForm*>(); }
    quint16 litWord() const
    {
        quint16 word = 0;
        for (int i = 0; i < 16; ++i) {
            if (lamps()->lamp(i)->isAlarm())
                word |= quint16(1u << (15 - i));
        }
        return word;
    }

    PageEnv m_env;
    std::unique_ptr<QTemporaryDir> m_settings;
    std::unique_ptr<TQCAN> m_page;
};

void tst_TelemetryPage::init()
{
    m_settings.reset(new QTemporaryDir);
    QVERIFY(m_settings->isValid());
    // A folder that does not exist yet, as on a fresh installation.
    TQCAN::setSettingsFolder(m_settings->filePath("SetIns"));
    if (QTest::currentDataTag() == nullptr || !QByteArray(QTest::currentTestFunction()).startsWith("waveIni"))
        restart();
}

void tst_TelemetryPage::restart()
{
    m_page.reset();
    m_page.reset(new TQCAN);
    m_page->resize(1366, 900);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page()));
    child<QTabWidget>(page(), "tabWidget")->setCurrentIndex(2);
}

void tst_TelemetryPage::cleanup()
{
    m_page.reset();
    TQCAN::setSettingsFolder(QString());
}

void tst_TelemetryPage::rowsStartDisabledWithTheirIds()
{
    for (int row = 1; row <= kRows; ++row) {
        const auto* id = static_cast<QLineEdit*>(rowWidget(page(), "lEdit_id_y1_", row));
        QCOMPARE(id->text(), "0x" + QString::number(row + 15, 16));
        QVERIFY(!id->isEnabled());
        QVERIFY(!setPoint(page(), row)->isEnabled());
        QCOMPARE(setPoint(page(), row)->value(), 0);
        QCOMPARE(setPoint(page(), row)->maximum(), 2048);
        QCOMPARE(bar(page(), row)->maximum(), 2048);
        QVERIFY(!bar(page(), row)->isEnabled());
        QCOMPARE(static_cast<QSpinBox*>(rowWidget(page(), "spinBox_jdz_y1_", row))->maximum(), 100);
        QCOMPARE(rowValues(page(), row), zeros(8));
        QVERIFY(!rowCheck(page(), row)->isChecked());
    }
    QCOMPARE(rowWidget(page(), "lEdit_id_y1_", 32)->property("text").toString(), QString("0x2f"));
    QVERIFY(!m_page->throttleTimer().isActive());
    QCOMPARE(m_page->throttleTimer().interval(), 10);
}

void tst_TelemetryPage::listedNodesEnableTheirRowsAndClosingClears()
{
    openPort();
    // A heartbeat of a node not yet listed lists it; the next one enables the row.
    feed(heartbeat(17));
    feed(deviceInfo(17));
    QVERIFY(!setPoint(page(), 2)->isEnabled());
    feed(heartbeat(17));
    for (QWidget* w : {rowWidget(page(), "lEdit_zs_y1_", 2), static_cast<QWidget*>(setPoint(page(), 2)),
                       static_cast<QWidget*>(bar(page(), 2)), static_cast<QWidget*>(rowCheck(page(), 2))})
        QVERIFY(w->isEnabled());
    QVERIFY(!setPoint(page(), 1)->isEnabled());
    QVERIFY(!setPoint(page(), 12)->isEnabled()); // "_2" is not the end of "_12"

    // Its values show while it is enabled; closing clears the row.
    setPoint(page(), 2)->setValue(900);
    rowCheck(page(), 2)->setChecked(true);
    feed(t6160(17, 5000, 30, 0x20));
    feed(t6161(17, 900, 252, 110, 108, 112));
    QCOMPARE(rowValues(page(), 2), QStringList({"500", "3", "900", "25", "70", "68", "72", "32"}));
    click(page(), "btnOpen");
    QCOMPARE(rowValues(page(), 2), zeros(8));
    QCOMPARE(static_cast<QLineEdit*>(rowWidget(page(), "lEdit_id_y1_", 2))->text(), QString("0x11"));
    QCOMPARE(setPoint(page(), 2)->value(), 0);
    QCOMPARE(bar(page(), 2)->value(), 0);
    QVERIFY(!rowCheck(page(), 2)->isChecked());
    QVERIFY(!setPoint(page(), 2)->isEnabled());
    // Disabled rows drop what still arrives.
    feed(t6160(17, 5000, 30, 0x20));
    QCOMPARE(rowValues(page(), 2), zeros(8));

    // Back again and ticked: the samples of before the close are gone.
    openPort();
    bringUp(17);
    rowCheck(page(), 2)->setChecked(true);
    feed(t6161(17, 900, 252, 110, 108, 112));
    click(page(), "btnOpen");
    openPort();
    bringUp(17);
    QSignalBlocker quiet(rowCheck(page(), 2)); // ticked without the reset of a tick
    rowCheck(page(), 2)->setChecked(true);
    feed(t6160(17, 100, 30, 0));
    chart(page())->flushLines();
    QCOMPARE(chart(page())->series(MainWindow::kThrottle)->pointsVector().last().y(), -1.0);
}

void tst_TelemetryPage::telemetryIsScaledAndTruncated_data()
{
    QTest::addColumn<bool>("second"); // port 6161
    QTest::addColumn<QList<int>>("raw");
    QTest::addColumn<QStringList>("shown"); // the fields the port writes

    QTest::newRow("speed tenths") << false << QList<int>{12345, 127, 0} << QStringList{"1234", "12", "0"};
    QTest::newRow("negative toward zero") << false << QList<int>{-37, -1, 0x8001}
                                          << QStringList{"-3", "0", "-32767"};
    QTest::newRow("temperatures") << true << QList<int>{1000, 252, 0, 40, 255}
                                  << QStringList{"1000", "25", "-40", "0", "215"};
    QTest::newRow("voltage below zero") << true << QList<int>{-200, -5, 40, 40, 40}
                                        << QStringList{"-200", "0", "0", "0", "0"};
}

void tst_TelemetryPage::telemetryIsScaledAndTruncated()
{
    QFETCH(bool, second);
    QFETCH(QList<int>, raw);
    QFETCH(QStringList, shown);
    openPort();
    bringUp(16);
    if (second)
        feed(t6161(16, raw[0], raw[1], raw[2], raw[3], raw[4]));
    else
        feed(t6160(16, raw[0], raw[1], raw[2]));
    const QStringList values = rowValues(page(), 1);
    const QStringList written = second ? values.mid(2, 5) : QStringList({values[0], values[1], values[7]});
    QCOMPARE(written, shown);
}

void tst_TelemetryPage::foreignAndShortTelemetryChangeNothing()
{
    openPort();
    for (uint8_t node : {16, 32, 47})
        bringUp(node);
    rowCheck(page(), 1)->setChecked(true);
    feed(t6160(16, 100, 100, 0x8000));
    QList<QStringList> before;
    for (int row = 1; row <= kRows; ++row)
        before << rowValues(page(), row);
    const QVector<QPointF> line = chart(page())->series(0)->pointsVector();

    feed(t6160(48, 999, 999, 1));
    feed(t6161(48, 999, 999, 1, 1, 1));
    feed(t6160(15, 999, 999, 1));
    feed(t6161(15, 999, 999, 1, 1, 1));
    feed(record(6160, 16, std::string("\x10\x27\x10\x27\x01", 5)));   // 5 of 6 bytes
    feed(record(6161, 16, std::string("\x10\x27\x10\x27\x01\x01", 6))); // 6 of 7
    feed(record(6160, 16, std::string()));
    feed(record(6162, 16, std::string("\x01\x02\x03\x04", 4)));
    for (int row = 1; row <= kRows; ++row)
        QCOMPARE(rowValues(page(), row), before[row - 1]);
    chart(page())->flushLines();
    QCOMPARE(chart(page())->series(0)->pointsVector(), line);
    QCOMPARE(litWord(), quint16(0x8000));
}

void tst_TelemetryPage::atMostOneRowIsTicked()
{
    openPort();
    for (uint8_t node = 16; node < 16 + 8; ++node)
        bringUp(node);
    rowCheck(page(), 7)->setChecked(true);
    feed(t6161(22, 500, 252, 100, 100, 100)); // row 7: throttle 500 recorded
    rowCheck(page(), 3)->setChecked(true);
    int ticked = 0;
    for (int row = 1; row <= kRows; ++row)
        ticked += rowCheck(page(), row)->isChecked();
    QCOMPARE(ticked, 1);
    QVERIFY(rowCheck(page(), 3)->isChecked());
    // The last samples were reset: row 3's first sample carries -1 for the
    // channels of the message that has not come yet.
    feed(t6160(18, 100, 20, 0));
    chart(page())->flushLines();
    QCOMPARE(chart(page())->series(MainWindow::kThrottle)->pointsVector().last().y(), -1.0);
    QCOMPARE(chart(page())->series(MainWindow::kSpeed)->pointsVector().last().y(), 10.0);
    // Unticking leaves none ticked.
    rowCheck(page(), 3)->setChecked(false);
    QVERIFY(!rowCheck(page(), 3)->isChecked() && !rowCheck(page(), 7)->isChecked());
}

void tst_TelemetryPage::throttleGroupsGoOutEveryTick()
{
    QSignalSpy spy(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalGasMode6152F);
    openPort();
    for (uint8_t node = 16; node < 16 + 12; ++node)
        bringUp(node);
    for (int row = 1; row <= 12; ++row)
        setPoint(page(), row)->setValue(row * 100);

    auto* combo = child<QComboBox>(page(), "comboBoxThrot");
    combo->setCurrentIndex(3);
    QVERIFY(m_page->throttleTimer().isActive());
    QTRY_VERIFY_WITH_TIMEOUT(spy.size() >= 30, kSlowMs);
    combo->setCurrentIndex(0);
    QVERIFY(!m_page->throttleTimer().isActive());
    const QList<GasMsg> sent = messages(spy);
    QCOMPARE(sent.size() % 3, 0); // whole ticks only
    for (int i = 0; i < sent.size(); ++i) {
        const int g = i % 3;
        const QList<int> rows = {g * 4 + 1, g * 4 + 2, g * 4 + 3, g * 4 + 4};
        QCOMPARE(sent[i], (GasMsg {6152 + g, {rows[0] * 100, rows[1] * 100, rows[2] * 100, rows[3] * 100}}));
    }
    // Stopped: nothing more goes out.
    spy.clear();
    QTest::qWait(60);
    QCOMPARE(spy.size(), 0);

    // 3 -> 5 without passing 0 keeps the timer and adds two subjects.
    combo->setCurrentIndex(3);
    QTRY_VERIFY(spy.size() >= 3);
    combo->setCurrentIndex(5);
    spy.clear();
    QTRY_VERIFY(spy.size() >= 10);
    combo->setCurrentIndex(0);
    const QList<GasMsg> five = messages(spy);
    for (int i = 0; i + 5 <= five.size(); i += 5) {
        QList<int> subjects;
        for (int k = 0; k < 5; ++k)
            subjects << five[i + k].subject;
        QCOMPARE(subjects, QList<int>({6152, 6153, 6154, 6155, 6156}));
        QCOMPARE(five[i + 3].values, QList<int>({0, 0, 0, 0})); // rows 13-16 are absent
    }
}

void tst_TelemetryPage::upgradeStopsTheThrottle()
{
    auto* combo = child<QComboBox>(page(), "comboBoxThrot");
    combo->setCurrentIndex(8);
    QVERIFY(m_page->throttleTimer().isActive());
    ModalBoxCloser boxes;
    click(page(), "btnUpgradedev");
    QCOMPARE(combo->currentIndex(), 0);
    QVERIFY(!m_page->throttleTimer().isActive());
    // The same through the member the upgrade calls.
    combo->setCurrentIndex(2);
    m_page->stopThrottleTest();
    QCOMPARE(combo->currentIndex(), 0);
    QVERIFY(!m_page->throttleTimer().isActive());
}

void tst_TelemetryPage::barAndSetPointFollowEachOther()
{
    openPort();
    for (uint8_t node : {16, 20, 27})
        bringUp(node);
    CProgressBarV2* bar5 = bar(page(), 5);
    const int w = bar5->width();
    QVERIFY(w > 30);
    QTest::mouseClick(bar5, Qt::LeftButton, Qt::NoModifier, QPoint(w - 30, bar5->height() / 2));
    QCOMPARE(setPoint(page(), 5)->value(), 2048);
    QTest::mouseClick(bar5, Qt::LeftButton, Qt::NoModifier, QPoint(0, bar5->height() / 2));
    QCOMPARE(setPoint(page(), 5)->value(), 0);
    // Past the end: the spin box clamps what the bar reports.
    QTest::mousePress(bar5, Qt::LeftButton, Qt::NoModifier, QPoint(w / 2, 5));
    QMouseEvent drag(QEvent::MouseMove, QPoint(w + 40, 5), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar5, &drag);
    QTest::mouseRelease(bar5, Qt::LeftButton, Qt::NoModifier, QPoint(w + 40, 5));
    QCOMPARE(setPoint(page(), 5)->value(), 2048);
    QCOMPARE(bar5->value(), 2048);
    // A right click changes nothing.
    QTest::mouseClick(bar5, Qt::RightButton, Qt::NoModifier, QPoint(10, 5));
    QCOMPARE(setPoint(page(), 5)->value(), 2048);

    // Typing into row 12's box moves its bar, not row 1's.
    setPoint(page(), 12)->setValue(700);
    QCOMPARE(bar(page(), 12)->value(), 700);
    QCOMPARE(bar(page(), 1)->value(), 0);
    // The pole-pair boxes move no bar.
    static_cast<QSpinBox*>(rowWidget(page(), "spinBox_jdz_y1_", 12))->setValue(14);
    QCOMPARE(bar(page(), 12)->value(), 700);
}

void tst_TelemetryPage::settingsDialogRerangesOrChangesNothing()
{
    QSignalSpy spy(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalGasMode6152F);
    openPort();
    bringUp(16);
    bringUp(17);
    setPoint(page(), 1)->setValue(800);
    setPoint(page(), 2)->setValue(300);

    const auto runDialog = [&](int maximum, int rate, bool accept) {
        QTimer::singleShot(0, page(), [=] {
            auto* dialog = page()->findChild<ThrotCfgDialog*>();
            QVERIFY(dialog && dialog->isModal());
            dialog->findChild<QSpinBox*>("spinBox_throt_max")->setValue(maximum);
            dialog->findChild<QComboBox*>("comBox_throt_freq")->setCurrentIndex(rate);
            if (accept)
                QTest::mouseClick(dialog->findChild<QPushButton*>("btn_throt_cfg"), Qt::LeftButton);
            else
                dialog->reject();
        });
        click(page(), "btn_throt_set");
    };

    // Cancelled: nothing changes.
    runDialog(500, 3, false);
    QCOMPARE(setPoint(page(), 1)->value(), 800);
    QCOMPARE(setPoint(page(), 1)->maximum(), 2048);
    QCOMPARE(page()->findChildren<ThrotCfgDialog*>().size(), 1); // kept for the next time

    // Accepted with "20ms": every set-point and bar re-ranged, the interval stays.
    runDialog(500, 3, true);
    for (int row = 1; row <= kRows; ++row) {
        QCOMPARE(setPoint(page(), row)->maximum(), 500);
        QCOMPARE(bar(page(), row)->maximum(), 500);
    }
    QCOMPARE(setPoint(page(), 1)->value(), 500);
    QCOMPARE(bar(page(), 1)->value(), 500);
    QCOMPARE(setPoint(page(), 2)->value(), 300);
    QCOMPARE(page()->findChildren<ThrotCfgDialog*>().size(), 1);
    child<QComboBox>(page(), "comboBoxThrot")->setCurrentIndex(1);
    QCOMPARE(m_page->throttleTimer().interval(), 10);

    // The largest maximum travels unchanged in the 14-bit field.
    runDialog(16383, 0, true);
    setPoint(page(), 1)->setValue(16383);
    spy.clear();
    QTRY_VERIFY(!spy.isEmpty());
    QCOMPARE(messages(spy).last(), (GasMsg {6152, {16383, 300, 0, 0}}));
    child<QComboBox>(page(), "comboBoxThrot")->setCurrentIndex(0);
}

void tst_TelemetryPage::lampsShowTheTickedEsc()
{
    openPort();
    bringUp(16);
    bringUp(17);
    // No row ticked: a status is invalid and lights nothing.
    feed(t6160(16, 0, 0, 0x8001));
    QCOMPARE(litWord(), quint16(0));
    rowCheck(page(), 1)->setChecked(true);
    feed(t6160(16, 0, 0, 0x8001));
    QCOMPARE(litWord(), quint16(0x8001));
    feed(t6160(17, 0, 0, 0x0400)); // another row's status
    QCOMPARE(litWord(), quint16(0x8001));
    feed(t6160(16, 0, 0, 0x0021));
    QCOMPARE(litWord(), quint16(0x0021));
    // Unticked: the next status of anyone switches them off.
    rowCheck(page(), 1)->setChecked(false);
    feed(t6160(17, 0, 0, 0x0400));
    QCOMPARE(litWord(), quint16(0));

    // Closing the port clears them and leaves the throttle running.
    rowCheck(page(), 1)->setChecked(true);
    feed(t6160(16, 0, 0, 0x8001));
    child<QComboBox>(page(), "comboBoxThrot")->setCurrentIndex(2);
    click(page(), "btnOpen");
    QCOMPARE(litWord(), quint16(0));
    QVERIFY(m_page->throttleTimer().isActive());
    child<QComboBox>(page(), "comboBoxThrot")->setCurrentIndex(0);
}

void tst_TelemetryPage::anyKeyStopsButDigitsSetAPoint()
{
    QSignalSpy spy(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalGasMode6152F);
    openPort();
    bringUp(16);
    bringUp(17);
    setPoint(page(), 2)->setValue(1500);

    // Digits in a set-point box set that set-point only.
    QSpinBox* first = setPoint(page(), 1);
    first->setFocus();
    first->selectAll();
    QTest::keyClicks(first, "123");
    QCOMPARE(first->value(), 123);
    QCOMPARE(setPoint(page(), 2)->value(), 1500);

    child<QComboBox>(page(), "comboBoxThrot")->setCurrentIndex(1);
    QTRY_VERIFY(!spy.isEmpty());
    QCOMPARE(messages(spy).last(), (GasMsg {6152, {123, 1500, 0, 0}}));

    // A letter on a row's check box reaches the page: every set-point to 0.
    rowCheck(page(), 2)->setFocus();
    QTest::keyClick(rowCheck(page(), 2), Qt::Key_S);
    QCOMPARE(first->value(), 0);
    QCOMPARE(setPoint(page(), 2)->value(), 0);
    QCOMPARE(bar(page(), 2)->value(), 0);
    spy.clear();
    QTRY_VERIFY(!spy.isEmpty());
    QCOMPARE(messages(spy).first(), (GasMsg {6152, {0, 0, 0, 0}}));

    // The same from the focused chart.
    setPoint(page(), 1)->setValue(50);
    chart(page())->chartView()->setFocus();
    QTest::keyClick(chart(page())->chartView(), Qt::Key_Space);
    QCOMPARE(first->value(), 0);
    child<QComboBox>(page(), "comboBoxThrot")->setCurrentIndex(0);
}

void tst_TelemetryPage::chartTakesTheTickedRow()
{
    openPort();
    bringUp(18);
    bringUp(19);
    MainWindow* c = chart(page());
    // Nothing ticked: nothing drawn.
    feed(t6160(19, 1000, 50, 0));
    c->flushLines();
    QCOMPARE(c->series(0)->count(), 0);

    rowCheck(page(), 4)->setChecked(true); // node 19
    feed(t6160(19, 1000, 50, 0));
    c->flushLines();
    QList<QVector<qreal>> lines;
    for (int ch = 0; ch < 7; ++ch)
        lines << ys(c->series(ch));
    QCOMPARE(lines, (QList<QVector<qreal>>{{100}, {5}, {-1}, {-1}, {-1}, {-1}, {-1}}));
    feed(t6161(19, 700, 250, 110, 100, 90));
    feed(t6160(18, 9990, 9990, 0)); // another ESC: no sample
    feed(t6160(19, 2000, 60, 0));
    c->flushLines();
    lines.clear();
    for (int ch = 0; ch < 7; ++ch)
        lines << ys(c->series(ch));
    QCOMPARE(lines, (QList<QVector<qreal>>{{100, 100, 200}, {5, 5, 6}, {-1, 700, 700}, {-1, 25, 25},
                                           {-1, 70, 70}, {-1, 60, 60}, {-1, 50, 50}}));
}

void tst_TelemetryPage::tileSwitchesItsChannelAndStoresItsScale()
{
    openPort();
    bringUp(16);
    rowCheck(page(), 1)->setChecked(true);
    MainWindow* c = chart(page());
    auto* combo = child<QComboBox>(page(), kScaleCombos[0]);
    QVERIFY(!combo->isEnabled());
    for (int ch = 0; ch < 7; ++ch) { // each tile in its line's colour
        QVERIFY(tile(ch)->isOn());
        QCOMPARE(tile(ch)->line()->color(), c->series(ch)->pen().color());
    }
    feed(t6160(16, 100, 0, 0));

    // A right click does nothing; a left click switches speed off.
    QTest::mouseClick(child(page(), kTileFrames[0]), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    QVERIFY(tile(0)->isOn());
    QTest::mouseClick(child(page(), kTileFrames[0]), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QVERIFY(!tile(0)->isOn());
    QVERIFY(combo->isEnabled());
    feed(t6160(16, 200, 0, 0));
    c->flushLines();
    QCOMPARE(c->series(0)->count(), 0); // an empty line ...
    QCOMPARE(c->producer(0)->history().size(), 2); // ... while it keeps recording

    // x10 chosen while off; on again shows what was recorded, new samples x10.
    combo->setCurrentIndex(3);
    QTest::mouseClick(child(page(), kTileFrames[0]), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QVERIFY(!combo->isEnabled());
    QCOMPARE(storedRates()[0], QString("10.00"));
    feed(t6160(16, 300, 0, 0));
    c->flushLines();
    QCOMPARE(ys(c->series(0)), QVector<qreal>({10, 20, 300}));
}

void tst_TelemetryPage::pauseFreezesChartAndLampsOnly()
{
    openPort();
    bringUp(16);
    rowCheck(page(), 1)->setChecked(true);
    MainWindow* c = chart(page());
    feed(t6160(16, 100, 0, 0x8000));
    click(page(), "btnSuspend");
    feed(t6160(16, 200, 0, 0x0001));
    QCOMPARE(rowValues(page(), 1)[0], QString("20")); // the row goes on
    QCOMPARE(litWord(), quint16(0x8000));
    c->flushLines();
    QCOMPARE(ys(c->series(0)), QVector<qreal>({10}));
    click(page(), "btnSuspend");
    feed(t6160(16, 300, 0, 0x0001));
    c->flushLines();
    QCOMPARE(ys(c->series(0)), QVector<qreal>({10, 30}));
    QCOMPARE(litWord(), quint16(0x0001));
}

void tst_TelemetryPage::defaultsResetEveryScale()
{
    openPort();
    bringUp(16);
    rowCheck(page(), 1)->setChecked(true);
    // Channel 2 off at x100.
    QTest::mouseClick(child(page(), kTileFrames[2]), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    child<QComboBox>(page(), kScaleCombos[2])->setCurrentIndex(4);
    QTest::mouseClick(child(page(), kTileFrames[2]), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseClick(child(page(), kTileFrames[5]), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(storedRates()[2], QString("100.00"));

    ModalBoxCloser boxes;
    click(page(), "btnDefaultPara");
    QTRY_COMPARE(boxes.texts(), QStringList({"Reset All The Parameter !"}));
    QCOMPARE(comboTexts(), repeat(7, "x1"));
    QCOMPARE(storedRates(), repeat(7, "1.00"));
    QVERIFY(!tile(5)->isOn()); // on/off stays
    QVERIFY(tile(2)->isOn());
    feed(t6161(16, 7, 0, 40, 40, 40));
    chart(page())->flushLines();
    QCOMPARE(ys(chart(page())->series(2)), QVector<qreal>({7}));
}

void tst_TelemetryPage::waveIniCases_data()
{
    QTest::addColumn<QStringList>("stored"); // rate/0..: empty text = key missing
    QTest::addColumn<QStringList>("combos");
    QTest::addColumn<QStringList>("written");

    const QStringList ones = repeat(7, "1.00");
    QTest::newRow("no file") << QStringList() << repeat(7, "x1") << ones;
    QTest::newRow("speed x0.1")
        << QStringList({"0.10", "1.00", "1.00", "1.00", "1.00", "1.00", "1.00"})
        << QStringList({"x0.1", "x1", "x1", "x1", "x1", "x1", "x1"})
        << QStringList({"0.10", "1.00", "1.00", "1.00", "1.00", "1.00", "1.00"});
    QTest::newRow("unmatched")
        << QStringList({"0.50", "100.00", "10", "1.00", "1.00", "1.00", "0.01"})
        << QStringList({"x0.01", "x100", "x10", "x1", "x1", "x1", "x0.01"})
        << QStringList({"0.01", "100.00", "10.00", "1.00", "1.00", "1.00", "0.01"});
    QTest::newRow("gap at 2")
        << QStringList({"10.00", "0.10", "", "100.00", "100.00", "100.00", "100.00"})
        << QStringList({"x10", "x0.1", "x1", "x1", "x1", "x1", "x1"})
        << QStringList({"10.00", "0.10", "1.00", "1.00", "1.00", "1.00", "1.00"});
}

void tst_TelemetryPage::waveIniCases()
{
    QFETCH(QStringList, stored);
    QFETCH(QStringList, combos);
    QFETCH(QStringList, written);
    if (!stored.isEmpty()) {
        QVERIFY(QDir().mkpath(m_settings->filePath("SetIns")));
        QSettings ini(iniPath(), QSettings::IniFormat);
        for (int c = 0; c < stored.size(); ++c) {
            if (!stored[c].isEmpty())
                ini.setValue(QString("rate/%1").arg(c), stored[c]);
        }
    }
    restart();
    QCOMPARE(comboTexts(), combos);
    QCOMPARE(storedRates(), written);
}

void tst_TelemetryPage::scalesPersistAcrossARestart()
{
    QTest::mouseClick(child(page(), kTileFrames[3]), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    child<QComboBox>(page(), kScaleCombos[3])->setCurrentIndex(1);
    QTest::mouseClick(child(page(), kTileFrames[3]), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    restart();
    QCOMPARE(child<QComboBox>(page(), kScaleCombos[3])->currentText(), QString("x0.1"));
    QCOMPARE(storedRates()[3], QString("0.10"));
    openPort();
    bringUp(16);
    rowCheck(page(), 1)->setChecked(true);
    feed(t6161(16, 0, 2520, 40, 40, 40));
    chart(page())->flushLines();
    QCOMPARE(ys(chart(page())->series(3)), QVector<qreal>({25.2f})); // 252.0 x 0.1
}

void tst_TelemetryPage::pauseCaptionSurvivesALanguageSwitch()
{
    const QString running = caption(page(), "btnSuspend");
    click(page(), "btnSuspend");
    const QString paused = caption(page(), "btnSuspend");
    QVERIFY(running != paused);
    auto* lang = child<QComboBox>(page(), "comboBox_lang");
    lang->setCurrentIndex(1);
    QCOMPARE(caption(page(), "btnSuspend"), QString::fromUtf8("暂停"));
    // The chart follows the language too.
    QTRY_COMPARE(chart(page())->axisY()->titleText(), QString::fromUtf8("数值范围"));
    lang->setCurrentIndex(0);
    QCOMPARE(caption(page(), "btnSuspend"), paused);
    QTRY_COMPARE(chart(page())->axisY()->titleText(), QString("Range of value"));
    click(page(), "btnSuspend");
    QCOMPARE(caption(page(), "btnSuspend"), running);
}

QTEST_MAIN(tst_TelemetryPage)
#include "tst_telemetry_page.moc"
