// The parameter tab's tables: the device list with its radio buttons, the
// register table with its Options combos, the node-ID box, and the choice
// of the device whose parameters the tab works on.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>
#include <QHeaderView>
#include <QMessageBox>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>

#include "configurator/devinfo.h"
#include "firmware/paracombobox.h"
#include "firmware/regtext.h"

namespace {

constexpr int kTableRows = 12;

void setupListTable(QTableWidget* table, int columns)
{
    table->setColumnCount(columns);
    table->setRowCount(kTableRows);
    QHeaderView* header = table->horizontalHeader();
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        fusion->setParent(header);
        header->setStyle(fusion);
    }
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->setVisible(false);
}

} // namespace

void TQCAN::initRegTable()
{
    ui->comboBox_baud_set->setCurrentIndex(1);
    ui->comboBox_baud->setCurrentIndex(1);

    // Item i is node i + 16; "encoder" stands for node 48.
    QStringList ids;
    for (int node = 16; node <= 47; ++node)
        ids << QStringLiteral("0x") + QString::number(node, 16);
    ui->comboBox_id_set->insertItems(0, ids);
    ui->comboBox_id_set->addItem(QStringLiteral("encoder"));

    QTableWidget* devList = ui->tableWidget_set_devList;
    setupListTable(devList, 2);
    devList->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    QTableWidget* regList = ui->tableWidget_set_regList;
    setupListTable(regList, 9);
    // The language code owns the header texts; the columns exist only now.
    setTableHeaders();

    connect(&m_baudTimer, &QTimer::timeout, this, &TQCAN::doProcessSetBaudTimerOut);
    m_baudTimer.setSingleShot(true);
    // The bounds of a read and a write: precise, for a coarse timer may run
    // out 5% early, before an answer within the bound has come.
    for (QTimer* bound : {&m_regWriteTimer, &m_regReadTimer}) {
        bound->setSingleShot(true);
        bound->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_regWriteTimer, &QTimer::timeout, this, &TQCAN::regWriteTimedOut);
    connect(&m_regReadTimer, &QTimer::timeout, this, &TQCAN::regReadTimedOut);

    for (int column : {1, 4, 5, 6, 7, 8})
        regList->setColumnHidden(column, true);
    ui->label_set_regList->setText(tr("寄存器列表"));
    setTableColumnWidths();
}

void TQCAN::makeSetDevRadioCell(int nodeId)
{
    QTableWidget* table = ui->tableWidget_set_devList;
    const int row = getLastValidRowSetDev() + 1;
    if (row >= table->rowCount())
        return;
    auto* id = new QTableWidgetItem(nodeText(nodeId));
    id->setTextAlignment(Qt::AlignCenter);
    table->setItem(row, 1, id);
    auto* radio = new QRadioButton;
    // Each row's radio is set and cleared by the page; the buttons share a
    // parent, so automatic exclusivity would forbid clearing the checked one.
    radio->setAutoExclusive(false);
    table->setCellWidget(row, 0, radio);
    connect(radio, &QRadioButton::clicked, this, &TQCAN::doProcessSetRadionBtnClicked,
            Qt::UniqueConnection);
}

void TQCAN::doProcessSetRadionBtnClicked()
{
    auto* radio = qobject_cast<QRadioButton*>(sender());
    if (!radio)
        return;
    qDebug() << "----doProcessSetRadionBtnClicked----checked=" << (radio->isChecked() ? "true" : "false");
    QTableWidget* table = ui->tableWidget_set_devList;
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int col = 0; col < table->columnCount(); ++col) {
            if (table->cellWidget(row, col) != radio)
                continue;
            if (!radio->isChecked()) {
                // A click on the chosen device's radio, which is not
                // auto-exclusive, clears it: the choice stays, and so does
                // its mark.
                if (row == m_setDevRow)
                    radio->setChecked(true);
                return;
            }
            table->selectRow(row);
            doProcessClickSetProTable(row, 1);
            qDebug() << "----doProcessSetRadionBtnClicked--2--row=" << row;
            return;
        }
    }
}

void TQCAN::doProcessClickSetProTable(int row, int column)
{
    if (row == -1)
        return;
    qDebug() << "doProcessClickSetProTable---pos = " << row << column;

    const QTableWidgetItem* item = ui->tableWidget_set_devList->item(row, 1);
    bool ok = false;
    const int parsed = item ? item->text().toInt(&ok, 16) : -1;
    if (!item || item->text().isEmpty() || parsed == -1) {
        qDebug() << "doProcessClickSetProTable---click same pos";
        updataSetPageRadioState(m_setDevRow, 0, false);
        return;
    }
    const int id = ok ? parsed : 0;

    // The node being written keeps its choice until its write has ended:
    // its replies, and the store command after them, belong to it.
    if (id != m_setDevId && refuseWhileWriting()) {
        updataSetPageRadioState(row, 0, false);
        if (m_setDevRow >= 0)
            updataSetPageRadioState(m_setDevRow, 0, true);
        return;
    }

    if (id == m_setDevId) {
        updataSetPageRadioState(row, 0, true);
        m_setDevRow = row;
        m_setDevId = id;
        return;
    }
    const bool sameType = getDevTypeById(m_setDevId) == getDevTypeById(id);
    const bool noTable = getLastValidRowSetReg() == -1;
    if (noTable || sameType) {
        // A list still without its table (a read that has not ended) is the
        // node's it is read from: it never follows the choice; a list of
        // another type never does either.
        if (noTable || !sameType)
            dropRegisterList();
        updataSetPageRadioState(m_setDevRow, 0, false);
        updataSetPageRadioState(row, 0, true);
        m_setDevRow = row;
        m_setDevId = id;
        return;
    }

    const auto answer = QMessageBox::information(
        this, tr("Info"), tr("Chose New Type Dev, The Para Will Clear,\r\nChose Yes To Clear !"),
        QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes) {
        // The list goes with the table: one type's values must never be
        // written to, or restored on, a device of another type.
        dropRegisterList();
        updataSetPageRadioState(m_setDevRow, 0, false);
        updataSetPageRadioState(row, 0, true);
        m_setDevRow = row;
        m_setDevId = id;
        ui->tableWidget_dev->setCurrentCell(row, 1);
        ui->label_set_regList->setText(tr("寄存器列表") + QStringLiteral("_tq775"));
    } else if (m_setDevRow == -1) {
        m_setDevId = 0;
        updataSetPageRadioState(row, 0, false);
    } else {
        updataSetPageRadioState(m_setDevRow, 0, true);
        updataSetPageRadioState(row, 0, false);
        ui->tableWidget_dev->setCurrentCell(m_setDevRow, 1);
    }
}

void TQCAN::clearSetRegTable()
{
    // Every row the list put there goes, whatever its texts (a caption or a
    // description may be empty); the placeholder rows hold no item at all.
    // From the bottom up: a removal moves only rows already looked at.
    QTableWidget* table = ui->tableWidget_set_regList;
    for (int row = table->rowCount() - 1; row >= 0; --row) {
        bool listRow = table->cellWidget(row, 3) != nullptr;
        for (int col = 0; col < table->columnCount() && !listRow; ++col)
            listRow = table->item(row, col) != nullptr;
        if (listRow)
            table->removeRow(row);
    }
    ui->label_set_regList->setText(tr("寄存器列表"));
}

void TQCAN::addRegTableRow(const QString& address, const QString& text, const QStringList& options,
                           int currentIndex, int record)
{
    QTableWidget* table = ui->tableWidget_set_regList;
    const int row = getLastValidRowSetReg() + 1;
    table->insertRow(row);
    const QStringList texts {address, QStringLiteral("unuse"), text};
    for (int col = 0; col < texts.size() && col < table->columnCount(); ++col)
        table->setItem(row, col, new QTableWidgetItem(texts.at(col)));
    // The row keeps its own register: its address text may be any text,
    // and another record may carry the same one.
    if (QTableWidgetItem* first = table->item(row, 0))
        first->setData(Qt::UserRole, record);
    if (options.isEmpty())
        return;

    auto* combo = new paraCombobox(table);
    combo->insertItems(0, options);
    // Preselected before the signal is connected: not a change by the user.
    // The option that stands for the register's value, by its place: a
    // value that is none of the options shows none, for a first option
    // shown in its place would be written, though nobody chose it.
    combo->setCurrentIndex(currentIndex >= 0 && currentIndex < options.size() ? currentIndex : -1);
    table->setCellWidget(row, 3, combo);
    connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &TQCAN::doprocessSelSetRegChange, Qt::UniqueConnection);
}

QList<regtext::Choice> TQCAN::getCurSetPageValues() const
{
    const QTableWidget* table = ui->tableWidget_set_regList;
    qDebug() << "getCurSetPageValues--0---tableWidget->columnCount() =" << table->columnCount();
    QList<regtext::Choice> out;
    if (table->columnCount() <= 3 || m_regTableGeneration != m_regListGeneration)
        return out;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem* first = table->item(row, 0);
        bool isRegister = false;
        const int record = first ? first->data(Qt::UserRole).toInt(&isRegister) : -1;
        if (!isRegister || record < 0)
            continue;
        const auto* combo = qobject_cast<QComboBox*>(table->cellWidget(row, 3));
        if (!combo) {
            qDebug() << "No combo in the row of register" << first->text();
            continue;
        }
        out.append({record, regtext::choiceText(combo->currentText())});
    }
    return out;
}

int TQCAN::regRecordOfCombo(QWidget* combo) const
{
    const QTableWidget* table = ui->tableWidget_set_regList;
    if (m_regTableGeneration != m_regListGeneration || table->columnCount() <= 3)
        return -1;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->cellWidget(row, 3) != combo)
            continue;
        const QTableWidgetItem* first = table->item(row, 0);
        bool isRegister = false;
        const int record = first ? first->data(Qt::UserRole).toInt(&isRegister) : -1;
        return isRegister && record >= 0 && record < mRegParaList.size() ? record : -1;
    }
    return -1;
}
