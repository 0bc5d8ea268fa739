#ifndef TQWIDGET_H
#define TQWIDGET_H

// The developer command panel: a bare debug page that sends single raw
// requests to node 16 through the developer panel's controller, keeps the
// port list that the window's port search reports, and can write the node's
// answers into its log view.

#include <cstdint>

#include <QByteArray>
#include <QString>
#include <QWidget>

#include "app/communicat.h"

namespace Ui {
class tqWidget;
}
class subSerialTQThread;

class tqWidget : public QWidget
{
    Q_OBJECT
public:
    explicit tqWidget(QWidget* parent = nullptr);
    ~tqWidget() override;

    // The hub's serial worker, or null (with a log line) before the
    // controller has a hub. Makes no connection.
    subSerialTQThread* getSerialWorker();

    // Latin-1 bytes of the text as upper-case hex pairs, each followed by
    // one blank: "AB" gives "41 42 ".
    static QString toHexString(const QString& text);

    // Appends one paragraph to the log view and keeps the newest in view.
    void appendLog(const QString& line);

public slots:
    void doProcessClickedAllBtn();
    void doProcessRecvPagePack(CommunicatPage comPagePack);
    // Takes ownership of the record's payload and frees it.
    void doProcessRecvTQPack(response_data_struct_t pack);

private:
    void setOpenBtnText(bool open);
    void initWidgetConnect();

    // One button's action each; the dispatcher picks by object name.
    void clickOpen();
    void clickCheckReg();
    void clickUpdateApp();
    void clickDownloadFirmware();
    void clickRadio6144();
    void clickSetDevId();

    // The same formatting for raw bytes; the unique ID needs it, as its
    // bytes are no text.
    static QString bytesToHex(const QByteArray& bytes);

    // A request the panel will not send: the reason goes to the debug
    // stream and to the log view.
    void refuse(const QString& reason);

    // The readable log lines by port; each returns an empty string when the
    // payload is too short for what the line reads.
    static QString nodeInfoLine(const uint8_t* p, uint32_t size);
    static QString registerLine(const uint8_t* p, uint32_t size);
    static QString commandLine(const uint8_t* p, uint32_t size);
    static QString fileWriteLine(const uint8_t* p, uint32_t size);
    static QString heartbeatLine(const response_data_struct_t& pack, const uint8_t* p, uint32_t size);

    Ui::tqWidget* ui = nullptr;
    bool m_portOpen = false;
};

#endif // TQWIDGET_H
