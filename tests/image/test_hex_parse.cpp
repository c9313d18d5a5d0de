// Reading Intel HEX text: what is stored, how far, and why a file is rejected whole.
#include "hex_file.h"

#include <QtTest>

using namespace brindle::image;

namespace {

// One record line without its line ending; the checksum is made to match.
QByteArray rec(int address, int type, const QByteArray& data)
{
    QByteArray body;
    body += QByteArray::number(data.size(), 16).rightJustified(2, '0');
    body += QByteArray::number(address, 16).rightJustified(4, '0');
    body += QByteArray::number(type, 16).rightJustified(2, '0');
    body += data.toHex();
    unsigned sum = 0;
    for (char b : QByteArray::fromHex(body))
        sum += static_cast<unsigned char>(b);
    body += QByteArray::number((256 - sum % 256) % 256, 16).rightJustified(2, '0');
    return ':' + body.toUpper();
}

QByteArray bytesOf(int n, int first = 0)
{
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b += static_cast<char>((first + i) & 0xFF);
    return b;
}

const QByteArray kEnd = ":00000001FF";

HexReadResult parse(const QByteArray& text)
{
    return parseHex(std::string_view(text.constData(), static_cast<std::size_t>(text.size())), "T.HEX");
}

CodeBuffer loaded(const HexReadResult& r)
{
    CodeBuffer buffer;
    applyHex(r.data, buffer);
    return buffer;
}

} // namespace

class TestHexParse : public QObject {
    Q_OBJECT

private slots:
    void lengths_data();
    void lengths();
    void laterRecordsWinInAnyOrder();
    void accepted_data();
    void accepted();
    void rejected_data();
    void rejected();
};

void TestHexParse::lengths_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("loadedEnd");
    QTest::addColumn<int>("programLength");
    QTest::newRow("empty file") << QByteArray() << 0 << 0;
    QTest::newRow("end record only") << kEnd + "\r\n" << 0 << 0;
    QTest::newRow("one byte at 0") << rec(0, 0, "\x12") + "\r\n" + kEnd << 1 << 32;
    QTest::newRow("32 bytes") << rec(0, 0, bytesOf(16)) + "\r\n" + rec(16, 0, bytesOf(16)) << 32 << 32;
    QTest::newRow("33 bytes") << rec(0, 0, bytesOf(32)) + "\r\n" + rec(32, 0, "\1") << 33 << 64;
    QTest::newRow("1000 to 100F") << rec(0x1000, 0, bytesOf(16)) << 4112 << 4128;
    QTest::newRow("byte at FFFF") << rec(0xFFFF, 0, "\xAA") << 65536 << 65536;
    QTest::newRow("highest first") << rec(0x100, 0, bytesOf(16)) + "\n" + rec(0, 0, bytesOf(4)) << 0x110 << 0x120;
    QTest::newRow("count 0 data record") << rec(0x4000, 0, "") << 0 << 0;
    QTest::newRow("full 255-byte record") << rec(0xFF01, 0, bytesOf(255)) << 65536 << 65536;
}

void TestHexParse::lengths()
{
    QFETCH(QByteArray, text);
    QFETCH(int, loadedEnd);
    QFETCH(int, programLength);
    const HexReadResult r = parse(text);
    QVERIFY2(!r.problem, r.problem ? qPrintable(r.problem->message) : "");
    QCOMPARE(r.data.loadedEnd, loadedEnd);
    QCOMPARE(programLengthFor(r.data.loadedEnd), programLength);
}

void TestHexParse::laterRecordsWinInAnyOrder()
{
    const QByteArray text = rec(0x8010, 0, bytesOf(16, 0x10)) + "\r\n" + rec(0x8000, 0, bytesOf(20, 0x40)) +
                            "\r\n" + rec(0x8002, 0, "\xEE\xEE") + "\r\n" + kEnd + "\r\n";
    const HexReadResult r = parse(text);
    QVERIFY(!r.problem);
    QCOMPARE(r.data.loadedEnd, 0x8020);
    const CodeBuffer b = loaded(r);
    QCOMPARE(b[0x8000], 0x40);
    QCOMPARE(b[0x8001], 0x41);
    QCOMPARE(b[0x8002], 0xEE);
    QCOMPARE(b[0x8003], 0xEE);
    QCOMPARE(b[0x8004], 0x44);
    QCOMPARE(b[0x8013], 0x53); // second record over the first
    QCOMPARE(b[0x8014], 0x14); // first record beyond the second's end
    QCOMPARE(b[0x801F], 0x1F);
    QCOMPARE(b[0x7FFF], 0xFF);
    QCOMPARE(b[0x8020], 0xFF);
}

void TestHexParse::accepted_data()
{
    QTest::addColumn<QByteArray>("text");
    const QByteArray a = rec(0, 0, bytesOf(16, 0xA0));
    const QByteArray b = rec(16, 0, bytesOf(16, 0xB0));
    const QByteArray crlf = a + "\r\n" + b + "\r\n" + kEnd + "\r\n";
    QTest::newRow("CR LF") << crlf;
    QTest::newRow("LF alone") << a + "\n" + b + "\n" + kEnd + "\n";
    QTest::newRow("CR alone") << a + "\r" + b + "\r" + kEnd + "\r";
    QTest::newRow("mixed, no last line end") << a + "\r" + b + "\n" + kEnd;
    QTest::newRow("blank lines") << "\r\n\n  \r\n" + a + "\r\n\t\r\n\r\n" + b + "\n\n" + kEnd + "\n\n";
    QTest::newRow("trailing blanks and tabs") << a + " \t \r\n" + b + "\t\r\n" + kEnd + " ";
    QTest::newRow("lower case") << crlf.toLower();
    QTest::newRow("no end record") << a + "\r\n" + b;
    QTest::newRow("byte-order mark") << "\xEF\xBB\xBF" + crlf;
    QTest::newRow("DOS end-of-file mark") << crlf + "\x1A";
    QTest::newRow("zero-base 02 and 04") << rec(0, 2, QByteArray(2, 0)) + "\r\n" + rec(0, 4, QByteArray(2, 0)) +
                                                "\r\n" + crlf;
    QTest::newRow("start addresses 03 and 05") << a + "\r\n" + rec(0, 3, "\x12\x34\x56\x78") + "\r\n" +
                                                      rec(0, 5, "\x9A\xBC\xDE\xF0") + "\r\n" + b;
    QTest::newRow("garbage after the end") << crlf + "this is no record\r\n:ZZ\r\n" + rec(0, 0, bytesOf(16));
    QTest::newRow("binary after the end") << crlf + QByteArray("\0\x01\xFF\x80", 4);
    QTest::newRow("end record with data") << a + "\n" + b + "\n" + rec(0, 1, "\x12") + "\n" + rec(0, 0, "\1");
}

void TestHexParse::accepted()
{
    QFETCH(QByteArray, text);
    const HexReadResult r = parse(text);
    QVERIFY2(!r.problem, r.problem ? qPrintable(r.problem->message) : "");
    QCOMPARE(r.data.loadedEnd, 32);
    const CodeBuffer b = loaded(r);
    for (int i = 0; i < kImageSize; ++i) {
        const int expected = i < 16 ? 0xA0 + i : i < 32 ? 0xB0 + i - 16 : 0xFF;
        if (b[i] != expected)
            QFAIL(qPrintable(QString("address %1: %2, expected %3").arg(i).arg(b[i]).arg(expected)));
    }
}

void TestHexParse::rejected_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<HexError>("error");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("reason");
    const QByteArray ff = ":10001000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF";
    const QByteArray good = rec(0, 0, bytesOf(16)) + "\r\n";
    QTest::newRow("bad checksum") << good + ff + "3F\r\n" << HexError::BadChecksum << 2
                                  << "checksum is 3F, the record needs F0.";
    QTest::newRow("bad digit") << good + ":10001000FFFFFFFFFFFFFFFGFFFFFFFFFFFFFFFFF0" << HexError::BadDigit << 2
                               << "position 25 holds 'G', not a hexadecimal digit.";
    QTest::newRow("blank inside") << good + ":10001000FFFF FFFFFFFFFFFFFFFFFFFFFFFFFFFFF0" << HexError::BadDigit << 2
                                  << "position 14 holds a blank, not a hexadecimal digit.";
    QTest::newRow("too short") << good + ":00000001" << HexError::BadLength << 2
                               << "the line has 9 characters; a record needs at least 11.";
    QTest::newRow("cut short") << good + ff << HexError::BadLength << 2
                               << "the line has 41 characters; its byte count 10 needs 43.";
    QTest::newRow("too long") << good + ff + "F0FF" << HexError::BadLength << 2
                              << "the line has 45 characters; its byte count 10 needs 43.";
    QTest::newRow("no start mark") << good + ff.mid(1) + "F0" << HexError::NoStartMark << 2
                                   << "the line starts with '1' instead of ':'.";
    QTest::newRow("leading blank") << good + " " + kEnd << HexError::NoStartMark << 2
                                   << "the line starts with a blank instead of ':'.";
    QTest::newRow("past FFFF") << good + rec(0xFFF8, 0, bytesOf(16)) << HexError::PastEnd << 2
                               << "16 bytes at FFF8 would run past FFFF.";
    QTest::newRow("type 06") << good + rec(0, 6, "") << HexError::BadRecordType << 2
                             << "record type 06 is not one of 00 to 05.";
    QTest::newRow("type 02 of 4 bytes") << good + rec(0, 2, QByteArray(4, 0)) << HexError::BadRecordType << 2
                                        << "a record of type 02 carries 2 bytes, this one 4.";
    QTest::newRow("type 02 non-zero base") << good + rec(0, 2, QByteArray("\x10\x00", 2)) << HexError::NonZeroBase << 2
                                           << "record type 02 sets the base 1000; the code memory ends at FFFF, "
                                              "so only 0000 fits.";
    QTest::newRow("type 04 non-zero base") << good + rec(0, 4, QByteArray("\x00\x01", 2)) << HexError::NonZeroBase << 2
                                           << "record type 04 sets the base 0001; the code memory ends at FFFF, "
                                              "so only 0000 fits.";
    QTest::newRow("NUL byte") << good + good + QByteArray(":10\0", 4) << HexError::NotText << 3
                              << "position 4 holds the byte 00, which is not text: this is not an Intel HEX file.";
    QTest::newRow("byte beyond ASCII") << good + "\xC3\xA9" << HexError::NotText << 2
                                       << "position 1 holds the byte C3, which is not text: this is not an Intel "
                                          "HEX file.";
    QTest::newRow("binary file") << QByteArray("\x7F" "ELF\x02\x01\x01\0", 8) << HexError::NotText << 1
                                 << "position 1 holds the byte 7F, which is not text: this is not an Intel HEX file.";
    QTest::newRow("EOF mark inside") << good + "\x1A" + good << HexError::NotText << 2
                                     << "position 1 holds the byte 1A, which is not text: this is not an Intel "
                                        "HEX file.";
    QTest::newRow("lines counted over all endings") << "\r\n\n\r" + good + "\n" + kEnd.mid(1) << HexError::NoStartMark
                                                    << 6 << "the line starts with '0' instead of ':'.";
}

void TestHexParse::rejected()
{
    QFETCH(QByteArray, text);
    QFETCH(HexError, error);
    QFETCH(int, line);
    QFETCH(QString, reason);
    const HexReadResult r = parse(text);
    QVERIFY(r.problem.has_value());
    QCOMPARE(r.problem->error, error);
    QCOMPARE(r.problem->line, line);
    QCOMPARE(r.problem->message, QString("T.HEX, line %1: %2").arg(line).arg(reason));
    QVERIFY(r.data.runs.empty());
    QVERIFY(r.data.bytes.empty());
    QCOMPARE(r.data.loadedEnd, 0);
}

QTEST_GUILESS_MAIN(TestHexParse)
#include "test_hex_parse.moc"
