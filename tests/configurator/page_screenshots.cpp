// Takes the screenshots of the configurator page that the documentation
// shows: the real window, with the simulated adapter's nodes listed, one
// picture per tab and one of the firmware tab in Chinese.
//
//   tq_page_screenshots <output folder>
//
// Run it on a display (scripts/screenshots.sh runs it under Xvfb).

#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

#include <string>

#include "app/appwidget.h"
#include "configurator/tqcan.h"
#include "linkharness.h"
#include "modalboxcloser.h"
#include "pagetesthelpers.h"

using namespace pagetest;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        qCritical("usage: tq_page_screenshots <output folder>");
        return 2;
    }
    const QDir out(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());
    if (!QDir().mkpath(out.path())) {
        qCritical() << "cannot create" << out.path();
        return 1;
    }
    PageEnv env;
    escsim::Options options;
    options.nodes = {16, 17, 18};
    options.telemetryHz = 50; // a live waveform on the throttle tab
    escsim::Bus bus(options);
    std::string error;
    const QString port = QString::fromStdString(startOnThread(bus, &error));
    if (!env.ready() || port.isEmpty()) {
        qCritical() << "cannot prepare the translations or the simulator:" << error.c_str();
        return 1;
    }

    bool ok = true;
    {
        appwidget window;
        window.setWindowTitle(QStringLiteral("TQ_TOPAZ_V2.2.0.16"));
        window.show();
        TQCAN* page = window.configuratorPage();
        auto* tabs = child<QTabWidget>(page, "tabWidget");

        QTest::qWait(300);
        typePort(page, port);
        click(page, "btnOpen");
        if (!QTest::qWaitFor([&] { return listedNodes(devTable(page)).size() == 3; }, kSlowMs)) {
            qCritical() << "the simulated nodes were not listed";
            ok = false;
        }
        // A node chosen on both tabs, as a technician would have it.
        clickCell(devTable(page), 0, 1);
        tabs->setCurrentIndex(1);
        QTest::qWait(200);
        if (auto* radio = qobject_cast<QRadioButton*>(devList(page)->cellWidget(0, 0)))
            radio->click();
        QTest::qWait(1500); // the rows of listed nodes light up
        // The chosen node's parameters read, so that its registers show.
        {
            ModalBoxCloser boxes;
            click(page, "btn_read_para");
            auto* registers = child<QTableWidget>(page, "tableWidget_set_regList");
            if (!QTest::qWaitFor([&] { return registers->cellWidget(1, 3) != nullptr; }, kSlowMs)) {
                qCritical() << "the parameters of the chosen node were not read";
                ok = false;
            }
        }

        const auto save = [&](int tab, const char* name) {
            tabs->setCurrentIndex(tab);
            QTest::qWait(400);
            const QString path = out.filePath(QLatin1String(name));
            const bool saved = window.grab().save(path);
            qInfo() << (saved ? "wrote" : "cannot write") << path;
            return saved;
        };
        ok = save(0, "screenshot-firmware.png") && ok;
        ok = save(1, "screenshot-parameters.png") && ok;
        // The throttle tab with a live waveform: the first group running,
        // the first ESC ticked, its set-point stepped a few times.
        tabs->setCurrentIndex(2);
        const auto setPoint = [&](int row, int value) {
            if (auto* box = page->findChild<QSpinBox*>(QStringLiteral("spinBox_y_%1").arg(row)))
                box->setValue(value);
        };
        setPoint(2, 1200);
        setPoint(3, 600);
        if (auto* tick = page->findChild<QAbstractButton*>(QStringLiteral("checkBox_y1_1")))
            tick->setChecked(true);
        child<QComboBox>(page, "comboBoxThrot")->setCurrentIndex(1);
        for (int value : {300, 2000, 900, 2600, 1400}) {
            setPoint(1, value);
            QTest::qWait(1400);
        }
        ok = save(2, "screenshot-throttle.png") && ok;
        child<QComboBox>(page, "comboBoxThrot")->setCurrentIndex(0);
        child<QComboBox>(page, "comboBox_lang")->setCurrentIndex(1);
        ok = save(0, "screenshot-firmware-zh.png") && ok;
        child<QComboBox>(page, "comboBox_lang")->setCurrentIndex(0);
        click(page, "btnOpen");
    }
    return ok ? 0 : 1;
}
