#include "kiosk/cashselectpage.h"

#include <QCloseEvent>
#include <QDebug>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QTranslator>

#include "kiosk/cashselectpagecontrol.h"
#include "kiosk/commoncontrol.h"
#include "kiosk/kioskscale.h"
#include "kiosk/kiosktranslation.h"
#include "ui_cashselectpage.h"

namespace {

// One translator for every currency page of the process. Guarded: it is a
// child of the page that made it and goes with that page.
QPointer<QTranslator> s_pageTranslator;

const char kBackground[] = "./resource/pic/deposit_bg.png";
const char kTitleFont[] = "./font/HiraginoSansCNS-W6.otf";

const char kMenuStyle[] =
    "QPushButton{border-image:url(./resource/pic/CashSelect/%1/btn_menu.png);}"
    "QPushButton:hover{border-image:url(./resource/pic/CashSelect/%2/btn_menu2.png); color: black;}"
    "QPushButton:pressed{border-image:url(./resource/pic/CashSelect/%3/btn_menu.png);    "
    "border-style: inset; }";

const char kNextStyle[] =
    "QPushButton{border-image:url(./resource/pic/CashSelect/%1/btn_next.png);    color: white; "
    "font: bold;font-family:\"Aharoni\";font-size:20pt;  border-radius: 10px;  border: 2px groove gray;"
    "    border-style: outset;}"
    "QPushButton:hover{border-image:url(./resource/pic/CashSelect/%2/btn_next2.png); color: black;}"
    "QPushButton:pressed{border-image:url(./resource/pic/CashSelect/%3/btn_next.png);    "
    "border-style: inset; }";

QString filledWithFolder(const char* style, const QString& folder)
{
    return QString::fromLatin1(style).arg(folder, folder, folder);
}

} // namespace

CashSelectPage::CashSelectPage(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::CashSelectPage)
{
    ui->setupUi(this);
    init();
    // Closing this page must never end the application.
    setAttribute(Qt::WA_QuitOnClose, false);
}

CashSelectPage::~CashSelectPage()
{
    releaseLanguageFrame();
    releaseAtmIdFrame();
    delete ui;
}

commoncontrol* CashSelectPage::common() const
{
    return cashselectpageControl::getInstance()->mCommonCtrl;
}

void CashSelectPage::init()
{
    // Reads the kiosk language from the settings file as it is built.
    cashselectpageControl::getInstance()->mCommonCtrl = new commoncontrol(nullptr);
    calcScale();
    ButtonInit();
    initTitle();
    m_frameLanguage = ui->frame_sel_language;
    m_frameAtmId = ui->frame_sel_atm_id;
    showATMID();
    connectLanguage();
    cashselectpageControl::getInstance()->initPageHook();
}

void CashSelectPage::calcScale()
{
    m_scale = kioskscale::primaryScreenScale();
}

void CashSelectPage::initTitle()
{
    QPalette palette = ui->labelSelect->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::WindowText, Qt::white);
    if (commoncontrol* ctrl = common())
        ctrl->setWidgetFont(ui->labelSelect, kioskscale::pixelSize(24.0, m_scale), QLatin1String(kTitleFont));
    ui->labelSelect->setPalette(palette);
    setMenuNextBtnStyle(QStringLiteral("KHR"));
    ui->labelSelect->setText(tr("Please select the currency"));
}

void CashSelectPage::retranslateTitle()
{
    ui->labelSelect->setText(tr("Please select the currency"));
}

void CashSelectPage::setMenuNextBtnStyle(const QString& languageFolder)
{
    ui->btnMenu->setStyleSheet(filledWithFolder(kMenuStyle, languageFolder));
    ui->btnNext->setStyleSheet(filledWithFolder(kNextStyle, languageFolder));
    // Never shown, but its place in the bottom row stays reserved.
    QSizePolicy policy = ui->btnNext->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    ui->btnNext->setSizePolicy(policy);
    ui->btnNext->hide();
}

void CashSelectPage::connectLanguage()
{
    connect(cashselectpageControl::getInstance(), &cashselectpageControl::signalUpdateLang,
            this, &CashSelectPage::doProcessShowFixLanguage);
}

void CashSelectPage::showATMID()
{
    qDebug() << "--CashSelectPage::showATMID-ATMID=" << ui->frame_sel_atm_id->size();
    if (commoncontrol* ctrl = common())
        ctrl->displayATMID(ui->frame_sel_atm_id);
}

void CashSelectPage::releaseLanguageFrame()
{
    if (commoncontrol* ctrl = common())
        ctrl->deleteComboxLang();
    if (m_frameLanguage) {
        m_frameLanguage = nullptr;
        qDebug() << "CashSelectPage::delete comLanguage ";
    }
}

void CashSelectPage::releaseAtmIdFrame()
{
    if (commoncontrol* ctrl = common())
        ctrl->deleteATMID();
    if (m_frameAtmId) {
        m_frameAtmId = nullptr;
        qDebug() << "CashSelectPage::delete AtmId frame";
    }
}

void CashSelectPage::doProcessClickedAllBtn()
{
    qDebug() << "btn clicked";
    const QObject* button = sender();
    if (!button)
        return;
    const QString name = button->objectName();
    qDebug() << "click btn :  name=" << name;
    if (name == QLatin1String("btnMenu")) {
        emit cashselectpageControl::getInstance()->signalClickMenu();
        qDebug() << "click btn menu";
    }
    // Choosing a currency is not acted upon yet.
}

void CashSelectPage::doProcessShowFixLanguage(int languageType)
{
    qDebug() << "CashSelectPage doProcessShowFixLanguage--begin";
    kiosktranslation::replacePageTranslator(s_pageTranslator, this, languageType);
}

bool CashSelectPage::eventFilter(QObject* watched, QEvent* event)
{
    // The currency under the mouse grows; leaving any returns all to size.
    constexpr int kNormal = 260;
    constexpr int kHovered = 321;
    if (event->type() == QEvent::Enter) {
        int hovered = -1;
        for (int c = 0; c < CurrencyCount; ++c) {
            if (currencyButton(Currency(c)) == watched)
                hovered = c;
        }
        if (hovered >= 0) {
            for (int c = 0; c < CurrencyCount; ++c)
                ui->hLayoutMiddle->setStretchFactor(currencyButton(Currency(c)),
                                                    c == hovered ? kHovered : kNormal);
        }
    } else if (event->type() == QEvent::Leave) {
        for (int c = 0; c < CurrencyCount; ++c)
            ui->hLayoutMiddle->setStretchFactor(currencyButton(Currency(c)), kNormal);
    }
    return QWidget::eventFilter(watched, event);
}

void CashSelectPage::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    const QPixmap background{QString::fromLatin1(kBackground)};
    painter.drawPixmap(QRect(0, 0, width(), height()), background, background.rect());
}

void CashSelectPage::closeEvent(QCloseEvent* event)
{
    emit signalToQuit();
    QWidget::closeEvent(event);
}

void CashSelectPage::changeEvent(QEvent* event)
{
    if (event->type() != QEvent::LanguageChange)
        return;
    qDebug() << "changeEvent" << event->type();
    ButtonInitRefresh(-1);
    retranslateTitle();
}
