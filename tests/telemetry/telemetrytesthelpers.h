#ifndef TELEMETRYTESTHELPERS_H
#define TELEMETRYTESTHELPERS_H

// What the throttle-tab tests share: telemetry records as the link delivers
// them, and the tab's widgets by row.

#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>

#include <string>

#include "pagetesthelpers.h"
#include "telemetry/cprogressbarv2.h"
#include "telemetry/mainwindow.h"

namespace telemetrytest {

using pagetest::child;

inline std::string le16(int v) { return std::string {char(v & 0xFF), char((v >> 8) & 0xFF)}; }

// Port 6160: speed and current in tenths, status word.
inline response_data_struct_t t6160(uint8_t node, int speed, int current, int status)
{
    return pagetest::record(6160, node, le16(speed) + le16(current) + le16(status));
}

// Port 6161: throttle, voltage in tenths, temperatures as sent (offset 40).
inline response_data_struct_t t6161(uint8_t node, int throttle, int voltage, int tMos, int tCap, int tMot)
{
    return pagetest::record(6161, node, le16(throttle) + le16(voltage)
                                            + std::string {char(tMos), char(tCap), char(tMot)});
}

inline QWidget* rowWidget(const QWidget* page, const char* prefix, int row)
{
    return page->findChild<QWidget*>(QLatin1String(prefix) + QString::number(row));
}
inline QSpinBox* setPoint(const QWidget* page, int row)
{
    return static_cast<QSpinBox*>(rowWidget(page, "spinBox_y_", row));
}
inline QCheckBox* rowCheck(const QWidget* page, int row)
{
    return static_cast<QCheckBox*>(rowWidget(page, "checkBox_y1_", row));
}
inline CProgressBarV2* bar(const QWidget* page, int row)
{
    return rowWidget(page, "frame_progress_", row)->findChild<CProgressBarV2*>();
}
// The eight value texts of a row: speed ... motor temperature, status.
inline QStringList rowValues(const QWidget* page, int row)
{
    QStringList out;
    for (const char* prefix : {"lEdit_zs_y1_", "lEdit_dl_y1_", "lEdit_ym_y1_", "lEdit_dy_y1_",
                               "lEdit_tmos_y1_", "lEdit_tcap_y1_", "lEdit_tmot_y1_", "lEdit_sta_y1_"})
        out << static_cast<QLineEdit*>(rowWidget(page, prefix, row))->text();
    return out;
}
inline MainWindow* chart(const QWidget* page) { return page->findChild<MainWindow*>(); }

} // namespace telemetrytest

#endif // TELEMETRYTESTHELPERS_H
