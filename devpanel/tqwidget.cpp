#include "devpanel/tqwidget.h"

#include <QDebug>
#include <QRegularExpression>
#include <QTextCursor>

#include "app/msgtypes.h"
#include "app/tqpagecontrol.h"
#include "ui_tqwidget.h"

namespace {

// Every request of this panel goes to this one node.
constexpr int kNodeId = 16;

// The link always runs the adapter's port at this rate.
constexpr int kPortBaud = 500000;

// Commands of the node's execute-command service.
constexpr int kCmdBeginSoftwareUpdate = 65533;
constexpr int kCmdRestart = 65535;

// The node's access code for the begin-software-update command.
const char kAccessCode[] = ".vr-kisa";

// A typed or listed number; text that is not a number reads as 0.
int readNumber(const QString& text)
{
    return text.toInt(nullptr, 10);
}

// The register index as the link can carry it: one byte. Text that is not
// a number reads as 0; a number outside 0..255 (or too long to read) is
// refused, as the link would carry only its low byte.
bool readRegisterIndex(const QString& text, int& index)
{
    static const QRegularExpression number(QStringLiteral("^\\s*[+-]?[0-9]+\\s*$"));
    index = 0;
    if (!number.match(text).hasMatch())
        return true;
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok, 10);
    if (!ok || value < 0 || value > 255)
        return false;
    index = static_cast<int>(value);
    return true;
}

} // namespace

tqWidget::tqWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::tqWidget)
{
    ui->setupUi(this);
    initWidgetConnect();
    ui->lEditPasswd->setText(QString::fromLatin1(kAccessCode));
    ui->lEditRegAddr->setText(QStringLiteral("5"));
}

tqWidget::~tqWidget()
{
    delete ui;
}

subSerialTQThread* tqWidget::getSerialWorker()
{
    return TQPageControl::getInstance()->getSerialWorker();
}

void tqWidget::setOpenBtnText(bool open)
{
    ui->btnOpen->setText(open ? tr("关闭") : tr("打开"));
}

void tqWidget::initWidgetConnect()
{
    m_portOpen = false;
    setOpenBtnText(false);

    QPushButton* const buttons[] = {
        ui->btnOpen, ui->btn_clear, ui->btn_version, ui->btnCheckReg,
        ui->btnUpdataApp, ui->btnReboot, ui->btnOpenFirmware, ui->btnDownLoadFirmware,
        ui->radio_6144_send, ui->btnSetDevId, ui->btnGas,
    };
    for (QPushButton* button : buttons)
        connect(button, &QPushButton::clicked, this, &tqWidget::doProcessClickedAllBtn,
                Qt::UniqueConnection);

    connect(TQPageControl::getInstance(), &TQPageControl::signalNotifyTQResult,
            this, &tqWidget::doProcessRecvPagePack);
}

void tqWidget::doProcessClickedAllBtn()
{
    const QString name = sender() ? sender()->objectName() : QString();
    qDebug() << "btn clicked";
    qDebug() << "slots:  name=" << name;

    TQPageControl* ctrl = TQPageControl::getInstance();
    if (name == QLatin1String("btnOpen")) {
        clickOpen();
    } else if (name == QLatin1String("btn_clear")) {
        ui->cx_searial_recv_text->clear();
    } else if (name == QLatin1String("btn_version")) {
        emit ctrl->signalSeachVersion(kNodeId);
    } else if (name == QLatin1String("btnCheckReg")) {
        clickCheckReg();
    } else if (name == QLatin1String("btnUpdataApp")) {
        clickUpdateApp();
    } else if (name == QLatin1String("btnReboot")) {
        emit ctrl->signalModeCtrl(kNodeId, kCmdRestart, QStringLiteral("0"));
    } else if (name == QLatin1String("btnOpenFirmware")) {
        emit ctrl->signalOpenDbFile(ui->lEditFirmwareDB->text());
    } else if (name == QLatin1String("btnDownLoadFirmware")) {
        clickDownloadFirmware();
    } else if (name == QLatin1String("radio_6144_send")) {
        clickRadio6144();
    } else if (name == QLatin1String("btnSetDevId")) {
        clickSetDevId();
    } else if (name == QLatin1String("btnGas")) {
        emit ctrl->signalGasMode6152(6152, 50, 51, 52, 53);
        qDebug() << "-------------btnGas clicked--";
    }
}

void tqWidget::clickOpen()
{
    // The caption, not the port's state, decides: the panel never hears
    // whether the open succeeded.
    m_portOpen = (ui->btnOpen->text() == tr("打开"));
    setOpenBtnText(m_portOpen);
    TQPageControl* ctrl = TQPageControl::getInstance();
    ctrl->setSerialPortParam(ui->comboBox_serial->currentText(), kPortBaud, 8, 1,
                             QStringLiteral("NONE"));
    emit ctrl->signalOpenOrClosePort(m_portOpen);
}

void tqWidget::clickCheckReg()
{
    int index = 0;
    const bool indexOk = readRegisterIndex(ui->lEditRegAddr->text(), index);
    const int op = ui->comboBox_OP->currentIndex();
    qDebug() << "------regOP=" << op;
    if (!indexOk) {
        refuse(QStringLiteral("register index \"%1\" is outside 0-255: request not sent")
                   .arg(ui->lEditRegAddr->text()));
        return;
    }
    emit TQPageControl::getInstance()->signalSeachReg(kNodeId, index, op, 0);
}

void tqWidget::clickUpdateApp()
{
    const QString code = ui->lEditPasswd->text();
    qDebug() << "------strPasswd=" << code;
    emit TQPageControl::getInstance()->signalModeCtrl(kNodeId, kCmdBeginSoftwareUpdate, code);
}

void tqWidget::clickDownloadFirmware()
{
    const int part = (!ui->radioBPart1->isChecked() && ui->radioBPart2->isChecked()) ? 2 : 1;
    // The download request carries the image in its payload, and this panel
    // has no image to give: an empty transfer would only confuse the node.
    refuse(QStringLiteral("firmware download (part%1) not sent: no image bytes").arg(part));
    qDebug() << "-------------btnDownLoadFirmware clicked--";
}

void tqWidget::clickRadio6144()
{
    const int node = readNumber(ui->comboBox_radio_614_NodeId->currentText());
    const int value = readNumber(ui->comboBox_radio_6144->currentText());
    emit TQPageControl::getInstance()->signalRadioMode6144(6144, value, node);
    qDebug() << "-------------radio_6144_send clicked--";
}

void tqWidget::clickSetDevId()
{
    // Passes the operation index where the link expects the new node ID, so
    // the link sends nothing for this row; kept as the row was designed.
    const int id = readNumber(ui->lEditDevID->text());
    const int op = ui->comboBox_setId->currentIndex();
    emit TQPageControl::getInstance()->signalRadioMode6145(6145, op, id);
    qDebug() << "-------------btnSetDevId clicked--";
}

void tqWidget::refuse(const QString& reason)
{
    qWarning().noquote() << reason;
    appendLog(reason);
}

void tqWidget::doProcessRecvPagePack(CommunicatPage comPagePack)
{
    qDebug() << "doProcessRecvPagePack------start------" << comPagePack.code;
    if (comPagePack.name != g_strCmdType[e_TQ_OPAL_SEARCH])
        return;
    qDebug() << "doProcessRecvPagePack----------" << comPagePack.name << ", port=" << comPagePack.text;
    if (comPagePack.text.isEmpty())
        return;
    // Appended as they come: a port listed by two searches is listed twice.
    const QStringList ports = comPagePack.text.split(QLatin1Char(','), Qt::KeepEmptyParts);
    for (const QString& port : ports) {
        if (!port.isEmpty())
            ui->comboBox_serial->addItem(port);
    }
}

QString tqWidget::bytesToHex(const QByteArray& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    QString hex;
    hex.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        hex += QLatin1Char(digits[b >> 4]);
        hex += QLatin1Char(digits[b & 0x0F]);
        hex += QLatin1Char(' ');
    }
    return hex;
}

QString tqWidget::toHexString(const QString& text)
{
    return bytesToHex(text.toLatin1());
}

void tqWidget::appendLog(const QString& line)
{
    ui->cx_searial_recv_text->append(line);
    ui->cx_searial_recv_text->moveCursor(QTextCursor::End);
}
