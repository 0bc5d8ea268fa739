#ifndef COMMONCONTROL_H
#define COMMONCONTROL_H

// The kiosk pages' shared toolbox widget. It is never shown itself: it
// builds small widgets inside frames the pages hand to it (language
// selector, kiosk ID label, round-bar countdown), small top-level windows
// (progress animation, self-closing warning), applies font files, and
// carries the kiosk's settings access, reply splitting and JSON conversions.
// GUI thread only.

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QSqlQuery>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "firmware/record_db.h"

class QComboBox;
class QLabel;
class QMovie;

// Kiosk language: -1 until the first commoncontrol is built, then 0 Khmer,
// 1 English, 2 Chinese. Shared by both instances and read by the pages.
extern int kioskLanguageType;
// Kiosk mode; the currency page picks its currency keys from it.
extern QString kioskModeString;

class commoncontrol : public QWidget
{
    Q_OBJECT
public:
    explicit commoncontrol(QWidget* parent = nullptr);
    ~commoncontrol() override;

    // Language selector, fonts and small accessors.
    void displayComboxLang(QWidget* frame, float scale);
    void deleteComboxLang();
    void fitComboxAndATMID(QWidget* langFrame, QWidget* idFrame);
    void setWidgetFont(QWidget* widget, int pixelSize, const QString& fontFile);
    void messageHook(QString message);
    qint32 getSavedValue() const;
    void setSavedValue(qint32 value);

    // The kiosk settings file and the kiosk ID label.
    int readLanguageType();
    bool writeLanguageType(int type, bool create);
    int readVersionFlag();
    QString readIniValue(const QString& key);
    bool writeIniValue(const QString& key, const QString& value, bool create);
    QString readMachineId();
    void displayATMID(QWidget* frame);
    void deleteATMID();

    // Reply texts, JSON and expiry times.
    bool SplitMessageSimple(const QString& source, const QString& key, QString& value);
    QString jsonObjectToString(const QJsonObject& object);
    QString jsonArrayToString(const QJsonArray& array);
    QJsonObject stringToJsonObject(const QString& text);
    QJsonArray stringToJsonArray(const QString& text);
    int caclExpiryTimeToSec(const QString& endTime);

    // Overlay windows and the round-bar countdown.
    void displayProcess();
    void DeleteProcess();
    bool displayRoundProcess(QWidget* frame);
    bool showRoundBar();
    void hideRoundBar();
    int setRoundBarSeconds(int seconds);
    int tickRoundBar();
    void displayWarnMsg(const QString& message, int seconds);
    void startWarnTimer(bool connectTimeout);
    void deleteWarnMsg();
    void deleteMaintenacePage();

signals:
    void upDateLanguage(int type);

public slots:
    void onComboxLangChange(int index);
    void doProcessWarnPageTimeout();

private:
    QMovie* ProcessMovie = nullptr;
    QLabel* ProcessLabel = nullptr;
    QWidget* ProcessWidg = nullptr;
    // Widgets placed in the pages' frames are guarded: a frame that goes
    // first takes them with it, and they then count as absent.
    QPointer<QComboBox> comboxLang;
    QPointer<QLabel> mFlagLabel;
    QPointer<QLabel> mLangCodeLabel;
    record_db mRecordDb;            // held for the firmware database; unused here
    QPointer<QLabel> mATMID;
    QPointer<QLabel> mRoundBar;
    int mRoundSeconds = 0;
    QWidget* WarnMsgWidg = nullptr;
    QLabel* CountdownLabel = nullptr;
    QTimer mWarnTimer;
    int mWarnSeconds = 0;
    QSqlQuery mQuery;

    // Shared by both instances.
    static bool processVisible;
    static QLabel* MaintainMsgLab;
    static QWidget* MaintainMsgWidg;
    static qint32 savedValue;
};

#endif // COMMONCONTROL_H
