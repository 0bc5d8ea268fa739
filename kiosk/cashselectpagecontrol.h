#ifndef CASHSELECTPAGECONTROL_H
#define CASHSELECTPAGECONTROL_H

// The currency page's controller: a singleton that lives from static
// initialisation to the end of the process. It holds the page's common
// widget and the hub, and carries the page's signals to whoever listens
// (the window connects signalJumpPage). It receives nothing from the hub.

#include <QString>
#include <QTimer>

#include "app/pagecontrolbase.h"

class QTranslator;
class commoncontrol;

class cashselectpageControl : public PageControlBase
{
    Q_OBJECT
public:
    static cashselectpageControl* getInstance();

    auxthreadcontroller* getAuxThreadController() const { return auxThreadCtrl(); }

    // The kiosk language read afresh from the settings file (0 Khmer,
    // 1 English, 2 Chinese); English while no common widget is held.
    int getLanguageType();
    void UpdataLangALL();
    // Messages for the currency page have no effect yet.
    void handelCashSelMsg(Communicat msg);
    // Called last by the currency page's construction; a hook for pages to
    // come, empty today.
    void initPageHook();

    // The currency page's common widget, stored by the page when it is
    // built; not owned, never deleted.
    commoncontrol* mCommonCtrl = nullptr;

signals:
    // The order of these declarations fixes their meta-method indexes.
    void signalUpdateLang(int languageType);
    void signalClickMenu();
    void signalClickNext();
    void signalClickOk();
    void signalJumpPage(int destPage);

private:
    explicit cashselectpageControl(QObject* parent = nullptr);
    // Asks for signalClickNext to reach a slot doProcessClickedNext that
    // this class does not have: Qt refuses it with a warning at start-up,
    // and signalClickNext keeps no receiver.
    void initConnect();

    // Carried without use so far: nothing connects or starts the timer,
    // writes the texts, or loads or installs the translator.
    QTimer mTimer;
    QString mText1;
    QString mText2;
    QTranslator* mTranslator = nullptr;
};

#endif // CASHSELECTPAGECONTROL_H
