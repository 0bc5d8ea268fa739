// In the real window the developer panel is stack page 2 and takes its port
// list from the port search that the window starts while it is built; the
// serial worker answers through the hub.

#include <QComboBox>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QtTest>

#include "app/appwidget.h"
#include "app/tqpagecontrol.h"
#include "configurator/tqcan.h"
#include "devpanel/tqwidget.h"
#include "tempworkdir.h"

class tst_DevPanelWindow : public QObject
{
    Q_OBJECT
private slots:
    void panelIsPageTwoAndListsTheFirstSearch();
};

void tst_DevPanelWindow::panelIsPageTwoAndListsTheFirstSearch()
{
    registerCommunicatMetaTypes();
    TempWorkDir dir;
    QVERIFY(dir.isValid());
    TQCAN::setSettingsFolder(dir.filePath("SetIns")); // not the settings beside the executable
    // The answer comes queued from the worker's thread: listen before the
    // window starts the search.
    QSignalSpy results(TQPageControl::getInstance(), &TQPageControl::signalNotifyTQResult);
    appwidget window;

    auto* panel = qobject_cast<tqWidget*>(window.stackWidget()->widget(2));
    QVERIFY(panel);
    QVERIFY(panel->getSerialWorker());

    QTRY_VERIFY_WITH_TIMEOUT(results.size() >= 1, 30000);
    QCOMPARE(results.at(0).at(0).value<CommunicatPage>().name, QString("TQ_OPAL_SEARCH"));
    // Every port the search reported, in its order; on a machine without
    // serial ports the search reports none and the list stays empty.
    QStringList reported;
    for (const QList<QVariant>& result : results)
        reported += result.at(0).value<CommunicatPage>().text.split(',', Qt::SkipEmptyParts);
    auto* ports = panel->findChild<QComboBox*>("comboBox_serial");
    QStringList listed;
    for (int i = 0; i < ports->count(); ++i)
        listed << ports->itemText(i);
    QCOMPARE(listed, reported);
}

QTEST_MAIN(tst_DevPanelWindow)
#include "tst_devpanel_window.moc"
