// The currency page's buttons: which currencies are offered, and their
// pictures in the language's folder.

#include "kiosk/cashselectpage.h"

#include <QDebug>

#include "kiosk/commoncontrol.h"
#include "kiosk/kioskscale.h"
#include "ui_cashselectpage.h"

namespace {

// %1 is the language folder, %2 the normal picture, %3 the picture on hover
// and press.
const char kCurrencyStyle[] =
    "QPushButton{border-image:url(./resource/pic/CashSelect/%1/%2);    color: white; "
    "font: bold;font-family:\"Aharoni\";font-size:20pt;  border-radius: 10px;  border: 2px groove gray;"
    "    border-style: outset;}"
    "QPushButton:hover{border-image:url(./resource/pic/CashSelect/%1/%3); color: black;}"
    "QPushButton:pressed{border-image:url(./resource/pic/CashSelect/%1/%3);    "
    "border-style: inset; }";

// Settings values of "money/country" that preselect a currency at start.
constexpr int kMoneyCountryUsd = 785;
constexpr int kMoneyCountryKhr = 23185;

} // namespace

QPushButton* CashSelectPage::currencyButton(Currency currency) const
{
    switch (currency) {
    case Khr: return ui->btn_cash_khr;
    case Usd: return ui->btn_cash_usd;
    case Vnd: return ui->btn_cash_vnd;
    case Thb: return ui->btn_cash_thb;
    case Rmb: return ui->btn_cash_rmb;
    case CurrencyCount: break;
    }
    return nullptr;
}

void CashSelectPage::setCurrencyBtnStyle(Currency currency, bool offered, const QString& languageFolder)
{
    static const char* const codes[CurrencyCount] = {"khr", "usd", "vnd", "thb", "rmb"};
    QPushButton* button = currencyButton(currency);
    button->setEnabled(offered);
    // "btn_", the lower-case code, a suffix: "2" when not offered, none when
    // offered, "_big" on hover and press of an offered button.
    const QString base = QStringLiteral("btn_") + QLatin1String(codes[currency]);
    const QString normal = base + (offered ? QString() : QStringLiteral("2")) + QStringLiteral(".png");
    const QString active = offered ? base + QStringLiteral("_big.png") : normal;
    const QString style = QString::fromLatin1(kCurrencyStyle).arg(languageFolder, normal, active);
    button->setStyleSheet(style);
}

void CashSelectPage::offerCurrencyNamed(const QString& code, const QString& languageFolder)
{
    static const struct { const char* code; const char* logTag; Currency currency; } known[] = {
        {"USD", "USD", Usd}, {"KHR", "KHR", Khr}, {"VND", "VND", Vnd},
        {"RMB", "RMB", Rmb}, {"THB", "THP", Thb},
    };
    for (const auto& k : known) {
        if (code == QLatin1String(k.code)) {
            qDebug().noquote() << QStringLiteral("NEWVERSION::TempCountry.") + QLatin1String(k.logTag);
            setCurrencyBtnStyle(k.currency, true, languageFolder);
            TempCountry = QLatin1String(k.code);
            return;
        }
    }
}

void CashSelectPage::ButtonInit()
{
    qDebug() << "CashSelectPage::ButtonInit";
    for (Currency c : {Khr, Vnd, Usd, Rmb, Thb})
        currencyButton(c)->installEventFilter(this);
    for (Currency c : {Usd, Khr, Thb, Rmb, Vnd})
        connect(currencyButton(c), &QPushButton::clicked, this, &CashSelectPage::doProcessClickedAllBtn,
                Qt::UniqueConnection);
    connect(ui->btnMenu, &QPushButton::clicked, this, &CashSelectPage::doProcessClickedAllBtn);

    TempCountry.clear();
    const QString folder = QStringLiteral("KHR");
    for (Currency c : {Khr, Vnd, Usd, Rmb, Thb})
        setCurrencyBtnStyle(c, false, folder);

    commoncontrol* ctrl = common();
    if (!ctrl)
        return;
    bool isNumber = false;
    const int country = ctrl->readIniValue(QStringLiteral("money/country")).toInt(&isNumber, 10);
    if (!isNumber)
        return;
    if (country == kMoneyCountryUsd)
        offerCurrencyNamed(QStringLiteral("USD"), folder);
    else if (country == kMoneyCountryKhr)
        offerCurrencyNamed(QStringLiteral("KHR"), folder);
}

void CashSelectPage::ButtonInitRefresh(int page)
{
    Q_UNUSED(page);
    qDebug() << "CashSelectPage::ButtonInitRefresh";
    TempCountry.clear();

    commoncontrol* ctrl = common();
    QString folder = QStringLiteral("KHR");
    switch (kioskLanguageType) {
    case 1:
    case 2:
        folder = kioskLanguageType == 1 ? QStringLiteral("EN") : QStringLiteral("CN");
        if (ctrl)
            ctrl->setWidgetFont(ui->labelSelect, kioskscale::pixelSize(24.0, m_scale),
                                QStringLiteral("./font/HiraginoSansCNS-W6.otf"));
        break;
    case 0:
        if (ctrl)
            ctrl->setWidgetFont(ui->labelSelect, kioskscale::pixelSize(30.0, m_scale),
                                QStringLiteral("./font/KHMEROSCONTENT_1.ttf"));
        break;
    default:
        break;
    }
    setMenuNextBtnStyle(folder);
    for (Currency c : {Khr, Vnd, Usd, Rmb, Thb})
        setCurrencyBtnStyle(c, false, folder);

    QStringList keys;
    if (kioskModeString == QLatin1String("zdx_mode_card")
        || kioskModeString == QLatin1String("zdx_mode_cardless")) {
        keys << QStringLiteral("valiator0/country") << QStringLiteral("valiator1/country")
             << QStringLiteral("valiator2/country");
    } else if (kioskModeString == QLatin1String("zdx_mode_withdraw_cardless")) {
        keys << QStringLiteral("dispense/currency1") << QStringLiteral("dispense/currency2")
             << QStringLiteral("dispense/currency3");
    }
    for (const QString& key : qAsConst(keys)) {
        const QString value = ctrl ? ctrl->readIniValue(key) : QString();
        qDebug().noquote() << "CashSelectPage::TempCountry=" << value;
        offerCurrencyNamed(value, folder);
    }

    showATMID();
}
