// The numeric keypad reports one text per key press, with its keys laid
// out as the kiosk's pictures expect.

#include <QApplication>
#include <QBoxLayout>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "kiosk/keyboardform.h"

class tst_kiosk_keypad : public QObject
{
    Q_OBJECT
private slots:
    void eachKeyInRowOrderEmitsItsText();
};

void tst_kiosk_keypad::eachKeyInRowOrderEmitsItsText()
{
    keyboardForm pad;
    pad.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pad));
    QSignalSpy pressed(&pad, &keyboardForm::signalBtn);
    // Row by row, left to right; the last row keeps an empty place first.
    for (const char* row : {"horizontalLayout", "horizontalLayout_2", "horizontalLayout_3", "horizontalLayout_4"}) {
        auto* layout = pad.findChild<QHBoxLayout*>(QLatin1String(row));
        for (int i = 0; i < layout->count(); ++i) {
            if (QWidget* key = layout->itemAt(i)->widget())
                QTest::mouseClick(key, Qt::LeftButton);
        }
    }
    QVERIFY(pad.findChild<QHBoxLayout*>("horizontalLayout_4")->itemAt(0)->spacerItem());
    QStringList texts;
    for (const QList<QVariant>& press : qAsConst(pressed))
        texts << press.first().toString();
    QCOMPARE(texts, QStringList({"1", "2", "3", "5", "6", "4", "7", "8", "9", "0", "X"}));

    // A second init adds no second connection.
    pad.init();
    pressed.clear();
    QTest::mouseClick(pad.findChild<QPushButton*>("btn1"), Qt::LeftButton);
    QCOMPARE(pressed.size(), 1);
    // Without a sender nothing is emitted.
    pressed.clear();
    pad.doProcessClickedAllBtn();
    // A key that lost its name is not reported either.
    QPushButton* three = pad.findChild<QPushButton*>("btn3");
    three->setObjectName(QString());
    three->click();
    QCOMPARE(pressed.size(), 0);
}

QTEST_MAIN(tst_kiosk_keypad)
#include "tst_kiosk_keypad.moc"
