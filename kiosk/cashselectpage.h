#ifndef CASHSELECTPAGE_H
#define CASHSELECTPAGE_H

// The kiosk page on which a customer picks the currency of a cash
// transaction: five currency buttons, a title, a menu button, a hidden next
// button and the kiosk ID. It is page 1 of the window's stack and stays
// hidden; it follows every language change (button pictures of the kiosk
// language, title), which also decides again which currencies are offered.

#include <QString>
#include <QWidget>

class QFrame;
class QPushButton;
class commoncontrol;
namespace Ui {
class CashSelectPage;
}

class CashSelectPage : public QWidget
{
    Q_OBJECT
public:
    explicit CashSelectPage(QWidget* parent = nullptr);
    ~CashSelectPage() override;

    // The currency buttons' styling passes: the first one at construction
    // (wires the buttons, preselects from "money/country"), the other on
    // every language change and on every switch to the page (offers what
    // the kiosk mode's settings keys name). `page` does not change the
    // styling.
    void ButtonInit();
    void ButtonInitRefresh(int page);

    void showATMID();

    // The code of the currency the last styling pass offered, "" for none.
    QString offeredCurrency() const { return TempCountry; }
    float scaleFactor() const { return m_scale; }

signals:
    void signalToQuit();
    void CashLanguagedChange(int languageType);

private slots:
    void doProcessClickedAllBtn();
    void doProcessShowFixLanguage(int languageType);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    enum Currency { Khr, Usd, Vnd, Thb, Rmb, CurrencyCount };

    void init();
    void calcScale();
    void initTitle();
    void retranslateTitle();
    void setMenuNextBtnStyle(const QString& languageFolder);
    void connectLanguage();
    void releaseLanguageFrame();
    void releaseAtmIdFrame();

    // Offered: enabled, growing picture on hover and press. Not offered:
    // disabled, its not-offered picture in every state.
    void setCurrencyBtnStyle(Currency currency, bool offered, const QString& languageFolder);
    // Offers the currency a settings value names ("USD", "KHR", "VND",
    // "RMB", "THB", case-sensitive); any other value offers nothing.
    void offerCurrencyNamed(const QString& code, const QString& languageFolder);
    QPushButton* currencyButton(Currency currency) const;
    commoncontrol* common() const;

    QFrame* m_frameLanguage = nullptr;
    QFrame* m_frameAtmId = nullptr;
    Ui::CashSelectPage* ui;
    QString TempCountry;
    float m_scale = 1.0f;
};

#endif // CASHSELECTPAGE_H
