#ifndef MAINPAGE_H
#define MAINPAGE_H

// The kiosk's home page: kiosk ID and language frames, a welcome text, a
// date-and-time panel and six picture buttons. It is page 0 of the window's
// stack and stays hidden; it follows every language change (texts, button
// pictures and fonts for the kiosk language), and its destruction stops the
// worker threads through the home-page controller.
//
// The clock, the button wiring, the language slot and the set-up routines
// are complete but nothing in the application starts them.

#include <QDateTime>
#include <QWidget>

class QTimer;
class commoncontrol;
namespace Ui {
class mainpage;
}

class mainpage : public QWidget
{
    Q_OBJECT
public:
    explicit mainpage(QWidget* parent = nullptr);
    ~mainpage() override;

    // The window's hook for a switch to this page.
    void analyseRecordVideo(int curPage);

    void calcScale();
    void initConnect();
    void ButtonInit();
    void initComLanguage();
    void initComAtmId();
    void showATMID();
    void initFont();
    void initDateTimeTimer();

    // Fills the five clock labels from one reading of the date and time.
    void showDateTime(const QDateTime& now);

    float scaleFactor() const { return m_scale; }

signals:
    void signalWithdrawBtn();

public slots:
    void doProcessClickedAllBtn();
    void doProcessShowResult();
    void doProcessShowFixLanguage(int languageType);
    void doProcessShowDateTime();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void initStyle();
    void setButtonStyles(const QString& languageFolder);
    void refreshLanguageFont();
    void deleteComLanguage();
    void deleteComAtmId();
    // The home-page controller's common widget; null until the window has
    // built it.
    commoncontrol* common() const;

    Ui::mainpage* form;
    QWidget* comLanguage = nullptr;
    QWidget* comAtmId = nullptr;
    QTimer* m_dateTimeTimer = nullptr;
    bool m_firstShow = true;
    float m_scale = 1.0f;
};

#endif // MAINPAGE_H
