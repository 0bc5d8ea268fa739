#ifndef TELEMETRYPAGEFIXTURE_H
#define TELEMETRYPAGEFIXTURE_H

// The configurator page on its own, on its throttle tab, fed with responses
// as the link delivers them: what the tests of the tab's rows and throttle
// and of its chart share. Each test function gets a fresh settings folder
// and a fresh page. No worker runs.

#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <QLineSeries>

#include <memory>

#include "configurator/tqcan.h"
#include "telemetry/qcwindicatorlamp.h"
#include "telemetry/statuslampform.h"
#include "telemetrytesthelpers.h"

namespace telemetrytest {

constexpr int kRows = 32;

inline QStringList repeat(int n, const char* text)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << QString::fromUtf8(text);
    return out;
}

inline QVector<qreal> ys(const QtCharts::QLineSeries* s)
{
    QVector<qreal> out;
    for (const QPointF& p : s->pointsVector())
        out << p.y();
    return out;
}

class PageFixture
{
protected:
    // A settings folder that does not exist yet, as on a fresh
    // installation, and the page shown unless `withPage` is false.
    void setUpPage(bool withPage)
    {
        m_settings.reset(new QTemporaryDir);
        QVERIFY(m_settings->isValid());
        TQCAN::setSettingsFolder(m_settings->filePath("SetIns"));
        if (withPage)
            restart();
    }
    void tearDownPage()
    {
        m_page.reset();
        TQCAN::setSettingsFolder(QString());
    }
    void restart()
    {
        m_page.reset();
        m_page.reset(new TQCAN);
        m_page->resize(1366, 900);
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page()));
        pagetest::child<QTabWidget>(page(), "tabWidget")->setCurrentIndex(2);
    }

    QWidget* page() const { return m_page.get(); }
    MainWindow* chartOf() const { return chart(page()); }
    void feed(response_data_struct_t r) { m_page->doProcessRecvTQPack(r); }
    void openPort()
    {
        pagetest::typePort(page(), "/dev/tq-test-port");
        pagetest::click(page(), "btnOpen");
        QCOMPARE(pagetest::caption(page(), "btnOpen"), QString("Close"));
    }
    // Lists nodes and enables their rows (the second heartbeat does).
    void bringUp(std::initializer_list<uint8_t> nodes)
    {
        for (uint8_t node : nodes) {
            feed(pagetest::heartbeat(node));
            feed(pagetest::deviceInfo(node));
            feed(pagetest::heartbeat(node));
            QVERIFY(setPoint(page(), node - 15)->isEnabled());
        }
    }
    // The port open, node 16 up and its row ticked: the chart draws it.
    void tickFirstRow()
    {
        openPort();
        bringUp({16});
        rowCheck(page(), 1)->setChecked(true);
    }
    QVector<qreal> line(int channel)
    {
        chartOf()->flushLines();
        return ys(chartOf()->series(channel));
    }
    QComboBox* throttleCombo() const { return pagetest::child<QComboBox>(page(), "comboBoxThrot"); }
    // The status lamps as a status word.
    quint16 litWord() const
    {
        const auto* lamps = page()->findChild<statusLampForm*>();
        quint16 word = 0;
        for (int i = 0; i < 16; ++i)
            word |= lamps->lamp(i)->isAlarm() ? quint16(1u << (15 - i)) : 0;
        return word;
    }

    pagetest::PageEnv m_env;
    std::unique_ptr<QTemporaryDir> m_settings;
    std::unique_ptr<TQCAN> m_page;
};

} // namespace telemetrytest

#endif // TELEMETRYPAGEFIXTURE_H
