// The parameter tab's text grammars on their own: register descriptions,
// option names, value conversion and parameter files.

#include <QtTest>

#include "firmware/regtext.h"

using namespace regtext;

Q_DECLARE_METATYPE(QList<RegRecord>)

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
    void rowsWriteTheirOwnRegister_data();
    void rowsWriteTheirOwnRegister();
    void fileTextFollowsTheGrammar();
    void fileRoundTrip_data();
    void fileRoundTrip();
    void fileLoadOutcomes_data();
    void fileLoadOutcomes();
    void fileCheck_data();
    void fileCheck();
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
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("up");
    QTest::newRow("S") << ";0,S,Off;1,S,On" << "1" << "0" << "*Off|On" << "On" << 0 << 0;
    QTest::newRow("S, no current option") << ";0,S,Off;1,S,On" << "5" << "0" << "*Off|On" << "" << 0 << 0;
    QTest::newRow("N integer scale") << ";0~3,N,[10]ms" << "2" << "0" << "*0ms|10ms|20ms|30ms" << "20ms" << 0 << 0;
    QTest::newRow("N decimal scale") << ";0~4,N,[0.5]V" << "1" << "1" << "0V|*0.5V|1V|1.5V|2V" << "0.5V" << 0 << 0;
    QTest::newRow("N 0.1 steps") << ";0~3,N,[0.1]V" << "3" << "9" << "0V|0.1V|0.2V|0.3V" << "0.3V" << 0 << 0;
    QTest::newRow("N without brackets") << ";0~10,N,5" << "1" << "0" << "" << "" << 0 << 0;
    QTest::newRow("N without ~") << ";5,N,[1]V" << "1" << "0" << "" << "" << 0 << 0;
    QTest::newRow("N lo above hi") << ";5~1,N,[1]V" << "1" << "0" << "" << "" << 0 << 0;
    QTest::newRow("I") << ";0,I,[1]mA" << "25" << "10" << "25mA|*10mA|0,I,[1]mA" << "25mA" << 0 << 0;
    QTest::newRow("I at default") << ";0,I,[1]mA" << "10" << "10" << "*10mA|0,I,[1]mA" << "10mA" << 0 << 0;
    QTest::newRow("I without brackets") << ";0,I,1" << "1" << "0" << "" << "" << 0 << 0;
    QTest::newRow("lowercase kind") << ";0~5,n,[1]" << "1" << "0" << "" << "(unset)" << 0 << 0;
    QTest::newRow("no ;") << "0,S,Off" << "0" << "0" << "" << "(unset)" << 0 << 0;
    QTest::newRow("one field") << ";0" << "0" << "0" << "" << "(unset)" << 0 << 0;
    QTest::newRow("251 options") << ";0~250,N,[1]" << "0" << "0" << "*0|1|2|...|250" << "0" << 0 << 0;
    // Numbers %g would print in exponent form stay plain, and read back.
    QTest::newRow("N 10000.5") << ";100~102,N,[10000.5]W" << "101" << "100" << "*1000050W|1010050W|1020050W"
                               << "1010050W" << 0 << 0;
    QTest::newRow("N 16.0") << ";62499~62501,N,[16.0]Hz" << "1" << "1" << "999984Hz|1000000Hz|1000020Hz" << "" << 0 << 0;
    QTest::newRow("N 100.5") << ";9950~9952,N,[100.5]V" << "9951" << "1" << "999975V|1000080V|1000180V"
                             << "1000080V" << 0 << 0;
    QTest::newRow("N 1000.0") << ";999~1001,N,[1000.0]" << "1" << "1" << "999000|1000000|1001000" << "" << 0 << 0;
    QTest::newRow("N zero scale") << ";0~3,N,[0]V" << "1" << "0" << "" << "" << 0 << 0;
    // Labels that cannot be told from the default mark are no options.
    QTest::newRow("S bare * label") << ";0,S,*;1,S,On" << "0" << "1" << "*On" << "" << 0 << 0;
    QTest::newRow("S empty label") << ";0,S,;1,S,On" << "0" << "0" << "On" << "" << 0 << 0;
    QTest::newRow("S * inside a label") << ";0,S,A*B;1,S,On" << "0" << "1" << "A*B|*On" << "A*B" << 0 << 0;
    // A register without a value (a file without values) has no current option.
    QTest::newRow("S without a value") << ";0,S,Off;1,S,On" << "" << "0" << "*Off|On" << "" << 0 << 0;
    QTest::newRow("N without a value") << ";0~3,N,[10]ms" << "" << "0" << "*0ms|10ms|20ms|30ms" << "" << 0 << 0;
    QTest::newRow("I without a value") << ";0,I,[1]mA" << "" << "10" << "*10mA|0,I,[1]mA" << "" << 0 << 0;
    // Repeated labels are told apart, so that each name stands for its own
    // value; a second label for one value, or a value beyond 16 bits, is
    // none.
    QTest::newRow("S repeated labels") << ";0,S,Normal;1,S,Reserved;2,S,Reserved;3,S,Fast" << "2" << "2"
                                       << "Normal|Reserved|*Reserved (2)|Fast" << "Reserved (2)" << 0 << 0;
    QTest::newRow("S told-apart label taken") << ";5,S,A (1);0,S,A;1,S,A" << "1" << "0" << "A (1)|*A|A (1) (1)"
                                              << "A (1) (1)" << 0 << 0;
    QTest::newRow("S one value twice") << ";0,S,A;0,S,B;1,S,C" << "0" << "1" << "A|*C" << "A" << 0 << 0;
    QTest::newRow("S value beyond 16 bits") << ";70000,S,Big;-32769,S,Small;1,S,On" << "1" << "0" << "On" << "On"
                                            << 0 << 0;
    QTest::newRow("S label with _") << ";0,S,Slow;1,S,Fast_mode" << "1" << "0" << "*Slow|Fast_mode" << "Fast_mode"
                                    << 0 << 0;
    // Negative values are the 16 bits a read gives for them.
    QTest::newRow("S negative stored value") << ";-1,S,Auto;0,S,Off" << "65535" << "65535" << "*Auto|Off" << "Auto"
                                             << -1 << 0;
    QTest::newRow("N negative range") << ";-5~5,N,[1]V" << "65533" << "0" << "-5V|-4V|-3V|...|5V" << "-3V" << -5
                                      << 5;
    QTest::newRow("N negative decimal steps") << ";-2~0,N,[0.5]V" << "65535" << "65534" << "*-1V|-0.5V|0V"
                                              << "-0.5V" << -2 << 0;
    QTest::newRow("N scale -1") << ";0~2,N,[-1]V" << "2" << "0" << "*0V|-1V|-2V" << "-2V" << 0 << 2;
    QTest::newRow("N steps beyond 16 bits") << ";65534~65537,N,[1]" << "65535" << "0" << "65534|65535" << "65535"
                                            << 0 << 0;
    QTest::newRow("N steps below 16 bits") << ";-32770~-32767,N,[1]" << "32768" << "0" << "-32768|-32767"
                                           << "-32768" << -32768 << 0;
    // A scale that cannot carry every 16-bit step offers nothing.
    QTest::newRow("N integer scale of 2^31") << ";0~3,N,[2147483648]V" << "1" << "0" << "" << "" << 0 << 3;
    QTest::newRow("N scale 1.0e308") << ";0~3,N,[1.0e308]V" << "1" << "0" << "" << "" << 0 << 3;
    QTest::newRow("N largest integer scale") << ";0~1,N,[2147483647]V" << "1" << "0" << "*0V|2147483647V"
                                             << "2147483647V" << 0 << 1;
    // An "I" number reads as signed where a limit is negative.
    QTest::newRow("I negative") << ";-10~10,I,[1]deg" << "65533" << "65533" << "*-3deg|-10~10,I,[1]deg" << "-3deg"
                                << -10 << 10;
    QTest::newRow("I negative default") << ";-10~10,I,[1]deg" << "2" << "65526" << "2deg|*-10deg|-10~10,I,[1]deg"
                                        << "2deg" << -10 << 10;
    QTest::newRow("I unsigned") << ";0~65535,I,[1]" << "65533" << "0" << "65533|*0|0~65535,I,[1]" << "65533" << 0
                                << 0;
    QTest::newRow("I value no number") << ";0,I,[1]mA" << "x" << "10" << "*10mA|0,I,[1]mA" << "" << 0 << 0;
}

void tst_RegText::optionNames()
{
    QFETCH(QString, optionText);
    QFETCH(QString, cur);
    QFETCH(QString, def);
    QFETCH(QString, names);
    QFETCH(QString, current);
    QFETCH(int, low);
    QFETCH(int, up);
    const OptionNames got = regtext::optionNames(optionText, cur, def, qint16(low), qint16(up));
    QStringList shown = got.names;
    if (shown.size() > 5)
        shown = shown.mid(0, 3) + QStringList{"...", shown.last()};
    QCOMPARE(shown.join('|'), names);
    QCOMPARE(got.currentSet ? got.current : QString("(unset)"), current);
    QVERIFY(got.tooWidePart.isEmpty());
    // The current option is the one shown at the current index.
    const QString atIndex = got.names.value(got.currentIndex);
    QCOMPARE(atIndex.startsWith('*') ? atIndex.mid(1) : atIndex, got.current);
    // Every name (but an integer-entry item, which has no value) writes the
    // value it stands for, and that value read back shows it again.
    QCOMPARE(got.values.size(), got.names.size() - (optionText.contains(",I,") && !names.isEmpty() ? 1 : 0));
    for (int i = 0; i < got.values.size(); ++i) {
        QString name = got.names.at(i);
        if (name.startsWith('*'))
            name.remove(0, 1);
        int value = -1;
        QCOMPARE(writeValue(optionText, name, false, &value), Conversion::Value);
        QCOMPARE(value, int(got.values.at(i)));
        QCOMPARE(regtext::optionNames(optionText, QString::number(value), def, qint16(low), qint16(up)).current, name);
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
    // The last steps below the int limit end the loop; they are no 16-bit
    // values, and are not offered.
    const OptionNames top = regtext::optionNames(";2147483645~2147483647,N,[2]", "0", "0");
    QVERIFY(top.names.isEmpty() && top.tooWidePart.isEmpty());
    QCOMPARE(regtext::optionNames(";65533~65535,N,[2]", "0", "0").names, QStringList({"131066", "131068", "131070"}));
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
    QTest::addColumn<QString>("shown"); // as the combo shows it
    QTest::addColumn<bool>("raw");
    QTest::addColumn<int>("result"); // Conversion
    QTest::addColumn<int>("value");
    const int V = int(Conversion::Value);
    const int none = int(Conversion::NoValue);
    const int end = int(Conversion::EndOfList);
    const QString s = ";0,S,Off;1,S,On";
    QTest::newRow("S default label") << s << "*Off" << false << V << 0;
    QTest::newRow("S label") << s << "On" << false << V << 1;
    QTest::newRow("S unknown label") << s << "Maybe" << false << none << 0;
    QTest::newRow("N 20ms") << ";0~3,N,[10]ms" << "20ms" << false << V << 2;
    QTest::newRow("N above range") << ";0~3,N,[10]ms" << "50ms" << false << none << 0;
    QTest::newRow("N truncated") << ";0~3,N,[10]ms" << "25ms" << false << V << 2;
    QTest::newRow("N 1.5V") << ";0~4,N,[0.5]V" << "1.5V" << false << V << 3;
    QTest::newRow("N 0.3V") << ";0~20,N,[0.1]V" << "0.3V" << false << V << 3;
    QTest::newRow("N no brackets") << ";0~10,N,10" << "1" << false << none << 0;
    QTest::newRow("N range without ~") << ";5,N,[1]V" << "1V" << false << end << 0;
    QTest::newRow("N zero scale") << ";0~3,N,[0]V" << "1V" << false << none << 0;
    QTest::newRow("N empty number") << ";0~3,N,[1]V" << "V" << false << none << 0;
    QTest::newRow("I") << ";0~100,I,[1]mA" << "25mA" << false << V << 25;
    QTest::newRow("I entry item") << ";0~100,I,[1]mA" << "0~100,I,[1]mA" << false << none << 0;
    QTest::newRow("I with a point") << ";0~100,I,[1]mA" << "1.5mA" << false << none << 0;
    QTest::newRow("raw S") << s << "1X" << true << V << 1;
    QTest::newRow("raw I") << ";0~100,I,[1]mA" << "2X" << true << V << 2;
    QTest::newRow("lowercase n raw") << ";0~10,n,[10]%" << "3X" << true << V << 3;
    QTest::newRow("unknown kind") << ";0~10,X,[10]%" << "3X" << true << none << 0;
    QTest::newRow("above 16 bits") << ";0~100,I,[1]mA" << "70000mA" << false << none << 0;
    // A name is a plain number and the unit: exponent form is refused, not
    // cut at its "e" and sent as 0.
    QTest::newRow("N plain large") << ";0~250,N,[10000.5]W" << "1000050W" << false << V << 100;
    QTest::newRow("N exponent form") << ";0~250,N,[10000.5]W" << "1.00005e+06W" << false << none << 0;
    QTest::newRow("N unit with a digit") << ";0~5,N,[1]0ms" << "30ms" << false << V << 3;
    QTest::newRow("N other unit") << ";0~5,N,[1]ms" << "3s" << false << none << 0;
    QTest::newRow("S * inside a label") << ";0,S,A*B;1,S,On" << "*A*B" << false << V << 0;
    QTest::newRow("S bare * label") << ";0,S,*;1,S,On" << "**" << false << none << 0;
    // Signs, "_" and equal labels: every name the options show writes its own value.
    const QString twice = ";0,S,Normal;1,S,Reserved;2,S,Reserved;3,S,Fast";
    QTest::newRow("S first of equal labels") << twice << "Reserved" << false << V << 1;
    QTest::newRow("S second of equal labels") << twice << "*Reserved (2)" << false << V << 2;
    QTest::newRow("S label with _") << ";0,S,Slow;1,S,Fast_mode" << "Fast_mode" << false << V << 1;
    QTest::newRow("S unit-like label with _") << ";0,S,a_b_c;1,S,a" << "a_b_c" << false << V << 0;
    QTest::newRow("S negative stored value") << ";-1,S,Auto;0,S,Off" << "Auto" << false << V << 0xFFFF;
    QTest::newRow("N negative step") << ";-5~5,N,[1]V" << "-3V" << false << V << 0xFFFD;
    QTest::newRow("N negative decimal") << ";-4~0,N,[0.5]V" << "-1.5V" << false << V << 0xFFFD;
    QTest::newRow("N scale -1") << ";0~4,N,[-1]V" << "-3V" << false << V << 3;
    QTest::newRow("N unit with _") << ";0~4,N,[1]V_x" << "3V_x" << false << V << 3;
    QTest::newRow("N integer scale of 2^31") << ";0~3,N,[2147483648]V" << "0V" << false << none << 0;
    QTest::newRow("I negative") << ";-10~10,I,[1]deg" << "-7deg" << false << V << 0xFFF9;
    QTest::newRow("I lowest") << ";-32768~0,I,[1]" << "-32768" << false << V << 0x8000;
    QTest::newRow("raw negative") << ";-10~10,I,[1]deg" << "-3X" << true << V << 0xFFFD;
}

void tst_RegText::writeConversion()
{
    QFETCH(QString, optionText);
    QFETCH(QString, shown);
    QFETCH(bool, raw);
    QFETCH(int, result);
    QFETCH(int, value);
    int got = -1;
    QCOMPARE(int(writeValue(optionText, choiceText(shown), raw, &got)), result);
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

    // A negative step goes out as its 16 bits; nothing beyond 16 bits does.
    int v = -1;
    QVERIFY(writeValue(";-5~5,N,[1]V", "-3V", false, &v) == Conversion::Value && v == 0xFFFD);
    QVERIFY(writeValue(";-5,S,Low;0,S,Zero", "Low", false, &v) == Conversion::Value && v == 0xFFFB);
    QVERIFY(writeValue(";-5,S,Low;0,S,Zero", "Zero", false, &v) == Conversion::Value && v == 0);
    QCOMPARE(writeValue(";-40000~0,I,[1]V", "-40000V", false, &v), Conversion::NoValue);
    QCOMPARE(writeValue(";-5~5,N,[1]V", "-V", false, &v), Conversion::NoValue);
    QCOMPARE(writeValue(";-5~5,N,[1]V", "+3V", false, &v), Conversion::NoValue);

    // Only a register with a kind is written: not a caption, nor a
    // register of no kind, whatever their rows show.
    const QList<RegRecord> list {caption("0A"), reg("0A", ";"), reg("0A", ";0,S,Off"), reg("0x0010", ";1,S,x")};
    const WritePlan plan = planWrites(list, {{0, "Off"}, {1, "Off"}, {2, "Off"}, {3, "x"}}, false);
    QCOMPARE(plan.writes.size(), 2);
    QCOMPARE(QList<int>({plan.writes[0].record, plan.writes[0].reg, plan.writes[0].value, plan.writes[1].record,
                         plan.writes[1].reg, plan.writes[1].value, plan.refused}),
             QList<int>({2, 10, 0, 3, 16, 1, -1}));

    QString cur;
    QVERIFY(refreshValue(";0,S,Off;1,S,On", "On", &cur) && cur == "1");
    QVERIFY(refreshValue(";0~4,N,[0.5]V", "1.5V", &cur) && cur == "3"); // the step, as a read gives it
    QVERIFY(refreshValue(";0~100,I,[1]mA", "42mA", &cur) && cur == "42");
    QVERIFY(!refreshValue(";0,S,Off;1,S,On", "Maybe", &cur));
    QVERIFY(!refreshValue(";0~100,X,[1]mA", "42mA", &cur));

    // A number typed for an "I" register is named as its value reads back,
    // with the register's own unit (which may run on past the entry item).
    QString name;
    QVERIFY(integerName(";-10~10,I,[1]deg", -3, -10, 10, &name) && name == "-3deg");
    QVERIFY(integerName(";0~65535,I,[1]", -3, 0, 0, &name) && name == "65533");
    QVERIFY(integerName(";0~10,I,[1]mA;x", 7, 0, 10, &name) && name == "7mA;x");
    QVERIFY(writeValue(";0~10,I,[1]mA;x", name, false, &v) == Conversion::Value && v == 7);
    QVERIFY(!integerName(";0~70000,I,[1]", 70000, 0, 0, &name));
    QVERIFY(!integerName(";0~10,I,1", 5, 0, 0, &name));
    // What chooses nothing: no option shown, or the integer-entry item.
    QVERIFY(choosesNothing(";0~10,I,[1]mA;x", "") && choosesNothing(";0~10,I,[1]mA;x", "0~10,I,[1]mA"));
    QVERIFY(!choosesNothing(";0~10,I,[1]mA;x", "7mA;x") && !choosesNothing(";0,S,0~10,I,[1]mA", "0~10,I,[1]mA"));

    IntegerEntry e;
    QVERIFY(isIntegerEntryItem("5~9,I,[1]rpm") && !isIntegerEntryItem("25mA"));
    QVERIFY(parseIntegerEntry("5~9,I,[1]rpm", &e));
    QCOMPARE(QString("%1 %2 %3").arg(e.lo).arg(e.hi).arg(e.unit), QString("5 9 rpm"));
    for (const char* bad : {"0,I,[1]mA", "0~9,I,1mA", "0~9,N,[1]mA"}) // no range, no brackets, not I
        QVERIFY2(!parseIntegerEntry(bad, &e), bad);
}

void tst_RegText::rowsWriteTheirOwnRegister_data()
{
    // Rows "record:shown" over the records of `description`; the writes
    // planned ("register=value"), the row refused (-1: none), and the
    // current values of the registers after the refresh.
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<bool>("raw");
    QTest::addColumn<QString>("writes");
    QTest::addColumn<int>("refused");
    QTest::addColumn<QString>("refreshed");
    const QString swapped = ":REG,0A,Mode,1;0,S,Off;1,S,On:REG,0A,Mode inverted,1;0,S,On;1,S,Off";
    const QString scaled = ":REG,0A,Volts,0;0~10,N,[1]V:REG,0A,Volts x2,0;0~10,N,[2]V";
    QTest::newRow("one address twice, its labels swapped") << swapped << "0:*On|1:*Off" << false << "0A=1|0A=1" << -1
                                                           << "1|1";
    QTest::newRow("one address twice, each row its option") << swapped << "0:Off|1:*Off" << false << "0A=0|0A=1"
                                                            << -1 << "0|1";
    QTest::newRow("one address twice, two scales") << scaled << "0:3V|1:6V" << false << "0A=3|0A=3" << -1 << "3|3";
    QTest::newRow("an option only the second record has") << scaled << "0:|1:20V" << false << "0A=10" << -1 << "|10";
    // An address holding "_" is its own (unwritable) register, never 0A.
    const QString underscore = ":REG,0A,Real,0;0,S,Off;1,S,_y:REG,0A_,Other,0;0,S,x;1,S,y";
    QTest::newRow("address with _, nothing chosen") << underscore << "0:Off|1:" << false << "0A=0" << -1 << "0|";
    QTest::newRow("address with _, an option chosen") << underscore << "0:_y|1:y" << false << "0A=1" << 1 << "1|1";
    QTest::newRow("rows past the list, a caption") << ":STR,0A;:REG,0A,R,0;0,S,x;1,S,y" << "0:y|1:y|2:y|-1:y"
                                                   << false << "0A=1" << -1 << "1";
    QTest::newRow("range without ~ ends the rows")
        << ":REG,0A,A,0;0,S,x;1,S,y:REG,0C,B,0;5,N,[1]V:REG,0D,C,0;0,S,p;1,S,q" << "0:y|1:5V|2:q" << false << "0A=1"
        << 1 << "1||1";
    // The restore: each register's own default, as a stored value; one of
    // no kind, or of an address that is no number, is left as it is.
    QTest::newRow("defaults") << swapped + ":REG,0B,N,0:REG,zz,Z,0;0,S,a:REG,0C,P,0;-5~5,N,[1]V" << "0:1|1:0|2:7|3:1|4:-3"
                              << true << "0A=1|0A=0|0C=65533" << -1 << "";
}

void tst_RegText::rowsWriteTheirOwnRegister()
{
    QFETCH(QString, description);
    QFETCH(QString, rows);
    QFETCH(bool, raw);
    QFETCH(QString, writes);
    QFETCH(int, refused);
    QFETCH(QString, refreshed);
    QList<RegRecord> records = parseDescription(description);
    QList<Choice> choices;
    for (const QString& row : rows.split('|'))
        choices.append({row.section(':', 0, 0).toInt(), choiceText(row.section(':', 1))});
    if (raw) {
        // The restore's rows are the records' own defaults.
        for (const Choice& c : choices)
            records[c.record].defValue = c.text;
        choices = defaultChoices(records);
    }
    const WritePlan plan = planWrites(records, choices, raw);
    QStringList got;
    for (const RegisterWrite& w : plan.writes)
        got << QStringLiteral("%1=%2").arg(w.reg, 2, 16, QChar('0')).toUpper().arg(w.value);
    QCOMPARE(got.join('|'), writes);
    QCOMPARE(plan.refused, refused);
    QCOMPARE(plan.endOfList, QTest::currentDataTag() == QLatin1String("range without ~ ends the rows"));
    if (raw)
        return;
    refreshValues(&records, choices);
    QStringList values;
    for (const RegRecord& r : records) {
        if (r.attr == "REG")
            values << r.curValue;
    }
    QCOMPARE(values.join('|'), refreshed);
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
    // A negative value: as the read gives it, and "N" as the number shown.
    QTest::newRow("I negative") << ";-10~10,I,[1]deg" << "65533" << "65533" << -10 << 10;
    QTest::newRow("N negative") << ";-10~10,N,[0.5]V" << "65533" << "-1.5" << -10 << 10;
    QTest::newRow("N negative range, unsigned limits") << ";-10~10,N,[0.5]V" << "5" << "2.5" << 0 << 10;
    QTest::newRow("S negative") << ";-1,S,Auto;0,S,Off" << "65535" << "65535" << -1 << 0;
    QTest::newRow("I lowest") << ";-32768~0,I,[1]" << "32768" << "32768" << -32768 << 0;
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
    // An item names its register by its whole address.
    QTest::newRow("an address with _ is its own register")
        << ":REG,0A,P,0;0,S,a;1,S,b:REG,0A_,Q,0;0,S,a;1,S,b@reg_0A_,cur_1,def_0,low_0,upper_1;"
           "reg_0A,cur_0,def_0,low_0,upper_1;" << ok << "" << "0|1";
    QTest::newRow("one address twice, items in order")
        << ":REG,0A,P,0;0,S,a;1,S,b:REG,0A,Q,0;0~10,N,[2]V@reg_0A,cur_1,def_0,low_0,upper_1;"
           "reg_0A,cur_6,def_0,low_0,upper_10;" << ok << "" << "1|3";
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
    // A negative value loads, as the file a save of it made holds it and
    // as a signed number; the limits are compared as the node reads it.
    const QString trim = ":REG,0A,Trim,0;-10~10,I,[1]deg@reg_0A,cur_%1,def_%2,low_-10,upper_10;";
    QTest::newRow("I negative as saved") << trim.arg("65533", "65533") << ok << "" << "65533";
    QTest::newRow("I negative signed") << trim.arg("-3", "-3") << ok << "" << "65533";
    QTest::newRow("I lowest limit") << trim.arg("65526", "0") << ok << "" << "65526";
    QTest::newRow("I below the negative limit") << trim.arg("65525", "0") << bad << "0A" << "";
    QTest::newRow("I beyond 16 bits") << trim.arg("-40000", "0") << bad << "0A" << "";
    QTest::newRow("default beyond 16 bits") << trim.arg("0", "70000") << bad << "0A" << "";
    QTest::newRow("I unsigned limits") << ":REG,0A,T,0;0,I,[1]@reg_0A,cur_-3,def_0,low_0,upper_10;" << bad << "0A"
                                       << "";
    QTest::newRow("N negative range as saved before")
        << ":REG,0A,P,0;-10~10,N,[0.5]V@reg_0A,cur_32766.5,def_0,low_-10,upper_10;" << ok << "" << "65533";
    QTest::newRow("N negative range") << ":REG,0A,P,0;-10~10,N,[0.5]V@reg_0A,cur_-1.5,def_0,low_-10,upper_10;" << ok
                                      << "" << "65533";
    QTest::newRow("S negative as saved") << ":REG,0A,M,0;-1,S,Auto;0,S,Off@reg_0A,cur_65535,def_0,low_-1,upper_0;"
                                         << ok << "" << "65535";
    QTest::newRow("S negative signed") << ":REG,0A,M,0;-1,S,Auto;0,S,Off@reg_0A,cur_-1,def_-1,low_-1,upper_0;" << ok
                                       << "" << "65535";
    // A scale that cannot carry the values gives no value, as a zero one.
    QTest::newRow("N integer scale of 2^31") << ":REG,0C,P,0;0~3,N,[2147483648]%@reg_0C,cur_2,def_0,low_0,upper_3;"
                                             << ok << "" << "";
    QTest::newRow("N scale 1.0e308") << ":REG,0C,P,0;0~3,N,[1.0e308]%@reg_0C,cur_1.0e308,def_0,low_0,upper_3;"
                                     << ok << "" << "";
    // A file that is not empty must describe a register.
    QTest::newRow("garbage") << QString::fromUtf8("\x01\xff\xfe\x80@reg_0A;\x7f\xc3") << none << "" << "";
    QTest::newRow("captions only") << ":STR,A;@" << none << "" << "";
    QTest::newRow("blanks") << "  " << none << "" << "";
    // A register's index is one byte: a file of more registers is no node's.
    const QString reg = ":REG,0A,P,0;0,S,a;1,S,b", item = "reg_0A,cur_0,def_0,low_0,upper_1;";
    QTest::newRow("256 registers") << reg.repeated(256) + "@" + item.repeated(256) << ok << ""
                                   << QString("0|").repeated(256).chopped(1);
    QTest::newRow("257 registers") << reg.repeated(257) + "@" + item.repeated(257)
                                   << int(LoadedParameters::TooManyRegisters) << "" << "";
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

void tst_RegText::fileCheck_data()
{
    // A list as a read leaves it; `bad`: the record the file would not give
    // back, or -1 for a list whose file does not load.
    QTest::addColumn<QList<RegRecord>>("records");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("bad");
    const RegRecord dir = reg("0A", ";0,S,Off;1,S,On", "1", "0", 0, 1);
    const RegRecord trim = reg("0B", ";-10~10,I,[1]deg", "65533", "65533", -10, 10);
    const RegRecord power = reg("0C", ";0~100,N,[0.5]%", "40", "40", 0, 100);
    QTest::newRow("values that load back") << QList<RegRecord>{caption("M"), dir, trim, power} << true << -1;
    QTest::newRow("a register without a value")
        << QList<RegRecord>{caption("M"), dir, reg("0B", ";0~9,I,[1]", "", "", 0, 0), power} << false << 2;
    QTest::newRow("a register without a default")
        << QList<RegRecord>{dir, reg("0B", ";0~9,I,[1]", "3", "", 0, 9)} << false << 1;
    QTest::newRow("an unlabelled value") << QList<RegRecord>{dir, reg("10", ";0,S,Off;1,S,On", "7", "0", 0, 1), power}
                                         << false << 1;
    QTest::newRow("a value outside its limits") << QList<RegRecord>{dir, reg("11", ";0~9,I,[1]", "12", "0", 0, 9)}
                                                << false << 1;
    QTest::newRow("a scale that cannot carry the value")
        << QList<RegRecord>{dir, reg("0C", ";0~3,N,[2147483648]%", "2", "0", 0, 3)} << false << 1;
    QTest::newRow("an @ in a caption") << QList<RegRecord>{dir, caption("a@b"), power} << false << 1;
    // An address holding "_" is carried whole, beside the one without it.
    QTest::newRow("an address with _") << QList<RegRecord>{dir, reg("0_C", ";0~100,N,[0.5]%", "4", "4", 0, 100)}
                                       << true << -1;
    QTest::newRow("an address with _ and the address before it")
        << QList<RegRecord>{reg("0A_", ";0,S,Off;1,S,On", "0", "0", 0, 1), dir} << true << -1;
    // What a text-mode read drops is not in the file the load reads.
    QTest::newRow("a CR in a kind field") << QList<RegRecord>{dir, reg("0B", ";0~10,N\r,[2]V", "3", "3", 0, 10)}
                                          << false << 1;
    QTest::newRow("a CR in a label") << QList<RegRecord>{reg("0C", ";0,S,Of\rf;1,S,On", "1", "0", 0, 1)} << false
                                     << 0;
    QTest::newRow("a register without options") << QList<RegRecord>{dir, reg("0D", "", "4", "4", 0, 9)} << false
                                                << 1;
    QTest::newRow("captions only") << QList<RegRecord>{caption("M")} << false << -1;
}

void tst_RegText::fileCheck()
{
    QFETCH(QList<RegRecord>, records);
    QFETCH(bool, ok);
    QFETCH(int, bad);
    // The text as the save reads it back: a text-mode read drops "\r".
    const QString asRead = parameterFileText(records).remove('\r');
    const FileCheck check = checkParameterFile(records, asRead);
    if (!parameterFileText(records).contains('\r'))
        QCOMPARE(checkParameterFile(records).ok, ok);
    QCOMPARE(check.ok, ok);
    QCOMPARE(check.badIndex, bad);
    QCOMPARE(check.why.isEmpty(), ok);
    // What the check lets through loads back as it was.
    if (ok) {
        const LoadedParameters back = loadParameterText(parameterFileText(records));
        QCOMPARE(back.status, LoadedParameters::Ok);
        for (int i = 0; i < records.size(); ++i)
            QCOMPARE(back.records.at(i).curValue + "|" + back.records.at(i).defValue,
                     records.at(i).curValue + "|" + records.at(i).defValue);
    }
}

QTEST_GUILESS_MAIN(tst_RegText)
#include "tst_regtext.moc"
