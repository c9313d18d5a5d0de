// The cell model of the code image: texts of labels, data cells and header, text conversions.
#include "code_image.h"

#include <QtTest>

using namespace brindle::image;

class TestCodeImage : public QObject {
    Q_OBJECT

private slots:
    void freshGridAfterFillAndRedraw();
    void byteTexts();
    void addressToCell();
    void hexText_data();
    void hexText();
    void readHexField_data();
    void readHexField();
    void firstMalformedCell_data();
    void firstMalformedCell();
};

void TestCodeImage::freshGridAfterFillAndRedraw()
{
    CodeBuffer buffer;
    buffer.fill(0xFF);
    HexGrid grid;
    grid.setFormat(kGridFormat);
    grid.redraw(buffer);

    QCOMPARE(grid.text(0, 0), std::string("    "));
    QCOMPARE(grid.columnWidthChars(0), 4);
    const char digits[] = "0123456789ABCDEF";
    for (int c = 1; c < kGridColumns; ++c) {
        QCOMPARE(grid.text(0, c), (std::string{' ', digits[c - 1]}));
        QCOMPARE(grid.columnWidthChars(c), 2);
    }
    for (int r = 1; r < kGridRows; ++r) {
        QCOMPARE(grid.text(r, 0), fixedHex(static_cast<std::uint32_t>(16 * (r - 1)), 4));
        for (int c = 1; c < kGridColumns; ++c)
            QCOMPARE(grid.text(r, c), std::string("FF"));
    }
    QCOMPARE(grid.text(1, 0), std::string("0000"));
    QCOMPARE(grid.text(2, 0), std::string("0010"));
    QCOMPARE(grid.text(4096, 0), std::string("FFF0"));
    QCOMPARE(grid.firstMalformedCell(4096), -1);
}

void TestCodeImage::byteTexts()
{
    CodeBuffer buffer;
    buffer[0] = 0x0A;
    buffer[1] = 0x00;
    buffer[2] = 0xAB;
    buffer[0xFFFF] = 0x5C;
    HexGrid grid;
    grid.setText(0, 3, "kept");
    grid.redraw(buffer);
    QCOMPARE(grid.text(1, 1), std::string("0A"));
    QCOMPARE(grid.text(1, 2), std::string("00"));
    QCOMPARE(grid.text(1, 3), std::string("AB"));
    QCOMPARE(grid.text(4096, 16), std::string("5C"));
    QCOMPARE(grid.text(0, 3), std::string("kept")); // the header row is not redrawn
}

void TestCodeImage::addressToCell()
{
    QCOMPARE(rowOf(0x1234), 292);
    QCOMPARE(columnOf(0x1234), 5);
    QCOMPARE(addressOf(292, 5), 0x1234);
    QCOMPARE(rowOf(0xFFFF), 4096);
    QCOMPARE(columnOf(0xFFFF), 16);
    QCOMPARE(addressOf(1, 1), 0);
}

void TestCodeImage::hexText_data()
{
    QTest::addColumn<uint>("value");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("fixed");
    QTest::newRow("zero") << 0u << 2 << "0" << "00";
    QTest::newRow("A") << 0xAu << 2 << "A" << "0A";
    QTest::newRow("4E0") << 0x4E0u << 4 << "4E0" << "04E0";
    QTest::newRow("cut to width") << 0x100u << 2 << "100" << "00";
    QTest::newRow("10000") << 0x10000u << 4 << "10000" << "0000";
    QTest::newRow("FFF0") << 0xFFF0u << 4 << "FFF0" << "FFF0";
}

void TestCodeImage::hexText()
{
    QFETCH(uint, value);
    QFETCH(int, width);
    QFETCH(QString, plain);
    QFETCH(QString, fixed);
    QCOMPARE(QString::fromStdString(brindle::image::hexText(value)), plain);
    QCOMPARE(QString::fromStdString(fixedHex(value, width)), fixed);
}

void TestCodeImage::readHexField_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<uint>("value");
    QTest::newRow("upper") << "FF" << 0xFFu;
    QTest::newRow("lower") << "ab" << 0xABu;
    QTest::newRow("blanks, tabs, line feeds skipped") << " 1\t2\n3" << 0x123u;
    QTest::newRow("stops at non-digit") << "1G2" << 0x1u;
    QTest::newRow("no digit") << "G1" << 0u;
    QTest::newRow("empty") << "" << 0u;
    QTest::newRow("one digit") << "7" << 7u;
    QTest::newRow("colon") << ":10" << 0u;
}

void TestCodeImage::readHexField()
{
    QFETCH(QString, field);
    QFETCH(uint, value);
    QCOMPARE(brindle::image::readHexField(field.toStdString()), value);
}

void TestCodeImage::firstMalformedCell_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lastRow");
    QTest::addColumn<int>("expected");
    QTest::newRow("lower case is fine") << 1 << 1 << "ab" << 4096 << -1;
    QTest::newRow("one character") << 292 << 5 << "F" << 4096 << 0x1234;
    QTest::newRow("empty") << 2 << 1 << "" << 4096 << 0x10;
    QTest::newRow("three characters") << 4096 << 16 << "FFF" << 4096 << 0xFFFF;
    QTest::newRow("non-digit") << 1 << 16 << "G0" << 4096 << 0xF;
    QTest::newRow("blank") << 1 << 2 << " F" << 4096 << 1;
    QTest::newRow("beyond lastRow") << 65 << 1 << "XX" << 64 << -1;
    QTest::newRow("on lastRow") << 64 << 16 << "XX" << 64 << 0x3FF;
}

void TestCodeImage::firstMalformedCell()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(int, lastRow);
    QFETCH(int, expected);
    CodeBuffer buffer;
    HexGrid grid;
    grid.redraw(buffer);
    grid.setText(row, column, text.toStdString());
    QCOMPARE(grid.firstMalformedCell(lastRow), expected);
}

QTEST_GUILESS_MAIN(TestCodeImage)
#include "test_code_image.moc"
