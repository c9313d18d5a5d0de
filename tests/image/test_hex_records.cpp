// The file SAVE writes: record layout, checksums, line ends, size, and that it loads back.
#include "hex_file.h"

#include <QtTest>

using namespace brindle::image;

namespace {

HexGrid drawn(const CodeBuffer& buffer)
{
    HexGrid grid;
    grid.setFormat(kGridFormat);
    grid.redraw(buffer);
    return grid;
}

QByteArray lineOf(const std::string& file, int index)
{
    return QByteArray::fromStdString(file).split('\n').value(index);
}

} // namespace

class TestHexRecords : public QObject {
    Q_OBJECT

private slots:
    void exampleLines();
    void cellsAsTheyStand();
    void sizeAndLineEnds_data();
    void sizeAndLineEnds();
    void roundTrip_data();
    void roundTrip();
};

void TestHexRecords::exampleLines()
{
    CodeBuffer buffer;
    buffer[0x20] = 0x01; // 0x10 + 0x20 + 0x01 + 15 * 0xFF = 0xF22: checksum DE
    const std::string file = hexRecords(drawn(buffer), 3);
    QCOMPARE(lineOf(file, 0), QByteArray(":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\r"));
    QCOMPARE(lineOf(file, 1), QByteArray(":10001000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF0\r"));
    QCOMPARE(lineOf(file, 2), QByteArray(":1000200001FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFDE\r"));
    QCOMPARE(lineOf(file, 3), QByteArray(":00000001FF\r"));
}

void TestHexRecords::cellsAsTheyStand()
{
    CodeBuffer buffer;
    buffer.fill(0);
    HexGrid grid = drawn(buffer);
    grid.setText(1, 1, "ab"); // lower case goes out unchanged, and counts as AB
    grid.setText(2, 16, "F"); // positions shift; the checksum covers positions 2 to 41 as they fall
    const std::string file = hexRecords(grid, 2);
    QCOMPARE(lineOf(file, 0), QByteArray(":10000000ab00000000000000000000000000000045\r"));
    QCOMPARE(lineOf(file, 1), QByteArray(":10001000000000000000000000000000000000FD1\r"));
}

void TestHexRecords::sizeAndLineEnds_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("size");
    QTest::newRow("none") << 0 << 15;
    QTest::newRow("1 KB") << 64 << 2895;
    QTest::newRow("10 KB") << 640 << 28815;
    QTest::newRow("64 KB") << 4096 << 184335;
}

void TestHexRecords::sizeAndLineEnds()
{
    QFETCH(int, rows);
    QFETCH(int, size);
    const QByteArray file = QByteArray::fromStdString(hexRecords(drawn(CodeBuffer()), rows));
    QCOMPARE(file.size(), size);
    QVERIFY(file.endsWith(":00000001FF\r\n\r\n"));
    QCOMPARE(file.count('\n'), rows + 2);
    QCOMPARE(file.count('\r'), rows + 2);
    QCOMPARE(file.count("\r\n"), rows + 2);
    if (rows > 0)
        QVERIFY(file.contains(":10" + QByteArray::number(16 * (rows - 1), 16).toUpper().rightJustified(4, '0') +
                              "00"));
}

void TestHexRecords::roundTrip_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("1 KB") << 64;
    QTest::newRow("2 KB") << 128;
    QTest::newRow("64 KB") << 4096;
}

void TestHexRecords::roundTrip()
{
    QFETCH(int, rows);
    CodeBuffer original;
    for (int a = 0; a < kImageSize; ++a)
        original[a] = static_cast<std::uint8_t>((a * 7 + a / 256) & 0xFF);
    const std::string file = hexRecords(drawn(original), rows);

    const HexReadResult r = parseHex(file, "ROUND.HEX");
    QVERIFY2(!r.problem, r.problem ? qPrintable(r.problem->message) : "");
    QCOMPARE(r.data.loadedEnd, rows * 16);
    CodeBuffer back;
    applyHex(r.data, back);
    for (int a = 0; a < kImageSize; ++a)
        QCOMPARE(back[a], a < rows * 16 ? original[a] : std::uint8_t{0xFF});
}

QTEST_GUILESS_MAIN(TestHexRecords)
#include "test_hex_records.moc"
