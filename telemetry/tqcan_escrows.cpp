// The ESC rows of the throttle tab as nodes come and go: a row is enabled
// while its node is listed, and disabled, with its values back to zero,
// when the node goes.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>

void TQCAN::setEscRowEnabled(int row, bool enable)
{
    if (QWidget* rows = ui->scrollArea->findChild<QWidget*>(QStringLiteral("scrollAreaWidgetContents"))) {
        // Row N's widgets end in "_N"; "_5" is not the end of "_15".
        const QString suffix = QStringLiteral("_%1").arg(row);
        const QList<QWidget*> children = rows->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (QWidget* w : children) {
            if (row != 0 && !w->objectName().endsWith(suffix))
                continue;
            w->setEnabled(enable);
            if (enable)
                continue;
            if (auto* edit = qobject_cast<QLineEdit*>(w)) {
                if (!edit->objectName().contains(QLatin1String("lEdit_id_y")))
                    edit->setText(QStringLiteral("0"));
            } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
                spin->setValue(0); // the set-point stops; its bar follows
            } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
                check->setCheckState(Qt::Unchecked);
            }
        }
    }
    if (!enable) {
        for (float& sample : m_lastSamples)
            sample = -1.0f;
    }
}
