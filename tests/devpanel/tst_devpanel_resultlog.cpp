// The developer panel's result log: the readable line for each answered
// port, nothing for the rest, and every payload freed, whatever its length.
// Runs under the sanitizers too, which report any payload left behind or
// read past its end.

#include <cstring>

#include <QRegularExpression>
#include <QTextEdit>
#include <QtTest>

#include "devpanel/tqwidget.h"

namespace {

// A response as the link hands it over: the payload on the heap, owned by
// whoever receives the record.
response_data_struct_t response(uint16_t port, const QByteArray& bytes, uint8_t node = 16)
{
    response_data_struct_t pack;
    pack.priority = 4;
    pack.port_id = port;
    pack.remote_node_id = node;
    pack.payload_size = static_cast<uint32_t>(bytes.size());
    pack.payload = new uint8_t[bytes.size()];
    std::memcpy(pack.payload, bytes.constData(), static_cast<size_t>(bytes.size()));
    return pack;
}

response_data_struct_t nullResponse(uint16_t port, uint32_t claimedSize = 0)
{
    response_data_struct_t pack;
    pack.port_id = port;
    pack.payload_size = claimedSize;
    return pack;
}

void putLe16(QByteArray& b, int at, uint16_t v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

QByteArray le16(uint16_t v)
{
    QByteArray b(2, '\0');
    putLe16(b, 0, v);
    return b;
}

// The 296-byte node-information record.
QByteArray nodeInfo(const QByteArray& uniqueId)
{
    QByteArray b(296, '\0');
    putLe16(b, 0, 0xFFFE);               // protocol -2
    putLe16(b, 2, 3);                    // hardware 3
    putLe16(b, 4, 0x8001);               // software, printed as i16
    b.replace(6, 8, "abcdefgh");         // revision filling its field, no zero
    b.replace(14, 16, uniqueId);
    b.replace(30, 5, "ESC-X");           // name, the rest of its area zero
    b[285] = 'O';
    b[286] = 'K';
    return b;
}

} // namespace

class tst_DevPanelResultLog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void nodeInformationLine_data();
    void nodeInformationLine();
    void registerLine_data();
    void registerLine();
    void commandLine_data();
    void commandLine();
    void firmwareDataLine_data();
    void firmwareDataLine();
    void heartbeatLine();
    void otherPortsAddNothing_data();
    void otherPortsAddNothing();
    void nullAndShortPayloadsAddNothing_data();
    void nullAndShortPayloadsAddNothing();
    void hexFormatting();
    void cleanupTestCase();

private:
    QString logText() const { return m_log->toPlainText(); }

    tqWidget* m_panel = nullptr;
    QTextEdit* m_log = nullptr;
};

void tst_DevPanelResultLog::initTestCase()
{
    m_panel = new tqWidget;
    m_log = m_panel->findChild<QTextEdit*>("cx_searial_recv_text");
    QVERIFY(m_log);
}

void tst_DevPanelResultLog::cleanupTestCase()
{
    delete m_panel;
}

void tst_DevPanelResultLog::init()
{
    m_log->clear();
}

void tst_DevPanelResultLog::nodeInformationLine_data()
{
    QTest::addColumn<QByteArray>("uniqueId");
    QTest::addColumn<QString>("hex");
    QTest::newRow("bytes below 0x80")
        << QByteArray("0123456789ABCDEF")
        << "30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46 ";
    QTest::newRow("zero bytes and bytes from 0x80 up")
        << QByteArray("\x00\x80\xff\x10\xc3\xa9\x00\x7f\xe4\xb8\xad\x01\x02\x03\xfe\x00", 16)
        << "00 80 FF 10 C3 A9 00 7F E4 B8 AD 01 02 03 FE 00 ";
}

void tst_DevPanelResultLog::nodeInformationLine()
{
    QFETCH(QByteArray, uniqueId);
    QFETCH(QString, hex);
    m_panel->doProcessRecvTQPack(response(430, nodeInfo(uniqueId)));
    QCOMPARE(logText(), "430_设备信息--协议版本:-2--硬件版本:3--软件版本:-32767"
                        "--软件签名:abcdefgh--设备唯一:" + hex +
                        "--设备型号:ESC-X--其他:OK");
}

void tst_DevPanelResultLog::registerLine_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("line");
    QByteArray value(4 + 9, '\0');
    value[1] = char(200);
    putLe16(value, 2, uint16_t(-300));
    QTest::newRow("value, index printed signed")
        << value << "256_寄存器读写--操作状态:0--索引:-56--寄存器值:-300";
    // The error kind is 2 bytes, padded by the link with 9 zero bytes.
    QTest::newRow("error kind")
        << QByteArray("\x03\x05", 2) + QByteArray(9, '\0')
        << "256_寄存器读写--操作状态:3--索引:5--寄存器值:0";
}

void tst_DevPanelResultLog::registerLine()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, line);
    m_panel->doProcessRecvTQPack(response(256, payload));
    QCOMPARE(logText(), line);
}

void tst_DevPanelResultLog::commandLine_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "成功";
    QTest::newRow("1") << 1 << "未知的错误";
    QTest::newRow("5") << 5 << "节点当前状态不允许执行该指令";
    QTest::newRow("200") << 200 << "未知的错误";
}

void tst_DevPanelResultLog::commandLine()
{
    QFETCH(int, status);
    QFETCH(QString, text);
    m_panel->doProcessRecvTQPack(response(435, QByteArray(1, char(status))));
    QCOMPARE(logText(), QString("435_控制--操作状态:%1--结果:").arg(status) + text);
}

void tst_DevPanelResultLog::firmwareDataLine_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "成功";
    QTest::newRow("65535") << 65535 << "未知错误";
    QTest::newRow("101") << 101 << "升级数据包格式.文件长度错误， 只能是 256 或者 0";
    QTest::newRow("103") << 103 << "升级数据包格式.包含的校验码格式错误";
    QTest::newRow("7") << 7 << "未知";
}

void tst_DevPanelResultLog::firmwareDataLine()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    m_panel->doProcessRecvTQPack(response(409, le16(uint16_t(code))));
    QCOMPARE(logText(), QString("409_download--下载操作结果:%1--结果:").arg(code) + text);
}

void tst_DevPanelResultLog::heartbeatLine()
{
    // As the link delivers it: uptime, health and mode, no vendor status.
    m_panel->doProcessRecvTQPack(response(7509, QByteArray("\xd2\x04\x00\x00\x00\x03", 6), 20));
    // A longer payload brings the vendor status; the uptime prints signed.
    m_panel->doProcessRecvTQPack(response(7509, QByteArray("\xff\xff\xff\xff\x02\xff\xfe", 7), 200));
    QCOMPARE(logText(),
             QString("7509_heart--设备id:20开机时间:1234节点健康状态0节点当前模式3用户自定义\n"
                     "7509_heart--设备id:200开机时间:-1节点健康状态2节点当前模式-1用户自定义-2"));
}

void tst_DevPanelResultLog::otherPortsAddNothing_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("6160 telemetry") << 6160 << QByteArray("\x10\x27\x00\x00\x00\x00", 6) + QByteArray(9, '\0');
    QTest::newRow("6161 telemetry") << 6161 << QByteArray(7, '\x01');
    QTest::newRow("6162 telemetry") << 6162 << QByteArray(4, '\x01');
    QTest::newRow("257 file read") << 257 << QByteArray("\x00\x00" "abc\x00", 6);
    QTest::newRow("port 0") << 0 << QByteArray(3, '\x01');
}

void tst_DevPanelResultLog::otherPortsAddNothing()
{
    QFETCH(int, port);
    QFETCH(QByteArray, payload);
    m_panel->doProcessRecvTQPack(response(uint16_t(port), payload));
    // The link's internal codes carry no payload.
    m_panel->doProcessRecvTQPack(nullResponse(8888));
    m_panel->doProcessRecvTQPack(nullResponse(8889));
    QVERIFY(logText().isEmpty());
}

void tst_DevPanelResultLog::nullAndShortPayloadsAddNothing_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("shortSize");
    QTest::newRow("430") << 430 << 286;
    QTest::newRow("256") << 256 << 3;
    QTest::newRow("435") << 435 << 0;
    QTest::newRow("409") << 409 << 1;
    QTest::newRow("7509") << 7509 << 5;
    QTest::newRow("6160") << 6160 << 1;
}

void tst_DevPanelResultLog::nullAndShortPayloadsAddNothing()
{
    QFETCH(int, port);
    QFETCH(int, shortSize);
    m_panel->doProcessRecvTQPack(nullResponse(uint16_t(port)));
    // A size that claims more than the null buffer holds is not believed.
    m_panel->doProcessRecvTQPack(nullResponse(uint16_t(port), 296));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("too short"));
    m_panel->doProcessRecvTQPack(response(uint16_t(port), QByteArray(shortSize, '\x7f')));
    QVERIFY(logText().isEmpty());
}

void tst_DevPanelResultLog::hexFormatting()
{
    QCOMPARE(tqWidget::toHexString("AB"), QString("41 42 "));
    QCOMPARE(tqWidget::toHexString(""), QString());
    QCOMPARE(tqWidget::toHexString(QString(QChar(0xE9)) + QChar(0)), QString("E9 00 "));
}

QTEST_MAIN(tst_DevPanelResultLog)
#include "tst_devpanel_resultlog.moc"
