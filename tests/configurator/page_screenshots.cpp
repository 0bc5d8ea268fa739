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
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <memory>
#include <string>

#include "app/appwidget.h"
#include "app/communicat.h"
#include "configurator/tqcan.h"
#include "escsim.h"
#include "pagetesthelpers.h"

using namespace pagetest;

namespace {

// Runs the event loop until the condition holds or the time is up.
template <typename Condition>
bool waitFor(Condition condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(QWidget* window, const QDir& out, const QString& name)
{
    settle(400);
    const QString path = out.filePath(name);
    if (!window->grab().save(path)) {
        qCritical() << "cannot write" << path;
        return false;
    }
    qInfo() << "wrote" << path;
    return true;
}

} // namespace

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
    registerCommunicatMetaTypes();
    TempWorkDir cwd;
    if (!cwd.isValid() || !addTranslations(cwd)) {
        qCritical("cannot prepare a working directory with the translations");
        return 1;
    }
    LanguageSettingGuard language;
    LanguageSettingGuard::set(0);

    escsim::Options options;
    options.nodes = {16, 17, 18};
    escsim::Bus bus(options);
    std::string error;
    const QString port = QString::fromStdString(bus.start(&error));
    if (port.isEmpty()) {
        qCritical() << "simulator:" << QString::fromStdString(error);
        return 1;
    }
    bus.startThread();

    bool ok = true;
    {
        appwidget window;
        window.setWindowTitle(QStringLiteral("TQ_TOPAZ_V2.2.0.16"));
        window.show();
        TQCAN* page = window.configuratorPage();
        auto* tabs = child<QTabWidget>(page, "tabWidget");
        auto* devTable = child<QTableWidget>(page, "tableWidget_dev");

        settle(300);
        typePort(page, port);
        click(page, "btnOpen");
        if (!waitFor([&] { return listedNodes(devTable).size() == 3; }, 15000)) {
            qCritical() << "the simulated nodes were not listed";
            ok = false;
        }
        // A node chosen on both tabs, as a technician would have it.
        clickCell(devTable, 0, 1);
        tabs->setCurrentIndex(1);
        settle(200);
        if (auto* radio = qobject_cast<QRadioButton*>(
                child<QTableWidget>(page, "tableWidget_set_devList")->cellWidget(0, 0)))
            radio->click();
        waitFor([] { return false; }, 1500); // the rows of listed nodes light up

        tabs->setCurrentIndex(0);
        ok = save(&window, out, "screenshot-firmware.png") && ok;
        tabs->setCurrentIndex(1);
        ok = save(&window, out, "screenshot-parameters.png") && ok;
        tabs->setCurrentIndex(2);
        ok = save(&window, out, "screenshot-throttle.png") && ok;

        child<QComboBox>(page, "comboBox_lang")->setCurrentIndex(1);
        tabs->setCurrentIndex(0);
        ok = save(&window, out, "screenshot-firmware-zh.png") && ok;
        child<QComboBox>(page, "comboBox_lang")->setCurrentIndex(0);

        click(page, "btnOpen");
    }
    bus.stop();
    return ok ? 0 : 1;
}
