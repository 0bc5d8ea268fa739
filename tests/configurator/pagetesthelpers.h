#ifndef PAGETESTHELPERS_H
#define PAGETESTHELPERS_H

// What the configurator page's tests share: the page's translations in the
// test's working directory, the language setting kept and put back, response
// records as the link delivers them, and reading the device tables.

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>
#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTableWidget>
#include <QWidget>

#include <cstring>
#include <string>

#include "app/response_data.h"
#include "tempworkdir.h"

namespace pagetest {

// Puts the translations the page loads as "./lang_en.qm" and
// "./lang_zh_CN.qm" into a test's working directory.
inline bool addTranslations(const TempWorkDir& dir)
{
    const QString bin = QCoreApplication::applicationDirPath();
    for (const char* qm : {"lang_en.qm", "lang_zh_CN.qm"}) {
        const QString name = QLatin1String(qm);
        if (!QFile::exists(dir.filePath(name)) && !QFile::copy(bin + QLatin1Char('/') + name, dir.filePath(name)))
            return false;
    }
    return true;
}

// The page keeps its language next to the executable; a test that switches
// it puts the stored value back.
class LanguageSettingGuard
{
public:
    LanguageSettingGuard() : m_old(stored()) {}
    ~LanguageSettingGuard()
    {
        QSettings s(path(), QSettings::IniFormat);
        if (m_old.isValid())
            s.setValue(key(), m_old);
        else
            s.remove(key());
    }
    static void set(int language)
    {
        QSettings s(path(), QSettings::IniFormat);
        s.setValue(key(), language);
    }
    static QVariant stored()
    {
        const QSettings s(path(), QSettings::IniFormat);
        return s.value(key());
    }

private:
    static QString path()
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/SetIns/wave.ini");
    }
    static QString key() { return QStringLiteral("config/language"); }
    QVariant m_old;
};

inline response_data_struct_t record(uint16_t port, uint8_t node, const std::string& bytes)
{
    response_data_struct_t r;
    r.port_id = port;
    r.remote_node_id = node;
    r.payload_size = uint32_t(bytes.size());
    r.payload = new uint8_t[bytes.size() ? bytes.size() : 1];
    std::memcpy(r.payload, bytes.data(), bytes.size());
    return r;
}

// Heartbeat: uptime, health, mode.
inline response_data_struct_t heartbeat(uint8_t node, uint8_t mode = 0)
{
    return record(7509, node, std::string("\x01\x00\x00\x00\x00", 5) + char(mode));
}

// Device information as the link delivers it: the 296-byte record.
inline response_data_struct_t deviceInfo(uint8_t node, const std::string& name, uint8_t hwMajor,
                                         uint8_t hwMinor, uint8_t swMajor, uint8_t swMinor)
{
    std::string rec(296, '\0');
    rec[2] = char(hwMajor);
    rec[3] = char(hwMinor);
    rec[4] = char(swMajor);
    rec[5] = char(swMinor);
    rec.replace(30, name.size(), name);
    return record(430, node, rec);
}

inline response_data_struct_t linkCode(uint16_t code, uint8_t extra = 0)
{
    response_data_struct_t r;
    r.port_id = code;
    r.extra = extra;
    return r;
}

// Texts of a table's column, row by row ("" for an empty cell).
inline QStringList columnTexts(const QTableWidget* table, int column)
{
    QStringList out;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem* item = table->item(row, column);
        out << (item ? item->text() : QString());
    }
    return out;
}

// The node texts a device table lists, in row order.
inline QStringList listedNodes(const QTableWidget* table)
{
    QStringList out = columnTexts(table, 1);
    out.removeAll(QString());
    return out;
}

inline QString headerText(const QTableWidget* table, int column)
{
    const QTableWidgetItem* item = table->horizontalHeaderItem(column);
    return item ? item->text() : QString();
}

template <typename T>
T* child(const QWidget* page, const char* name)
{
    return page->findChild<T*>(QLatin1String(name));
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

// Clicks a cell of a table as a user would.
inline void clickCell(QTableWidget* table, int row, int column)
{
    const QRect rect = table->visualRect(table->model()->index(row, column));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

} // namespace pagetest

#endif // PAGETESTHELPERS_H
