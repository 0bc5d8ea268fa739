// The throttle tab of the configurator page on its own, fed with responses
// as the link delivers them: its rows, the throttle test and its stop. No
// worker runs: the throttle messages are watched where they leave the page,
// on its controller's signal.

#include <QtTest>

#include <QInputMethodEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>

#include "app/tqformalpagecontrol.h"
#include "logcapture.h"
#include "modalboxcloser.h"
#include "telemetry/customchartview.h"
#include "telemetry/throtcfgdialog.h"
#include "telemetrypagefixture.h"

using namespace pagetest;
using namespace telemetrytest;

namespace {

// The throttle messages the page handed to its controller: subject, four values.
QList<QList<int>> messages(const QSignalSpy& spy)
{
    QList<QList<int>> out;
    for (const QVariantList& args : spy)
        out << QList<int> {args[0].toInt(), args[1].toInt(), args[2].toInt(), args[3].toInt(), args[4].toInt()};
    return out;
}

} // namespace

class tst_TelemetryPage : public QObject, public PageFixture
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_env.ready(), "the translations must be built next to the test"); }
    void init() { setUpPage(true); }
    void cleanup() { tearDownPage(); }

    void rowsStartDisabledAndHeartbeatsEnableThem();
    void telemetryShowsInItsRowOnly_data();
    void telemetryShowsInItsRowOnly();
    void throttleGroupsGoOutAndKeysStopThem();
    void keyOnTheTabsControlsStopsOrTypes_data();
    void keyOnTheTabsControlsStopsOrTypes();
    void keyInAWindowRaisedOnTheTabStops_data();
    void keyInAWindowRaisedOnTheTabStops();
    void inputMethodTextStops_data();
    void inputMethodTextStops();
    void wheelChangesNoCountNorSetPoint_data();
    void wheelChangesNoCountNorSetPoint();
    void groupsLeftOutGetZerosFirst_data();
    void groupsLeftOutGetZerosFirst();
    void barDialogAndSetPointsFollowEachOther();

private:
    // The port open, nodes 16 and 47 up, set-point N * 10 in row N, and
    // `groups` groups sent.
    void runGroups(QSignalSpy& spy, int groups)
    {
        openPort();
        bringUp({16, 47});
        for (int row = 1; row <= kRows; ++row)
            setPoint(page(), row)->setValue(row * 10);
        throttleCombo()->setCurrentIndex(groups);
        if (groups > 0)
            QTRY_VERIFY_WITH_TIMEOUT(spy.size() >= groups, kSlowMs);
    }
    // Every set-point 0, and the next tick's messages say so.
    void expectStopped(QSignalSpy& spy)
    {
        for (int row = 1; row <= kRows; ++row)
            QCOMPARE(setPoint(page(), row)->value(), 0);
        QCOMPARE(bar(page(), 32)->value(), 0);
        spy.clear();
        QTRY_VERIFY_WITH_TIMEOUT(spy.size() >= 3, kSlowMs);
        QCOMPARE(messages(spy).mid(0, 3), (QList<QList<int>>{{6152, 0, 0, 0, 0}, {6153, 0, 0, 0, 0}, {6154, 0, 0, 0, 0}}));
    }
    // Three groups sent, every set-point as runGroups left it.
    void expectRunningAsSet()
    {
        QCOMPARE(throttleCombo()->currentIndex(), 3);
        for (int row = 1; row <= kRows; ++row)
            QCOMPARE(setPoint(page(), row)->value(), row * 10);
    }
};

void tst_TelemetryPage::rowsStartDisabledAndHeartbeatsEnableThem()
{
    for (int row = 1; row <= kRows; ++row) {
        const auto* id = static_cast<QLineEdit*>(rowWidget(page(), "lEdit_id_y1_", row));
        QCOMPARE(id->text(), "0x" + QString::number(row + 15, 16));
        QVERIFY(!id->isEnabled() && !setPoint(page(), row)->isEnabled() && !bar(page(), row)->isEnabled());
        QCOMPARE(setPoint(page(), row)->value(), 0);
        QCOMPARE(setPoint(page(), row)->maximum(), 2048);
        QCOMPARE(bar(page(), row)->maximum(), 2048);
        QCOMPARE(rowValues(page(), row), repeat(8, "0"));
    }
    QVERIFY(!m_page->throttleTimer().isActive());

    openPort();
    // A heartbeat of a node not yet listed lists it; the next one enables the row.
    feed(heartbeat(17));
    feed(deviceInfo(17));
    QVERIFY(!setPoint(page(), 2)->isEnabled());
    feed(heartbeat(17));
    for (QWidget* w : {rowWidget(page(), "lEdit_zs_y1_", 2), static_cast<QWidget*>(bar(page(), 2)),
                       static_cast<QWidget*>(rowCheck(page(), 2))})
        QVERIFY(w->isEnabled());
    QVERIFY(!setPoint(page(), 1)->isEnabled());
    QVERIFY(!setPoint(page(), 12)->isEnabled()); // "_2" is not the end of "_12"

    // Its values show while it is enabled; closing clears and disables the row.
    setPoint(page(), 2)->setValue(900);
    rowCheck(page(), 2)->setChecked(true);
    feed(t6161(17, 900, 252, 110, 108, 112));
    click(page(), "btnOpen");
    QCOMPARE(rowValues(page(), 2), repeat(8, "0"));
    QCOMPARE(setPoint(page(), 2)->value(), 0);
    QVERIFY(!rowCheck(page(), 2)->isChecked() && !setPoint(page(), 2)->isEnabled());
    feed(t6160(17, 5000, 30, 0x20)); // disabled rows drop what still arrives
    QCOMPARE(rowValues(page(), 2), repeat(8, "0"));

    // Back again and ticked without the reset of a tick: the samples of
    // before the close are gone.
    openPort();
    bringUp({17});
    QSignalBlocker quiet(rowCheck(page(), 2));
    rowCheck(page(), 2)->setChecked(true);
    feed(t6160(17, 100, 30, 0));
    QCOMPARE(line(MainWindow::kThrottle).last(), -1.0);
}

void tst_TelemetryPage::telemetryShowsInItsRowOnly_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("node");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("shown"); // row 1; empty: nothing changes anywhere

    const auto bytes = [](std::initializer_list<int> words, std::string tail = {}) {
        std::string out;
        for (int w : words)
            out += le16(w);
        return QByteArray::fromStdString(out + tail);
    };
    const std::string temps {char(0), char(40), char(255)};
    QTest::newRow("speed tenths") << 6160 << 16 << bytes({12345, 127, 0})
                                  << QStringList {"1234", "12", "0", "0", "0", "0", "0", "0"};
    QTest::newRow("negative toward zero") << 6160 << 16 << bytes({-37, -1, 0x8001})
                                          << QStringList {"-3", "0", "0", "0", "0", "0", "0", "-32767"};
    QTest::newRow("temperatures") << 6161 << 16 << bytes({1000, 252}, temps)
                                  << QStringList {"0", "0", "1000", "25", "-40", "0", "215", "0"};
    QTest::newRow("voltage below zero") << 6161 << 16 << bytes({-200, -5}, std::string(3, char(40)))
                                        << QStringList {"0", "0", "-200", "0", "0", "0", "0", "0"};
    QTest::newRow("node 48") << 6160 << 48 << bytes({999, 999, 1}) << QStringList();
    QTest::newRow("node 15") << 6161 << 15 << bytes({999, 999}, temps) << QStringList();
    QTest::newRow("6160 short") << 6160 << 16 << bytes({999, 999}, "\x01") << QStringList();
    QTest::newRow("6161 short") << 6161 << 16 << bytes({999, 999}, "\x01\x01") << QStringList();
    QTest::newRow("empty") << 6160 << 16 << QByteArray() << QStringList();
    QTest::newRow("port 6162") << 6162 << 16 << bytes({1, 2}) << QStringList();
}

void tst_TelemetryPage::telemetryShowsInItsRowOnly()
{
    QFETCH(int, port);
    QFETCH(int, node);
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, shown);
    tickFirstRow();
    bringUp({47});
    feed(record(uint16_t(port), uint8_t(node), payload.toStdString()));
    for (int row = 1; row <= kRows; ++row)
        QCOMPARE(rowValues(page(), row), row == 1 && !shown.isEmpty() ? shown : repeat(8, "0"));
    if (shown.isEmpty()) {
        QCOMPARE(line(0).size(), 0);
        QCOMPARE(litWord(), quint16(0));
    }
}

void tst_TelemetryPage::throttleGroupsGoOutAndKeysStopThem()
{
    QSignalSpy spy(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalGasMode6152F);
    openPort();
    bringUp({16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27});
    for (int row = 1; row <= 12; ++row)
        setPoint(page(), row)->setValue(row * 100);

    LogCapture log(true);
    throttleCombo()->setCurrentIndex(3);
    QCOMPARE(m_page->throttleTimer().interval(), 10);
    QTRY_VERIFY_WITH_TIMEOUT(spy.size() >= 30, kSlowMs);
    // Each tick's log line, when asked for, names the count and the last
    // subject sent; by default there is none.
    QVERIFY(!log.contains(QtDebugMsg, "spinbox change"));
    QLoggingCategory::setFilterRules("tq.throttle.ticks.debug=true");
    QTRY_VERIFY(log.contains(QtDebugMsg, "spinbox change---updateIndex= 3 ,cmd= 6154"));
    QLoggingCategory::setFilterRules(QString());
    // Whole ticks of the chosen groups in order, rows without a node as 0.
    const auto ticks = [&spy](int groups) {
        QList<QList<int>> out;
        for (int i = 0; i < spy.size(); ++i) {
            out << QList<int>{6152 + i % groups};
            for (int row = 4 * (i % groups) + 1; out.last().size() < 5; ++row)
                out.last() << (row <= 12 ? row * 100 : 0);
        }
        return out;
    };
    QCOMPARE(spy.size() % 3, 0);
    QCOMPARE(messages(spy), ticks(3));
    // Five groups without passing 0: the timer goes on, the next tick sends five.
    throttleCombo()->setCurrentIndex(5);
    QVERIFY(m_page->throttleTimer().isActive());
    spy.clear();
    QTRY_VERIFY_WITH_TIMEOUT(spy.size() >= 10, kSlowMs);
    QCOMPARE(spy.size() % 5, 0);
    QCOMPARE(messages(spy), ticks(5));

    // Digits in a set-point box set that set-point only.
    QSpinBox* first = setPoint(page(), 1);
    first->setFocus();
    first->selectAll();
    QTest::keyClicks(first, "123");
    QCOMPARE(first->value(), 123);
    QCOMPARE(setPoint(page(), 2)->value(), 200);
    // A letter on a row's check box reaches the page: every set-point to 0,
    // and so do the next messages.
    rowCheck(page(), 2)->setFocus();
    QTest::keyClick(rowCheck(page(), 2), Qt::Key_S);
    QCOMPARE(setPoint(page(), 2)->value(), 0);
    QCOMPARE(bar(page(), 2)->value(), 0);
    spy.clear();
    QTRY_VERIFY(!spy.isEmpty());
    QCOMPARE(messages(spy).first(), QList<int>({6152, 0, 0, 0, 0}));
    // Entering the tab takes the focus from the port box, which would take
    // the letter as text, to the page.
    auto* tabs = child<QTabWidget>(page(), "tabWidget");
    tabs->setCurrentIndex(0);
    child<QComboBox>(page(), "comboBox_serial")->lineEdit()->setFocus();
    tabs->setCurrentIndex(2);
    first->setValue(70);
    QCOMPARE(page()->focusWidget(), page());
    QTest::keyClick(page()->focusWidget(), Qt::Key_S);
    QCOMPARE(first->value(), 0);
    // The same from the focused chart.
    first->setValue(50);
    chartOf()->chartView()->setFocus();
    QTest::keyClick(chartOf()->chartView(), Qt::Key_Space);
    QCOMPARE(first->value(), 0);

    throttleCombo()->setCurrentIndex(0);
    QVERIFY(!m_page->throttleTimer().isActive());
    spy.clear();
    QTest::qWait(60);
    QCOMPARE(spy.size(), 0);

    // An upgrade refused at its start (no device chosen) leaves it running;
    // an accepted one switches it off (the upgrade tests show that).
    throttleCombo()->setCurrentIndex(8);
    ModalBoxCloser boxes;
    click(page(), "btnUpgradedev");
    QCOMPARE(boxes.texts(), QStringList({"Please Select One Device"}));
    QCOMPARE(throttleCombo()->currentIndex(), 8);
    QVERIFY(m_page->throttleTimer().isActive());
    throttleCombo()->setCurrentIndex(0);
}

void tst_TelemetryPage::keyOnTheTabsControlsStopsOrTypes_data()
{
    // The control with the focus ("combo list": the group combo box's open
    // list; "at 5": its fifth item under the mouse), the keys pressed, and
    // what follows: "stop" every set-point 0 and nothing else changed, "kept"
    // no stop, or the value a number box shows after typing without a stop.
    QTest::addColumn<QString>("control");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("outcome");

    const QString combo = "comboBoxThrot";
    for (const auto& [name, key] : {std::pair("letter", int(Qt::Key_E)), {"Down", Qt::Key_Down}, {"Up", Qt::Key_Up},
                                    {"Page Down", Qt::Key_PageDown}, {"Page Up", Qt::Key_PageUp},
                                    {"Home", Qt::Key_Home}, {"End", Qt::Key_End}, {"Space", Qt::Key_Space},
                                    {"Enter", Qt::Key_Return}, {"Escape", Qt::Key_Escape}})
        QTest::newRow(qPrintable(QString("group combo, %1").arg(name))) << combo << QList<int>{key} << "stop";
    QTest::newRow("group combo's list, Down then Enter") << "combo list" << QList<int>{Qt::Key_Down, Qt::Key_Return} << "stop";
    QTest::newRow("group combo's list, letter") << "combo list" << QList<int>{Qt::Key_E} << "stop";
    QTest::newRow("group combo's list, Enter") << "combo list at 5" << QList<int>{Qt::Key_Enter} << "stop";
    QTest::newRow("check box, Space") << "checkBox_y1_1" << QList<int>{Qt::Key_Space} << "stop";
    QTest::newRow("last check box, letter") << "checkBox_y1_32" << QList<int>{Qt::Key_S} << "stop";
    QTest::newRow("bar, Right") << "bar" << QList<int>{Qt::Key_Right} << "stop";
    QTest::newRow("bar, Page Down") << "bar" << QList<int>{Qt::Key_PageDown} << "stop";
    // Dragged with the left button held, and moved on after the key.
    QTest::newRow("bar being dragged, letter") << "bar dragged" << QList<int>{Qt::Key_S} << "stop";
    QTest::newRow("settings button, Space") << "btn_throt_set" << QList<int>{Qt::Key_Space} << "stop";
    QTest::newRow("pause button, Space") << "btnSuspend" << QList<int>{Qt::Key_Space} << "stop";
    QTest::newRow("defaults button, Space") << "btnDefaultPara" << QList<int>{Qt::Key_Space} << "stop";
    QTest::newRow("telemetry field, Tab") << "lEdit_zs_y1_1" << QList<int>{Qt::Key_Tab} << "stop";

    // A set-point box holding 12, the cursor at its end.
    const QString box = "spinBox_y_1";
    QTest::newRow("set-point, digit") << box << QList<int>{Qt::Key_5} << "125";
    QTest::newRow("set-point, keypad digits") << box << QList<int>{Qt::Key_0, Qt::Key_9} << "1209";
    QTest::newRow("set-point, Backspace") << box << QList<int>{Qt::Key_Backspace} << "1";
    QTest::newRow("set-point, Home then Delete") << box << QList<int>{Qt::Key_Home, Qt::Key_Delete} << "2";
    QTest::newRow("set-point, Left then digit") << box << QList<int>{Qt::Key_Left, Qt::Key_7} << "172";
    QTest::newRow("set-point, Right") << box << QList<int>{Qt::Key_Right} << "12";
    QTest::newRow("set-point, End") << box << QList<int>{Qt::Key_End} << "12";
    for (const auto& [name, key] : {std::pair("Up", int(Qt::Key_Up)), {"Down", Qt::Key_Down}, {"Page Up", Qt::Key_PageUp},
                                    {"letter", Qt::Key_A}, {"Space", Qt::Key_Space}, {"Enter", Qt::Key_Return},
                                    {"Escape", Qt::Key_Escape}, {"Tab", Qt::Key_Tab}, {"Shift", Qt::Key_Shift}})
        QTest::newRow(qPrintable(QString("set-point, %1").arg(name))) << box << QList<int>{key} << "stop";
    QTest::newRow("digit, then Up") << box << QList<int>{Qt::Key_3, Qt::Key_Up} << "stop";
    QTest::newRow("last set-point, Up") << "spinBox_y_32" << QList<int>{Qt::Key_Up} << "stop";
    // Its up arrow held down with the left button, stepping it up.
    QTest::newRow("set-point's arrow held, letter") << "arrow held" << QList<int>{Qt::Key_S} << "stop";
    QTest::newRow("pole pairs, Backspace then digit") << "spinBox_jdz_y1_1" << QList<int>{Qt::Key_Backspace, Qt::Key_9} << "19";
    QTest::newRow("pole pairs, Up") << "spinBox_jdz_y1_1" << QList<int>{Qt::Key_Up} << "stop";
    // Above the tabs: the port box (the port closed) takes its letters.
    QTest::newRow("port box, letter") << "comboBox_serial" << QList<int>{Qt::Key_X} << "kept";
}

void tst_TelemetryPage::keyOnTheTabsControlsStopsOrTypes()
{
    QFETCH(QString, control);
    QFETCH(QList<int>, keys);
    QFETCH(QString, outcome);
    QSignalSpy spy(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalGasMode6152F);
    openPort();
    bringUp({16, 47});
    if (control == "comboBox_serial")
        click(page(), "btnOpen");
    for (int row = 1; row <= kRows; ++row)
        setPoint(page(), row)->setValue(row * 10);
    child<QSpinBox>(page(), "spinBox_jdz_y1_1")->setValue(12);
    throttleCombo()->setCurrentIndex(3);
    QTRY_VERIFY_WITH_TIMEOUT(spy.size() >= 3, kSlowMs);

    // What a key may not change besides the set-points.
    const auto others = [this] {
        return QStringList {throttleCombo()->currentText(), rowCheck(page(), 1)->isChecked() ? "ticked" : "not ticked",
                            caption(page(), "btnSuspend")};
    };
    const QStringList before = others();
    ModalBoxCloser boxes;
    QStringList opened; // the settings dialog, should the key open it
    QTimer guard;
    connect(&guard, &QTimer::timeout, page(), [&] {
        if (auto* dialog = page()->findChild<ThrotCfgDialog*>(); dialog && dialog->isVisible()) {
            opened << dialog->windowTitle();
            dialog->reject();
        }
    });
    guard.start(20);

    const bool list = control.startsWith("combo list");
    QWidget* target = list                    ? throttleCombo()->view()
                    : control.startsWith("bar") ? static_cast<QWidget*>(bar(page(), 1))
                    : control == "arrow held"   ? setPoint(page(), 1)
                                              : child(page(), qPrintable(control));
    const auto drag = [target](QEvent::Type type, int x) {
        QMouseEvent event(type, QPoint(x, 5), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    };
    if (control == "bar dragged") {
        drag(QEvent::MouseButtonPress, 20);
        drag(QEvent::MouseMove, 40);
        QVERIFY(setPoint(page(), 1)->value() > 10);
    }
    auto* box = qobject_cast<QSpinBox*>(target);
    if (box) {
        box->setValue(12);
        box->findChild<QLineEdit*>()->end(false);
    }
    const int arrow = target->width() - 5; // the up arrow at y 5
    if (control == "arrow held") {
        drag(QEvent::MouseButtonPress, arrow);
        QTRY_VERIFY(box->value() > 13); // repeating
    }
    if (list) {
        throttleCombo()->showPopup();
        QTRY_VERIFY(target->isVisible());
        if (control.endsWith("at 5"))
            throttleCombo()->view()->setCurrentIndex(throttleCombo()->model()->index(5, 0));
    }
    // The keys come as the window system delivers them, to the window of
    // the widget with the focus.
    target->setFocus();
    QCOMPARE(target->window()->focusWidget(), target);
    for (int key : keys)
        QTest::keyClick(target->window()->windowHandle(), Qt::Key(key),
                        key == Qt::Key_9 ? Qt::KeypadModifier : Qt::NoModifier);

    if (control == "bar dragged") { // the button still held: the bar has let go
        drag(QEvent::MouseMove, 60);
        drag(QEvent::MouseButtonRelease, 60);
    }
    if (control == "arrow held") { // held on, no step; released, a new press steps
        QTest::qWait(400);
        QCOMPARE(box->value(), 0);
        drag(QEvent::MouseButtonRelease, arrow);
        drag(QEvent::MouseButtonPress, arrow);
        drag(QEvent::MouseButtonRelease, arrow);
        QCOMPARE(box->value(), 1);
        box->setValue(0);
    }

    // The group count never moves, nor anything else the control would do.
    QCOMPARE(others(), before);
    QCOMPARE(throttleCombo()->currentIndex(), 3);
    QVERIFY(!throttleCombo()->view()->isVisible());
    QTest::qWait(50); // room for a box the control would have opened
    QCOMPARE(boxes.titles() + opened, QStringList());
    spy.clear();
    QTRY_VERIFY_WITH_TIMEOUT(spy.size() >= 3, kSlowMs);
    const QList<QList<int>> tick = messages(spy).mid(0, 3);
    if (outcome == "stop") {
        for (int row = 1; row <= kRows; ++row)
            QCOMPARE(setPoint(page(), row)->value(), 0);
        QCOMPARE(bar(page(), 32)->value(), 0);
        QCOMPARE(tick, (QList<QList<int>>{{6152, 0, 0, 0, 0}, {6153, 0, 0, 0, 0}, {6154, 0, 0, 0, 0}}));
        return;
    }
    // Typing changes the box typed into, and stops nothing.
    for (int row = 2; row < kRows; ++row)
        QCOMPARE(setPoint(page(), row)->value(), row * 10);
    if (outcome == "kept") {
        QCOMPARE(child<QComboBox>(page(), "comboBox_serial")->currentText().right(1), QString("x"));
        return;
    }
    QCOMPARE(box->value(), outcome.toInt());
    QCOMPARE(setPoint(page(), 32)->value(), 320);
    QCOMPARE(tick.value(0), QList<int>({6152, box == setPoint(page(), 1) ? outcome.toInt() : 10, 20, 30, 40}));
}

void tst_TelemetryPage::keyInAWindowRaisedOnTheTabStops_data()
{
    // The window the tab raises, the keys pressed there while the test
    // runs, and what follows: "stop" every set-point 0 and the window left
    // as it was (a menu closes), "kept" no stop, or the value the dialog's
    // maximum shows after typing into it without a stop.
    QTest::addColumn<QString>("window");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("outcome");
    // Space, Escape and Enter would close the window; Shift is no text.
    for (const auto& [name, key] : {std::pair("letter", int(Qt::Key_E)), {"Shift", Qt::Key_Shift},
                                    {"Space", Qt::Key_Space}, {"Escape", Qt::Key_Escape}, {"Enter", Qt::Key_Return}}) {
        QTest::newRow(qPrintable(QString("settings dialog, %1").arg(name))) << "dialog" << QList<int>{key} << "stop";
        if (key == Qt::Key_Space || key == Qt::Key_Escape)
            QTest::newRow(qPrintable(QString("defaults box, %1").arg(name))) << "box" << QList<int>{key} << "stop";
    }
    QTest::newRow("settings dialog, digits") << "dialog" << QList<int>{Qt::Key_9, Qt::Key_0, Qt::Key_Backspace, Qt::Key_7} << "97";
    for (const auto& [name, key] : {std::pair("digit", int(Qt::Key_5)), {"Home", Qt::Key_Home}, {"Right", Qt::Key_Right}})
        QTest::newRow(qPrintable(QString("set-point's menu, %1").arg(name))) << "menu" << QList<int>{key} << "stop";
    // With the test off the dialog keeps its keys: Escape closes it.
    QTest::newRow("settings dialog, test off, Escape") << "dialog, test off" << QList<int>{Qt::Key_Escape} << "kept";
}

void tst_TelemetryPage::keyInAWindowRaisedOnTheTabStops()
{
    QFETCH(QString, window);
    QFETCH(QList<int>, keys);
    QFETCH(QString, outcome);
    QSignalSpy spy(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalGasMode6152F);
    runGroups(spy, window.endsWith("test off") ? 0 : 3);
    // Once the window shows: the keys as the window system delivers them,
    // then whether it is still open and what its maximum box shows.
    QStringList seen;
    QTimer driver;
    connect(&driver, &QTimer::timeout, page(), [&] {
        QWidget* shown = QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                           : QApplication::activeWindow();
        if (!shown || shown == page() || !seen.isEmpty())
            return;
        auto* maximum = shown->findChild<QSpinBox*>("spinBox_throt_max");
        if (maximum) {
            maximum->setFocus();
            maximum->selectAll();
        }
        for (int key : keys)
            QTest::keyClick(shown->windowHandle(), Qt::Key(key));
        seen << (shown->isVisible() ? "open" : "closed") << (maximum ? maximum->text() : QString());
        shown->close();
    });
    driver.start(20);
    if (window.startsWith("dialog")) {
        click(page(), "btn_throt_set");
    } else if (window == "box") {
        click(page(), "btnDefaultPara");
    } else {
        QSpinBox* box = setPoint(page(), 1);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), box->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(box, &menu);
    }
    QCOMPARE(seen.value(0), window == "menu" || outcome == "kept" ? "closed" : "open");
    if (outcome == "stop") {
        expectStopped(spy);
        return;
    }
    QCOMPARE(throttleCombo()->currentIndex(), outcome == "kept" ? 0 : 3);
    for (int row = 1; row <= kRows; ++row)
        QCOMPARE(setPoint(page(), row)->value(), row * 10);
    if (outcome != "kept")
        QCOMPARE(seen.value(1), outcome);
}

void tst_TelemetryPage::inputMethodTextStops_data()
{
    // What an input method hands a set-point box holding 10 (a dead key's
    // accent waiting, a digit committed) and whether it stops.
    QTest::addColumn<QString>("preedit");
    QTest::addColumn<QString>("commit");
    QTest::addColumn<bool>("stops");
    QTest::newRow("dead key waiting") << QString::fromUtf8("\u00b4") << QString() << true;
    QTest::newRow("digit") << QString() << "5" << true;
    QTest::newRow("nothing, only tidying up") << QString() << QString() << false;
}

void tst_TelemetryPage::inputMethodTextStops()
{
    QFETCH(QString, preedit);
    QFETCH(QString, commit);
    QFETCH(bool, stops);
    QSignalSpy spy(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalGasMode6152F);
    runGroups(spy, 3);
    QSpinBox* box = setPoint(page(), 1);
    box->setFocus();
    QInputMethodEvent event(preedit, {});
    event.setCommitString(commit);
    QApplication::sendEvent(QGuiApplication::focusObject(), &event);
    if (stops)
        expectStopped(spy);
    else
        expectRunningAsSet();
}

void tst_TelemetryPage::wheelChangesNoCountNorSetPoint_data()
{
    // What the pointer is over, whether it has the focus, and the wheel's
    // direction (120: up, away from the user).
    QTest::addColumn<QString>("over");
    QTest::addColumn<bool>("focused");
    QTest::addColumn<int>("delta");
    QTest::newRow("group combo, up") << "comboBoxThrot" << false << 120;
    QTest::newRow("group combo, focused, down") << "comboBoxThrot" << true << -120;
    QTest::newRow("set-point, up") << "spinBox_y_1" << false << 120;
    QTest::newRow("set-point, focused, up") << "spinBox_y_1" << true << 120;
    QTest::newRow("last set-point, down") << "spinBox_y_32" << false << -120;
}

void tst_TelemetryPage::wheelChangesNoCountNorSetPoint()
{
    QFETCH(QString, over);
    QFETCH(bool, focused);
    QFETCH(int, delta);
    QSignalSpy spy(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalGasMode6152F);
    runGroups(spy, 3);
    QWidget* target = child(page(), qPrintable(over));
    if (focused)
        target->setFocus();
    // The rows scrolled half way, so that the wheel can move them either way.
    QScrollBar* rows = child<QScrollArea>(page(), "scrollArea")->verticalScrollBar();
    QVERIFY(rows->maximum() > 0);
    rows->setValue(rows->maximum() / 2);
    const int scrolled = rows->value();
    // To the widget under the pointer: a set-point box's text field.
    QWidget* under = target->childAt(target->rect().center()) ? target->childAt(target->rect().center()) : target;
    const QPoint at = under->rect().center();
    QWheelEvent wheel(at, under->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    // As the window system delivers it (QTest's way): offered up the parents.
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    qApp->notify(under, &wheel);
    expectRunningAsSet();
    spy.clear();
    QTRY_VERIFY_WITH_TIMEOUT(spy.size() >= 6, kSlowMs);
    const QList<QList<int>> tick = messages(spy).mid(0, 3);
    QCOMPARE(tick, (QList<QList<int>>{{6152, 10, 20, 30, 40}, {6153, 50, 60, 70, 80}, {6154, 90, 100, 110, 120}}));
    // The rows still scroll under a set-point box.
    if (over.startsWith("spinBox"))
        QCOMPARE(rows->value() - scrolled < 0 ? 120 : rows->value() - scrolled > 0 ? -120 : 0, delta);
}

void tst_TelemetryPage::groupsLeftOutGetZerosFirst_data()
{
    // Groups running, what happens, and the requests the page makes at once:
    // "gas S" a message of zero set-points to subject S, "close" the port's
    // closing.
    QTest::addColumn<int>("groups");
    QTest::addColumn<QString>("way");
    QTest::addColumn<QStringList>("requests");

    const auto zeros = [](int first, int last) {
        QStringList out;
        for (int g = first; g <= last; ++g)
            out << QString("gas %1").arg(6151 + g);
        return out;
    };
    QTest::newRow("count 0") << 8 << "count 0" << zeros(1, 8);
    QTest::newRow("count lowered to 2") << 8 << "count 2" << zeros(3, 8);
    QTest::newRow("count lowered by one") << 8 << "count 7" << zeros(8, 8);
    QTest::newRow("count 0 from 1") << 1 << "count 0" << zeros(1, 1);
    QTest::newRow("count raised") << 2 << "count 8" << QStringList();
    QTest::newRow("port closed by the user") << 5 << "close" << zeros(1, 5) + QStringList{"close"};
    QTest::newRow("port closed, test off") << 0 << "close" << QStringList{"close"};
    QTest::newRow("port lost") << 8 << "lost" << QStringList{"close"};
    QTest::newRow("page ends") << 6 << "end" << zeros(1, 6);
}

void tst_TelemetryPage::groupsLeftOutGetZerosFirst()
{
    QFETCH(int, groups);
    QFETCH(QString, way);
    QFETCH(QStringList, requests);
    openPort();
    bringUp({16, 47});
    for (int row = 1; row <= kRows; ++row)
        setPoint(page(), row)->setValue(row * 10);
    QStringList made;
    QObject recorder;
    auto* control = tqformalpagecontrol::getInstance();
    // The ticks carry set-points that are never all 0 here: only the zeros.
    connect(control, &tqformalpagecontrol::signalGasMode6152F, &recorder, [&](int subject, int a, int b, int c, int d) {
        if (!a && !b && !c && !d)
            made << QString("gas %1").arg(subject);
    });
    connect(control, &tqformalpagecontrol::signalOpenOrClosePortF, &recorder,
            [&](bool open) { made << (open ? "open" : "close"); });
    throttleCombo()->setCurrentIndex(groups);
    QTest::qWait(30); // some ticks
    QCOMPARE(made, QStringList());

    ModalBoxCloser boxes;
    if (way.startsWith("count")) {
        throttleCombo()->setCurrentIndex(way.mid(6).toInt());
    } else if (way == "close") {
        click(page(), "btnOpen");
    } else if (way == "end") {
        m_page.reset();
        QCOMPARE(made, requests);
        return;
    } else {
        feed(linkCode(kRespOpenResult, kOpenPortLost));
    }
    QCOMPARE(made, requests);
    if (way == "lost")
        QCOMPARE(boxes.texts(), QStringList({"Serial Port Closed Unexpectedly !"}));
    throttleCombo()->setCurrentIndex(0);
}

void tst_TelemetryPage::barDialogAndSetPointsFollowEachOther()
{
    openPort();
    bringUp({20, 27});
    CProgressBarV2* bar5 = bar(page(), 5);
    const int w = bar5->width();
    QTest::mouseClick(bar5, Qt::LeftButton, Qt::NoModifier, QPoint(w - 30, bar5->height() / 2));
    QCOMPARE(setPoint(page(), 5)->value(), 2048);
    QTest::mouseClick(bar5, Qt::RightButton, Qt::NoModifier, QPoint(10, 5));
    QCOMPARE(setPoint(page(), 5)->value(), 2048);

    // Typing into row 12's box moves its bar, not row 1's.
    setPoint(page(), 12)->setValue(300);
    QCOMPARE(bar(page(), 12)->value(), 300);
    QCOMPARE(bar(page(), 1)->value(), 0);

    // The settings dialog: cancelled it changes nothing; accepted with "20ms"
    // it re-ranges every set-point and bar, and the interval stays.
    setPoint(page(), 5)->setValue(800);

    const auto runDialog = [&](int maximum, int rate, bool accept) {
        QTimer::singleShot(0, page(), [=] {
            auto* dialog = page()->findChild<ThrotCfgDialog*>();
            QVERIFY(dialog && dialog->isModal());
            if (!dialog->isSizeGripEnabled())
                dialog->reject();  // a failure must not leave the test waiting in the dialog
            QVERIFY(dialog->isSizeGripEnabled());
            dialog->findChild<QSpinBox*>("spinBox_throt_max")->setValue(maximum);
            dialog->findChild<QComboBox*>("comBox_throt_freq")->setCurrentIndex(rate);
            if (accept)
                QTest::mouseClick(dialog->findChild<QPushButton*>("btn_throt_cfg"), Qt::LeftButton);
            else
                dialog->reject();
        });
        click(page(), "btn_throt_set");
    };

    runDialog(500, 3, false);
    QCOMPARE(setPoint(page(), 5)->value(), 800);
    QCOMPARE(setPoint(page(), 5)->maximum(), 2048);
    runDialog(500, 3, true);
    for (int row = 1; row <= kRows; ++row) {
        QCOMPARE(setPoint(page(), row)->maximum(), 500);
        QCOMPARE(bar(page(), row)->maximum(), 500);
    }
    QCOMPARE(setPoint(page(), 5)->value(), 500);
    QCOMPARE(bar(page(), 5)->value(), 500);
    QCOMPARE(setPoint(page(), 12)->value(), 300);
    throttleCombo()->setCurrentIndex(1);
    QCOMPARE(m_page->throttleTimer().interval(), 10);
    throttleCombo()->setCurrentIndex(0);
}

QTEST_MAIN(tst_TelemetryPage)
#include "tst_telemetry_page.moc"
