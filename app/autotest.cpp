#include "app/autotest.h"

#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <memory>
#include <unistd.h>

#include "configurator/tqcan.h"

void armAutotestTimers()
{
    bool ok = false;
    const int quitMs = qEnvironmentVariableIntValue("TQ_AUTOTEST_QUIT_MS", &ok);
    if (!ok)
        return;
    auto* closer = new QTimer(qApp);
    QObject::connect(closer, &QTimer::timeout, qApp, []() {
        if (QWidget* box = QApplication::activeModalWidget()) {
            qDebug() << "autotest: closing modal box" << box->windowTitle();
            box->close();
        }
    });
    closer->start(50);
    // Quit, and keep asking: a quit that lands in the nested loop of a box
    // shown before the main loop runs (a slow start) ends only that loop.
    auto* quitter = new QTimer(qApp);
    QObject::connect(quitter, &QTimer::timeout, qApp, [quitter]() {
        qDebug() << "autotest: quitting";
        QApplication::quit();
        quitter->start(200);
    });
    quitter->setSingleShot(true);
    quitter->start(quitMs);
}

void armAutotestThrottle(TQCAN* page)
{
    const QStringList parts = qEnvironmentVariable("TQ_AUTOTEST_THROTTLE").split(QLatin1Char(','));
    if (parts.size() != 3)
        return;
    auto* port = page->findChild<QComboBox*>(QStringLiteral("comboBox_serial"));
    auto* open = page->findChild<QPushButton*>(QStringLiteral("btnOpen"));
    auto* groups = page->findChild<QComboBox*>(QStringLiteral("comboBoxThrot"));
    auto* tabs = page->findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    if (!port || !open || !groups || !tabs) {
        qWarning() << "autotest: the page has no port box, open button, group box or tabs";
        return;
    }
    port->setEditText(parts.at(0));
    open->click();
    tabs->setCurrentIndex(2); // the throttle tab, where a key is the stop key
    const int count = parts.at(1).toInt();
    const int value = parts.at(2).toInt();
    qDebug() << "autotest: throttle test on" << parts.at(0) << count << "groups at" << value;
    groups->setCurrentIndex(count);
    // Rows come up as their nodes are listed, and each is set once. The
    // test is started once: as soon as the stop key is pressed (rows listed
    // or not), or the count or a row set here changes (the test switched
    // off), the stop wins for good.
    auto* driver = new QTimer(page);
    const auto stop = [driver] {
        if (driver->isActive())
            qDebug() << "autotest: the throttle test was stopped, no set-point is set any more";
        driver->stop();
    };
    QObject::connect(page, &TQCAN::stopKeyPressed, driver, stop);
    auto set = std::make_shared<QList<QPointer<QSpinBox>>>();
    QObject::connect(driver, &QTimer::timeout, page, [page, groups, count, value, stop, set]() {
        bool stopped = groups->currentIndex() != count;
        for (const QPointer<QSpinBox>& box : *set)
            stopped = stopped || !box || box->value() != value;
        if (stopped) {
            stop();
            return;
        }
        const QRegularExpression setPoints(QStringLiteral("^spinBox_y_\\d+$"));
        for (QSpinBox* box : page->findChildren<QSpinBox*>(setPoints)) {
            if (box->isEnabled() && !set->contains(box)) {
                box->setValue(value);
                set->append(box);
            }
        }
    });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, driver, &QTimer::stop);
    driver->start(100);

    // A line on standard input drives it on: "stop" presses the stop key on
    // the page; "exit" ends the process with exit(1), as Qt's X platform
    // plugin does when the X connection breaks.
    auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, page);
    QObject::connect(input, &QSocketNotifier::activated, page, [page, input]() {
        char bytes[256];
        const ssize_t n = ::read(STDIN_FILENO, bytes, sizeof bytes);
        if (n <= 0) {
            input->setEnabled(false);
            return;
        }
        for (const QByteArray& line : QByteArray(bytes, int(n)).split('\n')) {
            if (line.isEmpty())
                continue;
            qDebug() << "autotest: input" << line;
            if (line == "stop") {
                QKeyEvent key(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
                QApplication::sendEvent(page, &key);
            } else if (line == "exit") {
                ::exit(1);
            }
        }
    });
}
