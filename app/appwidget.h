#ifndef APPWIDGET_H
#define APPWIDGET_H

// The top-level window: the page stack, the kiosk translator and the
// wiring between pages, controllers and the hub.

#include <QWidget>

class QStackedWidget;
class QTranslator;
class mainpage;
class CashSelectPage;
class tqWidget;
class TQCAN;

class appwidget : public QWidget
{
    Q_OBJECT
public:
    enum { kPageHome = 0, kPageCashSelect = 1, kPageDevPanel = 2, kPageConfigurator = 3 };

    explicit appwidget(QWidget* parent = nullptr);
    ~appwidget() override;

    // Passes the developer-mode flag to the configurator page and lets it
    // find its firmware database. main calls it once, after show().
    void setTqcanWorkMode(bool bDebug);

    QStackedWidget* stackWidget() const { return m_stackWidget; }
    TQCAN* configuratorPage() const { return m_tqcanPage; }
    tqWidget* devPanelPage() const { return m_tqWidget; }

public slots:
    void doProcessJumpPage(int destPage);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void loadKioskTranslator();
    void buildStackPages();
    void fitToScreen();

    QStackedWidget* m_stackWidget = nullptr;
    int m_curPage = -1;
    QTranslator* m_translator = nullptr;
    mainpage* m_mainPage = nullptr;
    CashSelectPage* m_cashSelPage = nullptr;
    tqWidget* m_tqWidget = nullptr;
    TQCAN* m_tqcanPage = nullptr;
};

#endif // APPWIDGET_H
