// The developer panel's result log: the readable line for each answered
// port, nothing for the rest, and every payload freed, whatever its length.
// Runs under the sanitizers too, which report any payload left behind or
// read past its end.

#include <cstring>
#include <utility>

#include <QTextEdit>
#include <QtTest>

#include "devpanel/tqwidget.h"

namespace {

// A response as the link hands it over: the payload on the heap, owned by
// whoever receives the record. A null payload may claim any size.
response_data_struct_t response(int port, const QByteArray& bytes, int node = 16, bool null = false)
{
    response_data_struct_t pack;
    pack.priority = 4;
    pack.port_id = uint16_t(port);
    pack.remote_node_id = uint8_t(node);
    pack.payload_size = uint32_t(bytes.size());
    if (!null) {
        pack.payload = new uint8_t[bytes.size()];
        std::memcpy(pack.payload, bytes.constData(), size_t(bytes.size()));
    }
    return pack;
}

// The 296-byte node-information record: protocol -2, hardware 3, software
// 0x8001 (printed as i16), a revision filling its field, the unique ID, a
// name with the rest of its area zero, and "OK" further on.
QByteArray nodeInfo(const QByteArray& uniqueId)
{
    QByteArray b(296, '\0');
    b.replace(0, 6, QByteArray("\xfe\xff\x03\x00\x01\x80", 6));
    b.replace(6, 8, "abcdefgh");
    b.replace(14, 16, uniqueId);
    b.replace(30, 5, "ESC-X");
    b.replace(285, 2, "OK");
    return b;
}

} // namespace

class tst_DevPanelResultLog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_log); }
    void init() { m_log->clear(); }
    void lines_data();
    void lines();
    void nullPayloadsAddNothing();

private:
    tqWidget m_panel;
    QTextEdit* m_log = m_panel.findChild<QTextEdit*>("cx_searial_recv_text");
};

void tst_DevPanelResultLog::lines_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("node");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("line");  // empty: nothing is added
    const QString info = "430_设备信息--协议版本:-2--硬件版本:3--软件版本:-32767--软件签名:abcdefgh--设备唯一:%1"
                         "--设备型号:ESC-X--其他:OK";
    QTest::newRow("430, bytes below 0x80")
        << 430 << 16 << nodeInfo("0123456789ABCDEF")
        << info.arg("30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46 ");
    QTest::newRow("430, zero bytes and bytes from 0x80 up")
        << 430 << 16 << nodeInfo(QByteArray("\x00\x80\xff\x10\xc3\xa9\x00\x7f\xe4\xb8\xad\x01\x02\x03\xfe\x00", 16))
        << info.arg("00 80 FF 10 C3 A9 00 7F E4 B8 AD 01 02 03 FE 00 ");
    // A value (index printed as a signed byte), and the 2-byte error kind
    // that the link pads with 9 zero bytes.
    QTest::newRow("256, value") << 256 << 16 << QByteArray("\x00\xc8\xd4\xfe", 4) + QByteArray(9, '\0')
                                << "256_寄存器读写--操作状态:0--索引:-56--寄存器值:-300";
    QTest::newRow("256, error kind") << 256 << 16 << QByteArray("\x03\x05", 2) + QByteArray(9, '\0')
                                     << "256_寄存器读写--操作状态:3--索引:5--寄存器值:0";
    QTest::newRow("435, 0") << 435 << 16 << QByteArray(1, 0) << "435_控制--操作状态:0--结果:成功";
    QTest::newRow("435, 5") << 435 << 16 << QByteArray(1, 5) << "435_控制--操作状态:5--结果:节点当前状态不允许执行该指令";
    QTest::newRow("435, 200") << 435 << 16 << QByteArray(1, char(200)) << "435_控制--操作状态:200--结果:未知的错误";
    QTest::newRow("409, 0") << 409 << 16 << QByteArray(2, 0) << "409_download--下载操作结果:0--结果:成功";
    QTest::newRow("409, 101") << 409 << 16 << QByteArray("\x65\x00", 2)
                              << "409_download--下载操作结果:101--结果:升级数据包格式.文件长度错误， 只能是 256 或者 0";
    QTest::newRow("409, 7") << 409 << 16 << QByteArray("\x07\x00", 2) << "409_download--下载操作结果:7--结果:未知";
    // As the link delivers it: uptime, health and mode; a longer payload
    // brings the vendor status. The uptime prints signed.
    QTest::newRow("7509") << 7509 << 20 << QByteArray("\xd2\x04\x00\x00\x00\x03", 6)
                          << "7509_heart--设备id:20开机时间:1234节点健康状态0节点当前模式3用户自定义";
    QTest::newRow("7509, vendor status") << 7509 << 200 << QByteArray("\xff\xff\xff\xff\x02\xff\xfe", 7)
                                         << "7509_heart--设备id:200开机时间:-1节点健康状态2节点当前模式-1用户自定义-2";
    // Other ports add nothing.
    QTest::newRow("6160 telemetry") << 6160 << 16 << QByteArray(15, '\x01') << "";
    QTest::newRow("257 file read") << 257 << 16 << QByteArray("\x00\x00" "abc\x00", 6) << "";
    QTest::newRow("port 0") << 0 << 16 << QByteArray(3, '\x01') << "";
    // A payload too short for its port adds nothing either.
    for (const auto& [port, size] : {std::pair{430, 286}, {256, 3}, {435, 0}, {409, 1}, {7509, 5}, {6160, 1}})
        QTest::addRow("%d, %d bytes", port, size) << port << 16 << QByteArray(size, '\x7f') << "";
}

void tst_DevPanelResultLog::lines()
{
    QFETCH(int, port);
    QFETCH(int, node);
    QFETCH(QByteArray, payload);
    QFETCH(QString, line);
    m_panel.doProcessRecvTQPack(response(port, payload, node));
    QCOMPARE(m_log->toPlainText(), line);
}

void tst_DevPanelResultLog::nullPayloadsAddNothing()
{
    // The link's internal codes carry none; a size that claims more than the
    // null buffer holds is not believed.
    for (int port : {430, 256, 435, 409, 7509, 6160, 8888, 8889}) {
        m_panel.doProcessRecvTQPack(response(port, {}, 16, true));
        m_panel.doProcessRecvTQPack(response(port, QByteArray(296, '\0'), 16, true));
    }
    QVERIFY(m_log->toPlainText().isEmpty());
}

QTEST_MAIN(tst_DevPanelResultLog)
#include "tst_devpanel_resultlog.moc"
