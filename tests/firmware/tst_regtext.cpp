// The parameter tab's text grammars on their own: register descriptions,
// option names, value conversion and parameter files.

#include <QtTest>

#include "firmware/regtext.h"

using namespace regtext;

namespace {

RegRecord reg(const QString& address, const QString& optionText, const QString& cur = QString(),
              const QString& def = QString(), qint16 low = 0, qint16 up = 0)
{
    RegRecord r;
    r.attr = QStringLiteral("REG");
    r.m_reg = address;
    r.text = QStringLiteral("R") + address;
    r.optionText = optionText;
    r.curValue = cur.isNull() ? QStringLiteral("") : cur;
    r.defValue = def.isNull() ? QStringLiteral("") : def;
    r.m_lowLimit = low;
    r.m_upLimit = up;
    return r;
}

RegRecord caption(const QString& text)
{
    RegRecord r;
    r.attr = QStringLiteral("STR");
    r.text = text;
    return r;
}

} // namespace

class tst_RegText : public QObject
{
    Q_OBJECT
private slots:
    void descriptionEntries();
    void recordCopiesEveryField();
    void optionNames_data();
    void optionNames();
    void optionRangeNearIntLimitsIsRefusedAtOnce();
    void numberAfterPrefix();
    void writeConversion_data();
    void writeConversion();
    void refusedAddressesAndValues();
    void fileTextFollowsTheGrammar();
    void fileRoundTrip_data();
    void fileRoundTrip();
    void fileLoadOutcomes_data();
    void fileLoadOutcomes();
};

void tst_RegText::descriptionEntries()
{
    const QList<RegRecord> list = parseDescription(":STR,Motor;:REG,0A,Direction,0;0,S,Off;1,S,On");
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[0].attr + "|" + list[0].text, QString("STR|Motor"));
    QCOMPARE(list[1].attr + "|" + list[1].m_reg + "|" + list[1].text + "|" + list[1].optionText,
             QString("REG|0A|Direction|;0,S,Off;1,S,On"));
    QVERIFY(!list[1].curValue.isNull() && list[1].curValue.isEmpty());
    QCOMPARE(registerCount(list), 1);

    // Other kinds, blanks and case count as nothing; duplicates stay.
    const QList<RegRecord> more = parseDescription("STRX,abc:  STR,abc:str,x:REG,0A,Gain,0:REG,0A,Gain,0:");
    QCOMPARE(more.size(), 2);
    QCOMPARE(more[0].optionText, QString(""));
    QCOMPARE(more[1].m_reg, QString("0A"));
    QVERIFY(parseDescription(QString()).isEmpty());

    // Missing fields are tolerated: entries short of their fields are dropped.
    const QList<RegRecord> partial = parseDescription(":STR:REG:REG,0B:REG,0C,Ok:STR,;:REG,,,");
    QCOMPARE(partial.size(), 3);
    QCOMPARE(partial[0].m_reg + "|" + partial[1].attr + "|" + partial[1].text + "|" + partial[2].m_reg,
             QString("0C|STR||"));
}

void tst_RegText::recordCopiesEveryField()
{
    RegRecord r = reg("10", ";0~4,N,[0.5]V", "3", "1", -5, 48);
    r.curOptionText = "1.5V";
    r.devRow = 3;
    const RegRecord copy(r);
    RegRecord assigned;
    assigned = r;
    for (const RegRecord& c : {copy, assigned}) {
        QCOMPARE(QList<int>({c.m_lowLimit, c.m_upLimit, c.devRow}), QList<int>({-5, 48, 3}));
        QCOMPARE(c.curOptionText + c.optionText, QString("1.5V;0~4,N,[0.5]V"));
    }
}

void tst_RegText::optionNames_data()
{
    // names: the offered list joined by "|"; current: "(unset)" when the
    // text gives no current option at all.
    QTest::addColumn<QString>("optionText");
    QTest::addColumn<QString>("cur");
    QTest::addColumn<QString>("def");
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("current");
    QTest::newRow("S") << ";0,S,Off;1,S,On" << "1" << "0" << "*Off|On" << "On";
    QTest::newRow("S, no current option") << ";0,S,Off;1,S,On" << "5" << "0" << "*Off|On" << "";
    QTest::newRow("N integer scale") << ";0~3,N,[10]ms" << "2" << "0" << "*0ms|10ms|20ms|30ms" << "20ms";
    QTest::newRow("N decimal scale") << ";0~4,N,[0.5]V" << "1" << "1" << "0V|*0.5V|1V|1.5V|2V" << "0.5V";
    QTest::newRow("N 0.1 steps") << ";0~3,N,[0.1]V" << "3" << "9" << "0V|0.1V|0.2V|0.3V" << "0.3V";
    QTest::newRow("N without brackets") << ";0~10,N,5" << "1" << "0" << "" << "";
    QTest::newRow("N without ~") << ";5,N,[1]V" << "1" << "0" << "" << "";
    QTest::newRow("N lo above hi") << ";5~1,N,[1]V" << "1" << "0" << "" << "";
    QTest::newRow("I") << ";0,I,[1]mA" << "25" << "10" << "25mA|*10mA|0,I,[1]mA" << "25mA";
    QTest::newRow("I at default") << ";0,I,[1]mA" << "10" << "10" << "*10mA|0,I,[1]mA" << "10mA";
    QTest::newRow("I without brackets") << ";0,I,1" << "1" << "0" << "" << "";
    QTest::newRow("lowercase kind") << ";0~5,n,[1]" << "1" << "0" << "" << "(unset)";
    QTest::newRow("no ;") << "0,S,Off" << "0" << "0" << "" << "(unset)";
    QTest::newRow("one field") << ";0" << "0" << "0" << "" << "(unset)";
    QTest::newRow("251 options") << ";0~250,N,[1]" << "0" << "0" << "*0|1|2|...|250" << "0";
    // Numbers %g would print in exponent form stay plain, and read back.
    QTest::newRow("N 10000.5") << ";100~102,N,[10000.5]W" << "101" << "100" << "*1000050W|1010050W|1020050W"
                               << "1010050W";
    QTest::newRow("N 16.0") << ";62499~62501,N,[16.0]Hz" << "1" << "1" << "999984Hz|1000000Hz|1000020Hz" << "";
    QTest::newRow("N 100.5") << ";9950~9952,N,[100.5]V" << "9951" << "1" << "999975V|1000080V|1000180V"
                             << "1000080V";
    QTest::newRow("N 1000.0") << ";999~1001,N,[1000.0]" << "1" << "1" << "999000|1000000|1001000" << "";
    QTest::newRow("N zero scale") << ";0~3,N,[0]V" << "1" << "0" << "" << "";
    // Labels that cannot be told from the default mark are no options.
    QTest::newRow("S bare * label") << ";0,S,*;1,S,On" << "0" << "1" << "*On" << "";
    QTest::newRow("S empty label") << ";0,S,;1,S,On" << "0" << "0" << "On" << "";
    QTest::newRow("S * inside a label") << ";0,S,A*B;1,S,On" << "0" << "1" << "A*B|*On" << "A*B";
    // A register without a value (a file without values) has no current option.
    QTest::newRow("S without a value") << ";0,S,Off;1,S,On" << "" << "0" << "*Off|On" << "";
    QTest::newRow("N without a value") << ";0~3,N,[10]ms" << "" << "0" << "*0ms|10ms|20ms|30ms" << "";
    QTest::newRow("I without a value") << ";0,I,[1]mA" << "" << "10" << "*10mA|0,I,[1]mA" << "";
}

void tst_RegText::optionNames()
{
    QFETCH(QString, optionText);
    QFETCH(QString, cur);
    QFETCH(QString, def);
    QFETCH(QString, names);
    QFETCH(QString, current);
    const OptionNames got = regtext::optionNames(optionText, cur, def);
    QStringList shown = got.names;
    if (shown.size() > 5)
        shown = shown.mid(0, 3) + QStringList{"...", shown.last()};
    QCOMPARE(shown.join('|'), names);
    QCOMPARE(got.currentSet ? got.current : QString("(unset)"), current);
    QVERIFY(got.tooWidePart.isEmpty());
    // Every name (but an integer-entry item) writes the value that shows it.
    for (QString name : got.names) {
        if (isIntegerEntryItem(name))
            continue;
        if (name.startsWith('*'))
            name.remove(0, 1);
        int value = -1;
        QCOMPARE(writeValue(optionText, name, false, &value), Conversion::Value);
        QCOMPARE(regtext::optionNames(optionText, QString::number(value), def).current, name);
    }
    QCOMPARE(got.noBrackets, QTest::currentDataTag() == QLatin1String("N without brackets"));
}

void tst_RegText::optionRangeNearIntLimitsIsRefusedAtOnce()
{
    QCOMPARE(regtext::optionNames(";0~300,N,[1]", "0", "0").tooWidePart, QString("0~300,N,[1]"));
    // hi - lo overflows 32 bits: still refused, without looping.
    const OptionNames wide = regtext::optionNames(";-2147483648~2147483647,N,[1]", "0", "0");
    QCOMPARE(wide.tooWidePart, QString("-2147483648~2147483647,N,[1]"));
    QVERIFY(wide.names.isEmpty());
    // The last steps below the int limit end the loop.
    const OptionNames top = regtext::optionNames(";2147483645~2147483647,N,[2]", "0", "0");
    QCOMPARE(top.names, QStringList({"4294967290", "4294967292", "4294967294"}));
}

void tst_RegText::numberAfterPrefix()
{
    QCOMPARE(getNumberAfterPrefix("reg_12,cur_3,def_1,low_0,upper_10", "upper"), QString("10"));
    QCOMPARE(getNumberAfterPrefix(",,cur_1_5", "cur"), QString("1"));
    for (const char* prefix : {"max", ""})
        QCOMPARE(getNumberAfterPrefix("reg_12,cur_3", prefix), QString());
    QCOMPARE(getNumberAfterPrefix("x,cur_3", "cur"), QString());
}

void tst_RegText::writeConversion_data()
{
    QTest::addColumn<QString>("optionText");
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("raw");
    QTest::addColumn<int>("result"); // Conversion
    QTest::addColumn<int>("value");
    const int V = int(Conversion::Value);
    const int none = int(Conversion::NoValue);
    const int end = int(Conversion::EndOfList);
    const QString s = ";0,S,Off;1,S,On";
    QTest::newRow("S default label") << s << "0x0004_*Off" << false << V << 0;
    QTest::newRow("S label") << s << "0x0004_On" << false << V << 1;
    QTest::newRow("S unknown label") << s << "0x0004_Maybe" << false << none << 0;
    QTest::newRow("N 20ms") << ";0~3,N,[10]ms" << "0x0010_20ms" << false << V << 2;
    QTest::newRow("N above range") << ";0~3,N,[10]ms" << "0x0010_50ms" << false << none << 0;
    QTest::newRow("N truncated") << ";0~3,N,[10]ms" << "0x0010_25ms" << false << V << 2;
    QTest::newRow("N 1.5V") << ";0~4,N,[0.5]V" << "0x0011_1.5V" << false << V << 3;
    QTest::newRow("N 0.3V") << ";0~20,N,[0.1]V" << "0x0011_0.3V" << false << V << 3;
    QTest::newRow("N no brackets") << ";0~10,N,10" << "0x0011_1" << false << none << 0;
    QTest::newRow("N range without ~") << ";5,N,[1]V" << "0x0011_1V" << false << end << 0;
    QTest::newRow("N zero scale") << ";0~3,N,[0]V" << "0x0011_1V" << false << none << 0;
    QTest::newRow("N empty number") << ";0~3,N,[1]V" << "0x0011_V" << false << none << 0;
    QTest::newRow("I") << ";0~100,I,[1]mA" << "0x0012_25mA" << false << V << 25;
    QTest::newRow("I entry item") << ";0~100,I,[1]mA" << "0x0012_0~100,I,[1]mA" << false << none << 0;
    QTest::newRow("I with a point") << ";0~100,I,[1]mA" << "0x0012_1.5mA" << false << none << 0;
    QTest::newRow("raw S") << s << "0x0004_1X" << true << V << 1;
    QTest::newRow("raw I") << ";0~100,I,[1]mA" << "0x0010_2X" << true << V << 2;
    QTest::newRow("lowercase n raw") << ";0~10,n,[10]%" << "14_3X" << true << V << 3;
    QTest::newRow("unknown kind") << ";0~10,X,[10]%" << "14_3X" << true << none << 0;
    QTest::newRow("above 16 bits") << ";0~100,I,[1]mA" << "0x0012_70000mA" << false << none << 0;
    // A name is a plain number and the unit: exponent form is refused, not
    // cut at its "e" and sent as 0.
    QTest::newRow("N plain large") << ";0~250,N,[10000.5]W" << "0x0011_1000050W" << false << V << 100;
    QTest::newRow("N exponent form") << ";0~250,N,[10000.5]W" << "0x0011_1.00005e+06W" << false << none << 0;
    QTest::newRow("N unit with a digit") << ";0~5,N,[1]0ms" << "0x0011_30ms" << false << V << 3;
    QTest::newRow("N other unit") << ";0~5,N,[1]ms" << "0x0011_3s" << false << none << 0;
    QTest::newRow("S * inside a label") << ";0,S,A*B;1,S,On" << "0x0004_*A*B" << false << V << 0;
    QTest::newRow("S bare * label") << ";0,S,*;1,S,On" << "0x0004_**" << false << none << 0;
}

void tst_RegText::writeConversion()
{
    QFETCH(QString, optionText);
    QFETCH(QString, item);
    QFETCH(bool, raw);
    QFETCH(int, result);
    QFETCH(int, value);
    QString address;
    QString valueText;
    QVERIFY(splitValueItem(item, &address, &valueText));
    int got = -1;
    QCOMPARE(int(writeValue(optionText, valueText, raw, &got)), result);
    if (result == int(Conversion::Value))
        QCOMPARE(got, value);
}

// Addresses, values, register lookup, the shown value and integer entry.
void tst_RegText::refusedAddressesAndValues()
{
    // Addresses above a byte or that do not parse are refused.
    int r = -1;
    QVERIFY(parseRegAddress("0x0010", &r) && r == 16);
    QVERIFY(parseRegAddress("FF", &r) && r == 255);
    for (const char* bad : {"", "0x", "zz", "100", "-1", "1 0", "+5", "0x1FF"})
        QVERIFY2(!parseRegAddress(bad, &r), bad);

    // A negative step never goes out, not even as 16 bits.
    int v = -1;
    QCOMPARE(writeValue(";-5~5,N,[1]V", "-3V", false, &v), Conversion::NoValue);
    QCOMPARE(writeValue(";-5,S,Low;0,S,Zero", "Low", false, &v), Conversion::NoValue);
    QCOMPARE(writeValue(";-5,S,Low;0,S,Zero", "Zero", false, &v), Conversion::Value);

    // Items without "_" are no items; the register must have a kind.
    QString a, t;
    QVERIFY(!splitValueItem("0x0004", &a, &t));
    const QList<RegRecord> list {caption("0A"), reg("0A", ";"), reg("0A", ";0,S,Off"), reg("0x0010", ";1,S,x")};
    QCOMPARE(findRegister(list, "0A"), 2);
    QCOMPARE(findRegister(list, "0x0010"), 3);
    QCOMPARE(findRegister(list, "10"), -1);

    QString cur;
    QVERIFY(refreshValue(";0,S,Off;1,S,On", "On", &cur) && cur == "1");
    QVERIFY(refreshValue(";0~4,N,[0.5]V", "1.5V", &cur) && cur == "3"); // the step, as a read gives it
    QVERIFY(refreshValue(";0~100,I,[1]mA", "42mA", &cur) && cur == "42");
    QVERIFY(!refreshValue(";0,S,Off;1,S,On", "Maybe", &cur));
    QVERIFY(!refreshValue(";0~100,X,[1]mA", "42mA", &cur));

    IntegerEntry e;
    QVERIFY(isIntegerEntryItem("5~9,I,[1]rpm") && !isIntegerEntryItem("25mA"));
    QVERIFY(parseIntegerEntry("5~9,I,[1]rpm", &e));
    QCOMPARE(QString("%1 %2 %3").arg(e.lo).arg(e.hi).arg(e.unit), QString("5 9 rpm"));
    for (const char* bad : {"0,I,[1]mA", "0~9,I,1mA", "0~9,N,[1]mA"}) // no range, no brackets, not I
        QVERIFY2(!parseIntegerEntry(bad, &e), bad);
}

void tst_RegText::fileTextFollowsTheGrammar()
{
    RegRecord poles = reg("10", ";1~50,N,[1]", "14", "14", 2, 48);
    poles.text = "Poles";
    QCOMPARE(parameterFileText({caption("Motor"), poles}),
             QString(":STR,Motor;:REG,10,Poles,0;1~50,N,[1]@reg_10,cur_14,def_14,low_2,upper_48;"));
    QCOMPARE(parameterFileText({caption("A"), caption("B")}), QString(":STR,A;:STR,B;@"));
    QCOMPARE(parameterFileText({}), QString());
    RegRecord neg = reg("0B", ";-5~5,N,[1]", "%1", "0", -5, 5);
    QCOMPARE(parameterFileText({neg}), QString(":REG,0B,R0B,0;-5~5,N,[1]@reg_0B,cur_%1,def_0,low_-5,upper_5;"));

    // The type a file name carries, and the types that may name a file.
    QCOMPARE(fileTypeOfPath("/x/SetIns/P_FLY-ESC_A_2024-01-02-03-04-05.txt"), QString("P_FLY-ESC_A"));
    QCOMPARE(fileTypeOfPath("/x/SetIns/_2024-01-02-03-04-05.txt"), QString());
    QCOMPARE(fileTypeOfPath("/x_y/SetIns/plain.txt"), QString());
    QVERIFY(isFileNameSafe("P_FLY-ESC_A") && !isFileNameSafe("../evil") && !isFileNameSafe("a\\b"));
}

void tst_RegText::fileRoundTrip_data()
{
    // cur: the register value the list holds (a read's, or a write's);
    // the file carries an "N" register's as the number shown.
    QTest::addColumn<QString>("optionText");
    QTest::addColumn<QString>("cur");
    QTest::addColumn<QString>("savedCur");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("up");
    QTest::newRow("N half volts") << ";0~4,N,[0.5]V" << "3" << "1.5" << 0 << 4;
    QTest::newRow("N tens") << ";0~3,N,[10]ms" << "2" << "20" << 0 << 3;
    QTest::newRow("N large decimal scale") << ";0~250,N,[10000.5]W" << "100" << "1000050" << 0 << 250;
    QTest::newRow("lowercase n keeps its value") << ";0~10,n,[0.5]V" << "3" << "3" << 0 << 10;
    QTest::newRow("S") << ";0,S,Off;1,S,On" << "1" << "1" << 0 << 1;
    QTest::newRow("I") << ";0~100,I,[1]mA" << "42" << "42" << 0 << 100;
}

void tst_RegText::fileRoundTrip()
{
    QFETCH(QString, optionText);
    QFETCH(QString, cur);
    QFETCH(QString, savedCur);
    QFETCH(int, low);
    QFETCH(int, up);
    const QList<RegRecord> saved {caption("Motor"), reg("0A", optionText, cur, "1", qint16(low), qint16(up))};
    const QString text = parameterFileText(saved);
    QVERIFY2(text.contains(",cur_" + savedCur + ","), qPrintable(text));
    for (const QString& ending : {QString(), QString("\n"), QString("\r\n")}) {
        const LoadedParameters loaded = loadParameterText(text + ending);
        QCOMPARE(loaded.status, LoadedParameters::Ok);
        QCOMPARE(loaded.records.size(), 2);
        QCOMPARE(loaded.records[0].text, QString("Motor"));
        const RegRecord& r = loaded.records[1];
        QCOMPARE(QStringList({r.m_reg, r.text, r.optionText, r.curValue, r.defValue}),
                 QStringList({"0A", "R0A", optionText, cur, "1"}));
        QCOMPARE(QList<int>({r.m_lowLimit, r.m_upLimit}), QList<int>({low, up}));
    }
}

void tst_RegText::fileLoadOutcomes_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("badReg");
    QTest::addColumn<QString>("curs"); // after a load that succeeds: the registers' current values
    const QString desc = ":STR,M;:REG,10,P,0;0,S,a;1,S,b:REG,11,Q,0;0,S,a@";
    const QString r10 = "reg_10,cur_1,def_0,low_0,upper_1;";
    const QString r11 = "reg_11,cur_0,def_0,low_0,upper_0;";
    const int ok = LoadedParameters::Ok, missing = LoadedParameters::ValuesMissing;
    const int bad = LoadedParameters::BadValue, none = LoadedParameters::NoRegisters;
    const int noValues = LoadedParameters::NoValues, noField = LoadedParameters::MissingField;
    QTest::newRow("empty") << "" << noValues << "" << "";
    QTest::newRow("a line break only") << "\r\n" << noValues << "" << "";
    QTest::newRow("no @") << desc.chopped(1) << noValues << "" << "";
    QTest::newRow("all") << desc + r10 + r11 << ok << "" << "1|0";
    QTest::newRow("extra register dropped") << desc + "reg_99,cur_1,def_0,low_0,upper_1;" + r10 + r11 << ok << ""
                                            << "1|0";
    QTest::newRow("one missing") << desc + r10 << missing << "" << "";
    QTest::newRow("second item dropped") << desc + r10 + r10 << missing << "" << "";
    // A zero scale leaves the register without a value; a second item for
    // it must not stand in for register 11.
    QTest::newRow("unconverted value taken twice")
        << ":REG,10,P,0;0~100,N,[0]%:REG,11,Q,0;0,S,a@reg_10,cur_30,def_0,low_0,upper_1;"
           "reg_10,cur_30,def_0,low_0,upper_10;" << missing << "" << "";
    QTest::newRow("no def") << desc + "reg_10,cur_14,low_2,upper_48;" << noField << "10" << "";
    QTest::newRow("item without reg matches a caption") << desc + "cur_1,def_0,low_0,upper_1;" << noField << ""
                                                        << "";
    QTest::newRow("kindless register never loads") << ":REG,10,P,0;@" + r10 << missing << "" << "";
    // Values a register cannot hold end the load at their register.
    QTest::newRow("N outside the limits")
        << ":REG,0A,P,0;0~200,N,[0.5]V@reg_0A,cur_60,def_1,low_0,upper_100;" << bad << "0A" << "";
    QTest::newRow("N below the limits") << ":REG,0A,P,0;0~4,N,[1]V@reg_0A,cur_1,def_2,low_2,upper_4;" << bad
                                        << "0A" << "";
    QTest::newRow("S not labelled") << desc + "reg_10,cur_7,def_0,low_0,upper_7;" + r11 << bad << "10" << "";
    QTest::newRow("S option without a label") << ":REG,0A,P,0;0,S@reg_0A,cur_0,def_0,low_0,upper_1;" << bad << "0A"
                                              << "";
    QTest::newRow("N scale -1 at the lowest number")
        << ":REG,0A,P,0;0~4,N,[-1]V@reg_0A,cur_-9223372036854775808,def_0,low_0,upper_4;" << bad << "0A" << "";
    QTest::newRow("I outside the limits") << ":REG,12,C,0;0,I,[1]mA@reg_12,cur_200,def_0,low_0,upper_100;" << bad
                                          << "12" << "";
    QTest::newRow("I within the limits") << ":REG,12,C,0;0,I,[1]mA@reg_12,cur_100,def_0,low_0,upper_100;" << ok
                                         << "" << "100";
    // A value that is no number reads as 0.
    QTest::newRow("no numbers") << ":REG,0C,P,0;0~100,N,[5]%:REG,0D,P,0;0~9,N,[0.5]V:REG,0E,Q,0;0,S,a;1,S,b"
                                   ":REG,0F,C,0;0,I,[1]mA@reg_0C,cur_1.6,def_0,low_0,upper_100;"
                                   "reg_0D,cur_x,def_0,low_0,upper_9;reg_0E,cur_abc,def_0,low_0,upper_1;"
                                   "reg_0F,cur_?,def_0,low_0,upper_9;" << ok << "" << "0|0|0|0";
    QTest::newRow("N zero scale has no value") << ":REG,0C,P,0;0~3,N,[0]%@reg_0C,cur_2,def_0,low_0,upper_3;" << ok
                                               << "" << "";
    // A file that is not empty must describe a register.
    QTest::newRow("garbage") << QString::fromUtf8("\x01\xff\xfe\x80@reg_0A;\x7f\xc3") << none << "" << "";
    QTest::newRow("captions only") << ":STR,A;@" << none << "" << "";
    QTest::newRow("blanks") << "  " << none << "" << "";
}

void tst_RegText::fileLoadOutcomes()
{
    QFETCH(QString, content);
    QFETCH(int, status);
    QFETCH(QString, badReg);
    QFETCH(QString, curs);
    const LoadedParameters loaded = loadParameterText(content);
    QCOMPARE(int(loaded.status), status);
    QCOMPARE(loaded.badReg, badReg);
    if (loaded.status != LoadedParameters::Ok)
        return;
    QStringList values;
    for (const RegRecord& r : loaded.records) {
        if (r.attr == "REG")
            values << r.curValue;
    }
    QCOMPARE(values.join('|'), curs);
}

QTEST_GUILESS_MAIN(tst_RegText)
#include "tst_regtext.moc"
