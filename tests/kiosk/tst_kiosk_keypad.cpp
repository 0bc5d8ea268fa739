// The numeric keypad reports one text per key press, with its keys laid
// out as the kiosk's pictures expect.

#include <QApplication>
#include <QBoxLayout>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "kiosk/keyboardform.h"

namespace {

QPushButton* key(const keyboardForm& pad, const QString& name)
{
    return pad.findChild<QPushButton*>(name);
}

// The keys of one row, left to right.
QStringList rowKeys(const keyboardForm& pad, const char* row)
{
    QStringList names;
    auto* layout = pad.findChild<QHBoxLayout*>(QLatin1String(row));
    for (int i = 0; i < layout->count(); ++i) {
        if (QWidget* w = layout->itemAt(i)->widget())
            names << w->objectName();
    }
    return names;
}

} // namespace

class tst_kiosk_keypad : public QObject
{
    Q_OBJECT
private slots:
    void keysAreInTheirRows();
    void eachPressEmitsItsText();
    void initAgainKeepsOneConnection();
    void keysShowTheirPictures();
    void withoutSenderNothingIsEmitted();
};

void tst_kiosk_keypad::keysAreInTheirRows()
{
    keyboardForm pad;
    QCOMPARE(rowKeys(pad, "horizontalLayout"), QStringList({"btn1", "btn2", "btn3"}));
    QCOMPARE(rowKeys(pad, "horizontalLayout_2"), QStringList({"btn5", "btn6", "btn4"}));
    QCOMPARE(rowKeys(pad, "horizontalLayout_3"), QStringList({"btn7", "btn8", "btn9"}));
    QCOMPARE(rowKeys(pad, "horizontalLayout_4"), QStringList({"btn0", "btnX"}));
    // The last row keeps an empty place where its first key would be.
    auto* last = pad.findChild<QHBoxLayout*>("horizontalLayout_4");
    QVERIFY(last->itemAt(0)->spacerItem());
    QCOMPARE(last->stretch(0), 105);
    QCOMPARE(last->stretch(1), 6);
}

void tst_kiosk_keypad::eachPressEmitsItsText()
{
    keyboardForm pad;
    pad.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pad));
    QSignalSpy pressed(&pad, &keyboardForm::signalBtn);
    // The middle of the second row is 6, its right end 4.
    auto* middle = pad.findChild<QHBoxLayout*>("horizontalLayout_2");
    QTest::mouseClick(middle->itemAt(2)->widget(), Qt::LeftButton);
    QTest::mouseClick(middle->itemAt(4)->widget(), Qt::LeftButton);
    QCOMPARE(pressed.size(), 2);
    QCOMPARE(pressed.at(0).first().toString(), QStringLiteral("6"));
    QCOMPARE(pressed.at(1).first().toString(), QStringLiteral("4"));

    pressed.clear();
    const QStringList names = {"btn0", "btn1", "btn2", "btn3", "btn4", "btn5",
                               "btn6", "btn7", "btn8", "btn9", "btnX"};
    for (const QString& name : names)
        QTest::mouseClick(key(pad, name), Qt::LeftButton);
    QCOMPARE(pressed.size(), names.size());
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(pressed.at(i).first().toString(), names.at(i).mid(3));
}

void tst_kiosk_keypad::initAgainKeepsOneConnection()
{
    keyboardForm pad;
    pad.init();
    pad.init();
    QSignalSpy pressed(&pad, &keyboardForm::signalBtn);
    key(pad, "btn7")->click();
    key(pad, "btnX")->click();
    QCOMPARE(pressed.size(), 2);
}

void tst_kiosk_keypad::keysShowTheirPictures()
{
    keyboardForm pad;
    const QString one = key(pad, "btn1")->styleSheet();
    QCOMPARE(one.count("url(./resource/pic/Deposit/key/keyboard_1.png)"), 1);
    QCOMPARE(one.count("url(./resource/pic/Deposit/key/keyboard_1_h.png)"), 2);
    QVERIFY(one.contains("color: transparent"));
    QVERIFY(key(pad, "btnX")->styleSheet().contains("keyboard_cancel_h.png"));
    QCOMPARE(key(pad, "btnX")->text(), QStringLiteral("X"));
}

void tst_kiosk_keypad::withoutSenderNothingIsEmitted()
{
    keyboardForm pad;
    QSignalSpy pressed(&pad, &keyboardForm::signalBtn);
    pad.doProcessClickedAllBtn();
    // A key that lost its name is not reported either.
    QPushButton* three = key(pad, "btn3");
    three->setObjectName(QString());
    three->click();
    QCOMPARE(pressed.size(), 0);
}

QTEST_MAIN(tst_kiosk_keypad)
#include "tst_kiosk_keypad.moc"
