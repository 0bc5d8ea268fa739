#ifndef MAINPAGECONTROL_H
#define MAINPAGECONTROL_H

// The kiosk home page's controller. It also owns the message hub: the page
// builder creates the hub through it, and the home page deletes it through
// it when the window goes.

#include "app/pagecontrolbase.h"

class commoncontrol;

class mainpageControl : public PageControlBase
{
    Q_OBJECT
public:
    static mainpageControl* getInstance();

    // Creates the parentless hub once (which starts both worker threads)
    // and returns it.
    auxthreadcontroller* createAuxThreadCtrl();
    auxthreadcontroller* getAuxThreadController() const { return auxThreadCtrl(); }

    // Deletes the hub, which stops both worker threads before it returns.
    void deleteMutexThread();

    // The only sender of a record for the heartbeat worker; nothing calls it.
    void machine_init();

    commoncontrol* mCommonCtrl = nullptr;

signals:
    // The order of these declarations fixes their meta-method indexes.
    void signalDepositStart();
    void signalCLessDepositStart();
    void signalWithdrawStart();
    void signalCLessWithdrawStart();
    void signalNotifyResult();
    void signalUpdateLang(int index);
    void signalJumpPage(int destPage);

public slots:
    void doProcessUpdateLanguage(int index);

private:
    explicit mainpageControl(QObject* parent = nullptr);
};

#endif // MAINPAGECONTROL_H
