#ifndef REGISTERBENCH_H
#define REGISTERBENCH_H

// The parameter tab at a test bench, shared by its tests: the real window
// with its hub and serial worker, esc-sim's nodes on a pseudo-terminal, a
// technician who answers every dialog, and what the page and the nodes
// show.

#include <QtTest>

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "app/appwidget.h"
#include "configurator/tqcan.h"
#include "linkharness.h"
#include "pagetesthelpers.h"

namespace registerbench {

using namespace pagetest;


struct Bench {
    // Nodes that serve `description` (the built-in one when empty).
    explicit Bench(std::vector<uint8_t> nodes = {16}, const std::string& description = std::string())
        : bus(options(std::move(nodes), description))
    {
        window.show();
    }
    // The port is closed and the replies already on their way are taken
    // before the window goes: a reply queued to a page that is gone would
    // never be freed.
    ~Bench()
    {
        if (caption(page(), "btnOpen") == QLatin1String("Close"))
            click(page(), "btnOpen");
        bus.stop();
        QTest::qWait(200);
    }
    static escsim::Options options(std::vector<uint8_t> nodes, const std::string& description)
    {
        escsim::Options o;
        o.nodes = std::move(nodes);
        o.description = description;
        o.swaps = {{16, 300, "P_FLY-ESC_B"}};
        o.heartbeatZeroBeforeSwap = true;
        return o;
    }
    TQCAN* page() { return window.configuratorPage(); }

    escsim::Bus bus;
    std::string error;
    const QString path = QString::fromStdString(startOnThread(bus, &error));
    appwidget window;
};

// Answers every modal dialog the page opens, as a technician would: a file
// dialog with `file` typed into its name box, an integer dialog with
// `integer`, a message box with its default button (its text is kept).
struct DialogDriver : QObject {
    DialogDriver()
    {
        connect(&timer, &QTimer::timeout, this, &DialogDriver::answer);
        timer.start(20);
    }
    void answer()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            texts << box->text();
            parents << box->parentWidget();
            box->defaultButton() ? box->defaultButton()->click() : void(box->close());
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(file);
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own, through its public base
        } else if (auto* input = qobject_cast<QInputDialog*>(modal)) {
            input->setIntValue(integer);
            input->accept();
        } else if (modal) {
            modal->close();
        }
    }
    QString file;
    int integer = 0;
    QStringList texts;
    QList<QWidget*> parents;
    QTimer timer;
};

inline QTableWidget* regTable(const QWidget* page) { return child<QTableWidget>(page, "tableWidget_set_regList"); }

// Rows with a caption or a register: address | description | shown option.
inline QStringList tableRows(const QWidget* page)
{
    const QTableWidget* t = regTable(page);
    QStringList out;
    for (int row = 0; row < t->rowCount(); ++row) {
        if (!t->item(row, 2) || t->item(row, 2)->text().isEmpty())
            continue;
        const auto* combo = qobject_cast<QComboBox*>(t->cellWidget(row, 3));
        out << t->item(row, 0)->text() + "|" + t->item(row, 2)->text() + "|" + (combo ? combo->currentText() : "-");
    }
    return out;
}

inline QComboBox* comboOf(const QWidget* page, const QString& address)
{
    const QTableWidget* t = regTable(page);
    for (int row = 0; row < t->rowCount(); ++row) {
        if (t->item(row, 0) && t->item(row, 0)->text() == address)
            return qobject_cast<QComboBox*>(t->cellWidget(row, 3));
    }
    return nullptr;
}

// The payloads of the requests a node got on a port, as hex text.
inline QStringList requests(const escsim::Bus& bus, uint8_t node, uint16_t port)
{
    QStringList out;
    for (const escsim::ReceivedRequest& r : bus.requests(node)) {
        if (r.port == port)
            out << QByteArray(reinterpret_cast<const char*>(r.payload.data()), int(r.payload.size())).toHex(' ').toUpper();
    }
    return out;
}

inline QStringList writesOf(const escsim::Bus& bus, uint8_t node) { return requests(bus, node, 256).filter(QRegularExpression("^02 ")); }

inline QString setIns() { return QCoreApplication::applicationDirPath() + "/SetIns/"; }
inline QStringList parameterFiles() { return QDir(setIns()).entryList({"P_FLY-ESC_A_*.txt"}, QDir::Files); }

// The parameter files that are not in `known`.
inline QStringList newFiles(const QStringList& known)
{
    QStringList out = parameterFiles();
    for (const QString& name : known)
        out.removeAll(name);
    return out;
}

inline int16_t registerValue(const escsim::Bus& bus, uint8_t reg)
{
    int16_t value = -1;
    bus.registerValue(16, reg, &value);
    return value;
}

} // namespace registerbench

#endif // REGISTERBENCH_H
