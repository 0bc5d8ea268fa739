#include "kiosk/keyboardform.h"

#include <QAbstractButton>
#include <QDebug>

#include "ui_keyboardform.h"

namespace {

// %1 is the key's picture name; the text is drawn by the picture, so the
// button's own text is transparent.
const char kKeyStyle[] =
    "QPushButton{border-image:url(./resource/pic/Deposit/key/%1.png);        color: transparent; "
    "font: bold;font-family:\"Aharoni\";font-size:20pt;  border-radius: 10px;  border: 2px groove gray;"
    "        border-style: outset;}"
    "QPushButton:hover{border-image:url(./resource/pic/Deposit/key/%1_h.png); color: transparent;}"
    "QPushButton:pressed{border-image:url(./resource/pic/Deposit/key/%1_h.png);        "
    "border-style: inset; }";

} // namespace

keyboardForm::keyboardForm(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::keyboardForm)
{
    ui->setupUi(this);
    initStyle();
    initConnect();
}

keyboardForm::~keyboardForm()
{
    delete ui;
}

void keyboardForm::init()
{
    initStyle();
    initConnect();
}

void keyboardForm::initStyle()
{
    const struct { QPushButton* key; const char* picture; } keys[] = {
        {ui->btn1, "keyboard_1"}, {ui->btn2, "keyboard_2"}, {ui->btn3, "keyboard_3"},
        {ui->btn4, "keyboard_4"}, {ui->btn5, "keyboard_5"}, {ui->btn6, "keyboard_6"},
        {ui->btn7, "keyboard_7"}, {ui->btn8, "keyboard_8"}, {ui->btn9, "keyboard_9"},
        {ui->btn0, "keyboard_0"}, {ui->btnX, "keyboard_cancel"},
    };
    for (const auto& k : keys)
        k.key->setStyleSheet(QString::fromLatin1(kKeyStyle).arg(QLatin1String(k.picture)));
}

void keyboardForm::initConnect()
{
    const QList<QPushButton*> keys = {ui->btn0, ui->btn1, ui->btn2, ui->btn3, ui->btn4, ui->btn5,
                                      ui->btn6, ui->btn7, ui->btn8, ui->btn9, ui->btnX};
    for (QPushButton* key : keys)
        connect(key, &QPushButton::clicked, this, &keyboardForm::doProcessClickedAllBtn,
                Qt::UniqueConnection);
}

void keyboardForm::doProcessClickedAllBtn()
{
    const auto* key = qobject_cast<const QAbstractButton*>(sender());
    if (!key) {
        qDebug() << "click btn :  name= (no key)";
        return;
    }
    const QString name = key->objectName();
    qDebug() << "click btn :  name=" << name;
    if (!name.isEmpty())
        emit signalBtn(key->text());
}
