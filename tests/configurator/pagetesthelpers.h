#ifndef PAGETESTHELPERS_H
#define PAGETESTHELPERS_H

// What the configurator page's tests and screenshot program share: the
// page's surroundings (translations, stored language), response records as
// the link delivers them, and reading and driving the page's widgets.

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QTableWidget>
#include <QtTest>

#include <cstring>
#include <string>

#include "app/communicat.h"
#include "app/response_data.h"
#include "app/tqformalpagecontrol.h"
#include "app/tqpagecontrol.h"
#include "configurator/tqcan.h"
#include "telemetry/qcwindicatorlamp.h"
#include "tempworkdir.h"

namespace pagetest {

// Generous: the tests run on a loaded two-core machine.
constexpr int kSlowMs = 20000;

// While it lives: a fresh working directory holding the translations the
// page loads as "./lang_en.qm" and "./lang_zh_CN.qm", and the page's
// settings folder inside it with English stored as the language, so that
// nothing a user's run left next to the executable reaches the page.
class PageEnv
{
public:
    PageEnv()
    {
        registerCommunicatMetaTypes();
        const QString bin = QCoreApplication::applicationDirPath() + QLatin1Char('/');
        m_ready = m_dir.isValid();
        for (const QString qm : {"lang_en.qm", "lang_zh_CN.qm"})
            m_ready = m_ready && QFile::copy(bin + qm, m_dir.filePath(qm));
        TQCAN::setSettingsFolder(m_dir.filePath("SetIns"));
        setLanguage(0);
    }
    ~PageEnv() { TQCAN::setSettingsFolder(QString()); }
    bool ready() const { return m_ready; }

    // The stored language (0 English, 1 Chinese); invalid: none stored.
    static QVariant language() { return QSettings(ini(), QSettings::IniFormat).value("config/language"); }
    static void setLanguage(const QVariant& value)
    {
        QSettings s(ini(), QSettings::IniFormat);
        value.isValid() ? s.setValue("config/language", value) : s.remove("config/language");
    }

private:
    static QString ini() { return TQCAN::settingsFolder() + "/wave.ini"; }
    TempWorkDir m_dir;
    bool m_ready = false;
};

inline response_data_struct_t record(uint16_t port, uint8_t node, const std::string& bytes, uint8_t transferId = 0)
{
    response_data_struct_t r {0, port, node, 0, uint32_t(bytes.size()), new uint8_t[bytes.size() + 1], transferId};
    std::memcpy(r.payload, bytes.data(), bytes.size());
    return r;
}

// The page's description, register and node-information requests, so that
// a reply can carry the transfer-ID of the request it answers, as a node's
// reply does.
class NumberedRequests : public QObject
{
public:
    NumberedRequests()
    {
        connect(TQPageControl::getInstance(), &TQPageControl::signalReadFile257, this,
                [this](int, int, int, int transferId) { m_last = transferId; });
        connect(TQPageControl::getInstance(), &TQPageControl::signalSeachReg, this,
                [this](int, int reg, int, int, int transferId) { m_registers[reg] << transferId; });
        connect(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalSeachVersionF, this,
                [this](int node, int transferId) { m_info[node] = transferId; });
    }
    // A node's answer to the latest question what it is: a device of this name.
    inline response_data_struct_t info(uint8_t node, const std::string& name = "P_FLY-ESC_A") const;
    // A node's reply on port 256 to the latest request for its register (or
    // to the one `back` requests before it).
    response_data_struct_t regReply(uint8_t node, const std::string& bytes, int back = 0) const
    {
        const QList<int> asked = m_registers.value(uint8_t(bytes.at(1)));
        return record(256, node, bytes, uint8_t(asked.value(asked.size() - 1 - back)));
    }
    // The transfer-ID of the latest request (-1 before any).
    int last() const { return m_last; }
    // A node's reply on port 257 to the latest request.
    response_data_struct_t reply(uint8_t node, const std::string& bytes) const
    {
        return record(257, node, bytes, uint8_t(m_last));
    }

private:
    int m_last = -1;
    QMap<int, QList<int>> m_registers;
    QMap<int, int> m_info;
};

// A description chunk as a node sends it on port 257: the offset asked for
// (5 bytes, little-endian), a 16-bit error code, then the text.
inline std::string fileChunk(uint32_t offset, const std::string& text, uint16_t error = 0)
{
    std::string head(7, '\0');
    for (int i = 0; i < 4; ++i)
        head[size_t(i)] = char((offset >> (8 * i)) & 0xFF);
    head[5] = char(error & 0xFF);
    head[6] = char(error >> 8);
    return head + text;
}

// Heartbeat: uptime, health, mode.
inline response_data_struct_t heartbeat(uint8_t node)
{
    return record(7509, node, std::string(6, '\0'));
}

// The 296-byte device-information record: hardware and software version
// at bytes 2..5, the name from byte 30; the answer to question transferId.
inline response_data_struct_t deviceInfo(uint8_t node, const std::string& name = "P_FLY-ESC_A",
                                         char hwMajor = 1, char hwMinor = 0, char swMajor = 2, char swMinor = 3,
                                         uint8_t transferId = 0)
{
    std::string rec(296, '\0');
    rec.replace(2, 4, {hwMajor, hwMinor, swMajor, swMinor});
    rec.replace(30, name.size(), name);
    return record(430, node, rec, transferId);
}

response_data_struct_t NumberedRequests::info(uint8_t node, const std::string& name) const
{
    return deviceInfo(node, name, 1, 0, 2, 3, uint8_t(m_info.value(node)));
}

// The link's own codes: no node, no payload.
inline response_data_struct_t linkCode(uint16_t code, uint8_t extra = 0)
{
    return {0, code, 0, extra, 0, nullptr};
}

template <typename T = QWidget>
T* child(const QWidget* page, const char* name)
{
    return page->findChild<T*>(QLatin1String(name));
}

inline QTableWidget* devTable(const QWidget* page) { return child<QTableWidget>(page, "tableWidget_dev"); }
inline QTableWidget* devList(const QWidget* page) { return child<QTableWidget>(page, "tableWidget_set_devList"); }
inline QcwIndicatorLamp* lamp(const QWidget* page) { return page->findChild<QcwIndicatorLamp*>(); }
inline QString caption(const QWidget* page, const char* button) { return child<QAbstractButton>(page, button)->text(); }

// Node, type, hardware and firmware version of a device-table row.
inline QStringList rowTexts(const QTableWidget* table, int row)
{
    QStringList out;
    for (int column = 1; column <= 4; ++column)
        out << (table->item(row, column) ? table->item(row, column)->text() : QString());
    return out;
}

// The node texts a device table lists, in row order.
inline QStringList listedNodes(const QTableWidget* table)
{
    QStringList out;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, 1) && !table->item(row, 1)->text().isEmpty())
            out << table->item(row, 1)->text();
    }
    return out;
}

// The nodes both device tables list, in row order; the tables must agree.
inline QStringList listed(const QWidget* page)
{
    const QStringList nodes = listedNodes(devTable(page));
    return nodes == listedNodes(devList(page)) ? nodes : QStringList({"the tables differ"});
}

// Types a port name or path into the page's port box, as a user would.
inline void typePort(QWidget* page, const QString& name)
{
    auto* box = child<QComboBox>(page, "comboBox_serial");
    box->lineEdit()->clear();
    QTest::keyClicks(box->lineEdit(), name);
}

inline void click(QWidget* page, const char* button)
{
    QTest::mouseClick(child<QAbstractButton>(page, button), Qt::LeftButton);
}
inline void clickCell(QTableWidget* table, int row, int column)
{
    const QRect rect = table->visualRect(table->model()->index(row, column));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

} // namespace pagetest

#endif // PAGETESTHELPERS_H
