#include "app/autotest.h"

#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>

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

void armAutotestThrottle(QWidget* page)
{
    const QStringList parts = qEnvironmentVariable("TQ_AUTOTEST_THROTTLE").split(QLatin1Char(','));
    if (parts.size() != 3)
        return;
    auto* port = page->findChild<QComboBox*>(QStringLiteral("comboBox_serial"));
    auto* open = page->findChild<QPushButton*>(QStringLiteral("btnOpen"));
    auto* groups = page->findChild<QComboBox*>(QStringLiteral("comboBoxThrot"));
    if (!port || !open || !groups) {
        qWarning() << "autotest: the page has no port box, open button or group box";
        return;
    }
    port->setEditText(parts.at(0));
    open->click();
    const int count = parts.at(1).toInt();
    const int value = parts.at(2).toInt();
    qDebug() << "autotest: throttle test on" << parts.at(0) << count << "groups at" << value;
    // Rows come up as their nodes are listed.
    auto* driver = new QTimer(page);
    QObject::connect(driver, &QTimer::timeout, page, [page, groups, count, value]() {
        const QRegularExpression setPoints(QStringLiteral("^spinBox_y_\\d+$"));
        for (QSpinBox* box : page->findChildren<QSpinBox*>(setPoints)) {
            if (box->isEnabled() && box->value() == 0)
                box->setValue(value);
        }
        groups->setCurrentIndex(count);
    });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, driver, &QTimer::stop);
    driver->start(100);
}
