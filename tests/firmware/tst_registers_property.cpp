// The parameter tab's promise to a node, tried on descriptions made at
// random and served by esc-sim: one address listed twice, labels that look
// like numbers, units or other labels, negative limits, "\r" and "_" where
// they may break a file. For each description:
//   - a write of the untouched table leaves the node as it was;
//   - a save succeeds exactly when the file can carry the list, and the
//     file loaded and written leaves the node as it was;
//   - an option chosen in each register's row, written and read back,
//     shows itself again.
// The expectations come from the description as it was made (which value
// each register holds, which text a file cannot carry), not from the
// page's own conversions.
//
// TQ_PROPERTY_CASES sets the number of descriptions (default 5, a few
// seconds; any number runs in one go), TQ_PROPERTY_SEED the seed of the
// first; a failure prints the seed and the description.

#include <QtTest>

#include <QRadioButton>

#include <random>

#include "app/tqpagecontrol.h"
#include "registerbench.h"

using namespace registerbench;

namespace {

// One entry of a description as it was made.
struct Entry {
    bool caption = false;
    QString address;   // as described
    int reg = -1;      // the register number the node has for it; -1: none
    QChar kind;        // 'S', 'N' or 'I'
    QString text;      // the entry as described
    QList<int> labelled; // the values an "S" entry labels
    int lo = 0;        // the range of an "N" or "I" entry
    int hi = 0;
    int def = 0;       // the default its fourth field gives
};

struct Description {
    QList<Entry> entries;
    QString text;
    // The node's value of each register: the default of its last entry.
    QMap<int, int> values;
};

class Maker
{
public:
    explicit Maker(quint32 seed) : m_rng(seed) {}

    Description make()
    {
        Description d;
        const int count = pick(2, 5);
        bool anyValid = false;
        for (int i = 0; i < count || !anyValid; ++i) {
            if (chance(6))
                d.entries.append(caption());
            d.entries.append(entry());
            anyValid = anyValid || d.entries.last().reg >= 0;
        }
        for (const Entry& e : d.entries) {
            d.text += e.text;
            if (e.reg >= 0)
                d.values[e.reg] = e.def;
        }
        return d;
    }

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool chance(int oneIn) { return pick(1, oneIn) == 1; }
    template <typename T>
    T oneOf(const QList<T>& list) { return list.at(pick(0, list.size() - 1)); }

private:
    // Texts a field may hold: no ":", ";" or ","; sometimes a "\r", an "_",
    // an "@", or what looks like a number, a unit, a range or a mark.
    QString field(const QStringList& plain)
    {
        static const QStringList odd {"a_b", "_x", "1", "-2", "0x0A", "[2]V", "3V", "~", "x*y", " sp ", "电机",
                                      "Reserved", "Reserved (1)", "On (0)", "é"};
        QString text = chance(3) ? oneOf(odd) : oneOf(plain);
        if (chance(12))
            text.insert(pick(0, text.size()), QLatin1Char('\r'));
        if (chance(25))
            text.insert(pick(0, text.size()), QLatin1Char('@'));
        return text;
    }

    Entry caption()
    {
        Entry e;
        e.caption = true;
        e.text = ":STR," + field({"Motor", "Protection"}) + ";";
        return e;
    }

    Entry entry()
    {
        Entry e;
        // Three addresses for some five registers: most descriptions list
        // one of them twice; now and then one the node has no register for.
        const int n = pick(0, 2);
        e.address = QStringLiteral("0%1").arg(QChar('A' + n));
        e.reg = 0x0A + n;
        if (chance(10)) {
            e.address = oneOf(QStringList {"0A_", "_0B", "100"});
            e.reg = -1;
        }
        const QString description = field({"Mode", "Volts", "Trim", "Gain"});
        QString options;
        e.kind = oneOf(QList<QChar> {'S', 'N', 'I'});
        if (e.kind == 'S') {
            const int labels = pick(2, 4);
            QList<int> values;
            while (values.size() < labels) {
                const int v = pick(-3, 6);
                if (!values.contains(v))
                    values.append(v);
            }
            for (int v : values) {
                // Labels repeat now and then: the page tells them apart.
                options += QStringLiteral(";%1,S,").arg(v) + field({"Off", "On", "Auto", "On"});
            }
            e.labelled = values;
            e.lo = *std::min_element(values.begin(), values.end());
            e.hi = *std::max_element(values.begin(), values.end());
            e.def = oneOf(values);
        } else {
            e.lo = e.kind == 'N' ? pick(-5, 3) : pick(-10, 0);
            e.hi = e.lo + (e.kind == 'N' ? pick(1, 6) : pick(1, 20));
            e.def = pick(e.lo, e.hi);
            const QString scale = e.kind == 'N' ? oneOf(QStringList {"1", "2", "0.5", "-1", "10", "0.25"}) : "1";
            const QString unit = oneOf(QStringList {"V", "%", "_u", "", "0ms"});
            const QString kind = chance(10) ? QString(e.kind) + "\r" : QString(e.kind);
            options = QStringLiteral(";%1~%2,%3,[%4]%5").arg(e.lo).arg(e.hi).arg(kind, scale, unit);
        }
        e.text = QStringLiteral(":REG,%1,%2,%3").arg(e.address, description).arg(e.def) + options;
        return e;
    }

    std::mt19937 m_rng;
};

// Whether a file can carry the list as a read leaves it: the load's
// text-mode read keeps no "\r", an "@" splits the file, a register the node
// was not asked for has no value, and a labelled register keeps only a
// value one of its labels stands for.
bool savable(const Description& d)
{
    if (d.text.contains(QLatin1Char('\r')) || d.text.contains(QLatin1Char('@')))
        return false;
    for (const Entry& e : d.entries) {
        if (e.caption)
            continue;
        if (e.reg < 0 || (e.kind == 'S' && !e.labelled.contains(d.values.value(e.reg))))
            return false;
    }
    return true;
}

// The rows the table shows for the description, less their options.
QStringList rowHeads(const Description& d)
{
    QStringList out;
    for (const Entry& e : d.entries) {
        const QStringList head = e.text.mid(1).section(QLatin1Char(';'), 0, 0).split(QLatin1Char(','));
        out << (e.caption ? QStringLiteral(" |") + head.value(1) : e.address + "|" + head.value(2)) + "|";
    }
    return out;
}

QStringList withoutOptions(const QStringList& rows)
{
    QStringList out;
    for (const QString& row : rows)
        out << row.section(QLatin1Char('|'), 0, 1) + "|";
    return out;
}

QString withoutMark(const QString& text) { return text.startsWith(QLatin1Char('*')) ? text.mid(1) : text; }

// A helper's failed comparison returns from the helper only.
#define STOP_ON_FAILURE()                                                                                              \
    do {                                                                                                               \
        if (QTest::currentTestFailed())                                                                                \
            return;                                                                                                    \
    } while (false)

QComboBox* comboAt(const QWidget* page, int row) { return qobject_cast<QComboBox*>(regTable(page)->cellWidget(row, 3)); }

// The node's values of the registers the description gives it.
QMap<int, int> nodeValues(const escsim::Bus& bus, const Description& d)
{
    QMap<int, int> out;
    for (auto it = d.values.cbegin(); it != d.values.cend(); ++it)
        out[it.key()] = registerValue(bus, uint8_t(it.key()));
    return out;
}

} // namespace

class tst_RegistersProperty : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(m_env.ready(), "the translations must be built next to the test");
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }
    void aNodeKeepsWhatNobodyChangedAndTakesWhatWasChosen();

private:
    // Reads the node's parameters until the table shows the rows of `d`.
    void read(Bench& bench, const Description& d);
    // Clicks Write and waits for its end: the success box, or no box when
    // there was nothing to send. *writes: the writes sent.
    void write(Bench& bench, int* writes);
    void oneCase(Bench& bench, quint32 seed);

    PageEnv m_env;
};

void tst_RegistersProperty::read(Bench& bench, const Description& d)
{
    // The table of the earlier read stays until the new description is in;
    // the reads of the values go out once it is, after the table is cleared.
    // They are counted as the page sends them: esc-sim keeps only a node's
    // last requests.
    int awaited = 0;
    for (const Entry& e : d.entries)
        awaited += e.reg >= 0 ? 1 : 0;
    QSignalSpy sent(TQPageControl::getInstance(), &TQPageControl::signalSeachReg);
    DialogDriver boxes;
    click(bench.page(), "btn_read_para");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({"Read Para File Completed!"}), kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(sent.size(), awaited, kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(withoutOptions(tableRows(bench.page())), rowHeads(d), kSlowMs);
}

void tst_RegistersProperty::write(Bench& bench, int* writes)
{
    QSignalSpy sent(TQPageControl::getInstance(), &TQPageControl::signalSeachReg);
    DialogDriver boxes;
    click(bench.page(), "btn_para_download");
    *writes = sent.size();
    if (*writes > 0)
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({"Write Parameter Success !"}), kSlowMs);
    else
        QCOMPARE(boxes.texts, QStringList());
}

void tst_RegistersProperty::oneCase(Bench& bench, quint32 seed)
{
    Maker maker(seed);
    const Description d = maker.make();
    struct Report {
        quint32 seed;
        QString text;
        ~Report()
        {
            // A failure of its own: QTest prints failures whatever the count
            // of messages before them.
            if (QTest::currentTestFailed())
                QTest::qFail(qPrintable("failed with TQ_PROPERTY_SEED=" + QString::number(seed) + " description: "
                                        + text.toUtf8().toPercentEncoding(":;,~[]*_- ")),
                             __FILE__, __LINE__);
        }
    } report {seed, d.text};
    bench.bus.setDescription(16, d.text.toStdString());

    read(bench, d);
    STOP_ON_FAILURE();
    QCOMPARE(nodeValues(bench.bus, d), d.values);
    const QStringList table = tableRows(bench.page());

    // Untouched, the table writes what the node holds.
    int untouched = 0;
    write(bench, &untouched);
    STOP_ON_FAILURE();
    QCOMPARE(nodeValues(bench.bus, d), d.values);

    // Saved when the file can carry the list; loaded and written, it too
    // leaves the node as it was.
    const QStringList before = newFiles(QStringList());
    {
        DialogDriver boxes;
        click(bench.page(), "btn_local_save");
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({savable(d) ? "Save File Success !" : "Save File Err !"}),
                                  kSlowMs);
    }
    const QStringList saved = newFiles(before);
    QCOMPARE(saved.size(), savable(d) ? 1 : 0);
    if (!saved.isEmpty()) {
        {
            DialogDriver boxes;
            boxes.file = setIns() + saved.first();
            click(bench.page(), "btn_local_load");
            QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()), table, kSlowMs);
            QCOMPARE(boxes.texts, QStringList());
        }
        int again = 0;
        write(bench, &again);
        STOP_ON_FAILURE();
        QCOMPARE(again, untouched);
        QCOMPARE(nodeValues(bench.bus, d), d.values);
        QFile::remove(setIns() + saved.first());
    }

    // An option chosen in the last row of each register (the one whose
    // options the node's limits follow), written and read back.
    QMap<int, int> lastRow;
    for (int row = 0; row < d.entries.size(); ++row) {
        if (d.entries.at(row).reg >= 0)
            lastRow[d.entries.at(row).reg] = row;
    }
    QMap<int, QString> chosen;
    {
        DialogDriver dialogs;
        for (const int row : lastRow) {
            QComboBox* combo = comboAt(bench.page(), row);
            if (!combo || combo->count() == 0)
                continue;
            const Entry& e = d.entries.at(row);
            dialogs.integer = maker.pick(e.lo, e.hi); // for an "I" register's entry item
            combo->setCurrentIndex(maker.pick(0, combo->count() - 1));
            QVERIFY(!combo->currentText().contains(",I,"));
            chosen[row] = withoutMark(combo->currentText());
        }
    }
    if (chosen.isEmpty())
        return;
    int writes = 0;
    write(bench, &writes);
    STOP_ON_FAILURE();
    QVERIFY(writes > 0);
    read(bench, d);
    STOP_ON_FAILURE();
    for (auto it = chosen.cbegin(); it != chosen.cend(); ++it)
        QCOMPARE(withoutMark(comboAt(bench.page(), it.key())->currentText()), it.value());
}

void tst_RegistersProperty::aNodeKeepsWhatNobodyChangedAndTakesWhatWasChosen()
{
    const int cases = qEnvironmentVariableIsSet("TQ_PROPERTY_CASES") ? qEnvironmentVariableIntValue("TQ_PROPERTY_CASES")
                                                                    : 5;
    const quint32 first = qEnvironmentVariableIsSet("TQ_PROPERTY_SEED")
        ? quint32(qEnvironmentVariable("TQ_PROPERTY_SEED").toUInt())
        : QRandomGenerator::global()->generate();
    Bench bench;
    QVERIFY2(!bench.path.isEmpty(), bench.error.c_str());
    typePort(bench.page(), bench.path);
    click(bench.page(), "btnOpen");
    QTRY_COMPARE_WITH_TIMEOUT(listed(bench.page()).size(), 1, kSlowMs);
    QTest::mouseClick(devList(bench.page())->cellWidget(0, 0), Qt::LeftButton);
    for (int i = 0; i < cases; ++i) {
        oneCase(bench, first + quint32(i));
        if (QTest::currentTestFailed())
            return;
    }
}

QTEST_MAIN(tst_RegistersProperty)
#include "tst_registers_property.moc"
