#include "kiosk/mainpage.h"

#include <QApplication>
#include <QDebug>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>

#include "app/mainpagecontrol.h"
#include "kiosk/commoncontrol.h"
#include "kiosk/kioskscale.h"
#include "kiosk/kiosktranslation.h"
#include "ui_mainpage.h"

namespace {

// One translator for every home page of the process. Guarded: it is a child
// of the page that made it and goes with that page.
QPointer<QTranslator> s_pageTranslator;

const char kBackground[] = "./resource/pic/backgrond_main.png";
const char kButtonFolder[] = "./resource/pic/MainPage/";

// The same picture in all three states; hover and press change only the
// text colour and the border.
const char kButtonStyle[] =
    "QPushButton{border-image:url(%1/%4);    color: white; font: bold;font-family:\"Aharoni\";"
    "font-size:20pt;  border-radius: 10px;  border: 2px groove gray;    border-style: outset;}"
    "QPushButton:hover{border-image:url(%2/%4); color: black;}"
    "QPushButton:pressed{border-image:url(%3/%4);    border-style: inset; }";

const char kTitleFont[] = "./font/HiraginoSansCNS-W6.otf";
const char kLatinTitleFont[] = "./font/Lucida-Grande-Bold.ttf";
const char kKhmerFont[] = "./font/KHMEROSCONTENT_1.ttf";
const char kDateFont[] = "./font/HelveticaExt-Normal.ttf";
const char kClockFont[] = "./font/HelveticaNeue-Heavy.otf";
const char kAmPmFont[] = "./font/Futura-LT-W01-Book.ttf";

const char* const kMonths[] = {
    QT_TRANSLATE_NOOP("mainpage", "Jan"), QT_TRANSLATE_NOOP("mainpage", "Feb"),
    QT_TRANSLATE_NOOP("mainpage", "Mar"), QT_TRANSLATE_NOOP("mainpage", "Apr"),
    QT_TRANSLATE_NOOP("mainpage", "May"), QT_TRANSLATE_NOOP("mainpage", "June"),
    QT_TRANSLATE_NOOP("mainpage", "July"), QT_TRANSLATE_NOOP("mainpage", "Aug"),
    QT_TRANSLATE_NOOP("mainpage", "Sept"), QT_TRANSLATE_NOOP("mainpage", "Oct"),
    QT_TRANSLATE_NOOP("mainpage", "Nov"), QT_TRANSLATE_NOOP("mainpage", "Dec"),
};

const char* const kWeekdays[] = {
    QT_TRANSLATE_NOOP("mainpage", "MONDAY"), QT_TRANSLATE_NOOP("mainpage", "TUESDAY"),
    QT_TRANSLATE_NOOP("mainpage", "WEDNESDAY"), QT_TRANSLATE_NOOP("mainpage", "THURSDAY"),
    QT_TRANSLATE_NOOP("mainpage", "FRIDAY"), QT_TRANSLATE_NOOP("mainpage", "SATURDAY"),
    QT_TRANSLATE_NOOP("mainpage", "SUNDAY"),
};

QString monthName(int month)
{
    if (month < 1 || month > 12)
        return QString();
    return mainpage::tr(kMonths[month - 1]);
}

QString weekdayName(int day)
{
    if (day < 1 || day > 7)
        return mainpage::tr("error");
    return mainpage::tr(kWeekdays[day - 1]);
}

void makeTextWhite(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setBrush(QPalette::WindowText, QBrush(Qt::white));
    widget->setPalette(palette);
}

} // namespace

mainpage::mainpage(QWidget* parent)
    : QWidget(parent, Qt::WindowFlags())
    , form(new Ui::mainpage)
{
    form->setupUi(this);
    // Every language change sizes the fonts with the factor, so it is known
    // before the first one arrives.
    calcScale();
}

mainpage::~mainpage()
{
    deleteComLanguage();
    deleteComAtmId();
    mainpageControl::getInstance()->deleteMutexThread();
    delete form;
}

commoncontrol* mainpage::common() const
{
    return mainpageControl::getInstance()->mCommonCtrl;
}

void mainpage::analyseRecordVideo(int curPage)
{
    qDebug() << "---analyseRecordVideo----curPage=" << curPage;
}

void mainpage::calcScale()
{
    m_scale = kioskscale::primaryScreenScale();
}

void mainpage::initConnect()
{
    mainpageControl* control = mainpageControl::getInstance();
    connect(control, &mainpageControl::signalNotifyResult, this, &mainpage::doProcessShowResult);
    connect(control, &mainpageControl::signalUpdateLang, this, &mainpage::doProcessShowFixLanguage);
}

void mainpage::ButtonInit()
{
    for (QPushButton* button : {form->BTN_charge, form->btnDepositCardless, form->btnWithdrawCardless})
        connect(button, &QPushButton::clicked, this, &mainpage::doProcessClickedAllBtn,
                Qt::UniqueConnection);
}

void mainpage::initComLanguage()
{
    comLanguage = form->frame_language;
}

void mainpage::initComAtmId()
{
    comAtmId = form->frame_atm_id;
}

void mainpage::showATMID()
{
    if (commoncontrol* ctrl = common())
        ctrl->displayATMID(comAtmId);
}

void mainpage::initFont()
{
    makeTextWhite(form->labelWel);
    if (commoncontrol* ctrl = common()) {
        const struct { QWidget* widget; const char* file; int size; } fonts[] = {
            {form->labelWel, kTitleFont, 46},
            {form->label_amOrpm, kAmPmFont, 16},
            {form->labelMonth, kDateFont, 10},
            {form->labelWeekAndYear, kDateFont, 10},
            {form->labelDay, kClockFont, 24},
            {form->labelCurTime, kClockFont, 24},
        };
        for (const auto& f : fonts)
            ctrl->setWidgetFont(f.widget, kioskscale::pixelSize(f.size, m_scale), QLatin1String(f.file));
    }
    initStyle();
}

void mainpage::initStyle()
{
    QString folder = QStringLiteral("KHR");
    if (kioskLanguageType == 1)
        folder = QStringLiteral("EN");
    else if (kioskLanguageType == 2)
        folder = QStringLiteral("CN");
    setButtonStyles(folder);

    for (QLabel* label : {form->labelDay, form->labelMonth, form->labelCurTime,
                          form->labelWeekAndYear, form->label_amOrpm})
        label->setAttribute(Qt::WA_TranslucentBackground);
    form->frame_curTime->setStyleSheet(
        QStringLiteral("QFrame{border-image:url(./resource/pic/MainPage/homepage_time.png)}"));
}

void mainpage::setButtonStyles(const QString& languageFolder)
{
    if (languageFolder.isEmpty())
        return;
    const QString folder = QLatin1String(kButtonFolder) + languageFolder;
    const struct { QPushButton* button; const char* picture; } buttons[] = {
        {form->BTN_charge, "homepage_deposit_card.png"},
        {form->btnDepositCardless, "homepage_deposit_cardless.png"},
        {form->BTN_search, "homepage_send_money.png"},
        {form->btnWithdrawCardless, "homepage_recieve_money.png"},
        {form->BTN_elec, "homepage_phone.png"},
        {form->btnHelp, "homepage_help.png"},
    };
    for (const auto& b : buttons) {
        b.button->setStyleSheet(QString::fromLatin1(kButtonStyle)
                                    .arg(folder, folder, folder, QLatin1String(b.picture)));
    }
}

void mainpage::refreshLanguageFont()
{
    QString folder;
    const char* titleFont = kLatinTitleFont;
    const char* dateFont = kDateFont;
    switch (kioskLanguageType) {
    case 1:
        folder = QStringLiteral("EN");
        break;
    case 2:
        folder = QStringLiteral("CN");
        break;
    case 0:
        folder = QStringLiteral("KHR");
        titleFont = kKhmerFont;
        dateFont = kKhmerFont;
        break;
    default:
        return;
    }
    setButtonStyles(folder);
    commoncontrol* ctrl = common();
    if (!ctrl)
        return;
    ctrl->setWidgetFont(form->labelWel, kioskscale::pixelSize(52, m_scale), QLatin1String(titleFont));
    const int dateSize = kioskscale::pixelSize(13, m_scale);
    ctrl->setWidgetFont(form->labelWeekAndYear, dateSize, QLatin1String(dateFont));
    ctrl->setWidgetFont(form->labelMonth, dateSize, QLatin1String(dateFont));
}

void mainpage::initDateTimeTimer()
{
    m_dateTimeTimer = new QTimer(this);
    connect(m_dateTimeTimer, &QTimer::timeout, this, &mainpage::doProcessShowDateTime);
    m_dateTimeTimer->setSingleShot(true);
    m_dateTimeTimer->start(20);
}

void mainpage::doProcessShowDateTime()
{
    showDateTime(QDateTime::currentDateTime());
    if (m_firstShow && m_dateTimeTimer) {
        m_firstShow = false;
        m_dateTimeTimer->setSingleShot(false);
        m_dateTimeTimer->start(1000);
        qDebug() << "showDateTime--1000ms";
    }
}

void mainpage::showDateTime(const QDateTime& now)
{
    const QDate date = now.date();
    const QTime time = now.time();

    form->labelDay->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    form->labelDay->setText(tr("<font style = 'color:#F3F3F3;'>%1</font>").arg(date.day()));

    form->labelCurTime->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    form->labelCurTime->setText(
        tr("<font style = 'color:#333333;'>%1</font>").arg(time.toString(QStringLiteral("hh:mm"))));

    form->label_amOrpm->setAlignment(Qt::AlignBottom);
    form->label_amOrpm->setText(tr("<font style = 'color:#000000;'>%1</font>")
                                    .arg(time.hour() > 11 ? tr(" pm ") : tr(" am ")));

    form->labelMonth->setAlignment(Qt::AlignHCenter | Qt::AlignBaseline);
    form->labelMonth->setText(tr("<font style = 'color:#B5B7B8;'>%1</font>").arg(monthName(date.month())));

    form->labelWeekAndYear->setAlignment(Qt::AlignHCenter | Qt::AlignBaseline);
    form->labelWeekAndYear->setText(
        tr("<font style = 'color:#646464;'>%1</font>")
            .arg(QStringLiteral("%1,%2").arg(weekdayName(date.dayOfWeek())).arg(date.year())));
}

void mainpage::doProcessClickedAllBtn()
{
    qDebug() << "btn clicked";
    const QObject* button = sender();
    if (!button)
        return;
    const QString name = button->objectName();
    qDebug() << "slots:  name=" << name;

    mainpageControl* control = mainpageControl::getInstance();
    if (name == QLatin1String("BTN_charge"))
        emit control->signalDepositStart();
    else if (name == QLatin1String("btnDepositCardless"))
        emit control->signalCLessDepositStart();
    else if (name == QLatin1String("btnWithdrawCard"))
        emit control->signalWithdrawStart();
    else if (name == QLatin1String("btnWithdrawCardless"))
        emit control->signalCLessWithdrawStart();
}

void mainpage::doProcessShowResult()
{
    qDebug() << "slot doProcessShowResult--finish";
}

void mainpage::doProcessShowFixLanguage(int languageType)
{
    qDebug() << "mainpage slot doProcessShowFixLanguage--begin";
    kiosktranslation::replacePageTranslator(s_pageTranslator, this, languageType);
}

void mainpage::changeEvent(QEvent* event)
{
    if (event->type() != QEvent::LanguageChange)
        return;
    form->retranslateUi(this);
    refreshLanguageFont();
}

void mainpage::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    const QPixmap background{QString::fromLatin1(kBackground)};
    painter.drawPixmap(QRect(0, 0, width(), height()), background);
}

void mainpage::deleteComLanguage()
{
    if (commoncontrol* ctrl = common())
        ctrl->deleteComboxLang();
    if (comLanguage) {
        comLanguage = nullptr;
        qDebug() << "mainpage::delete comLanguage ";
    }
}

void mainpage::deleteComAtmId()
{
    if (commoncontrol* ctrl = common())
        ctrl->deleteATMID();
    comAtmId = nullptr;
}
