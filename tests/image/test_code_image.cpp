// The cell model of the code image: texts of labels, data cells and header, text conversions.
#include "code_image.h"

#include <QtTest>

using namespace brindle::image;

class TestCodeImage : public QObject {
    Q_OBJECT

private slots:
    void gridAfterRedraw()
    {
        CodeBuffer buffer;
        HexGrid grid;
        grid.setFormat(kGridFormat);
        grid.redraw(buffer);
        QCOMPARE(grid.text(0, 0), std::string("    "));
        QCOMPARE(grid.text(0, 11), std::string(" A"));
        for (int r = 1; r < kGridRows; ++r) {
            QCOMPARE(grid.text(r, 0), fixedHex(static_cast<std::uint32_t>(16 * (r - 1)), 4));
            for (int c = 1; c < kGridColumns; ++c)
                QCOMPARE(grid.text(r, c), std::string("FF"));
        }
        buffer[0] = 0x0A;
        buffer[1] = 0x00;
        buffer[0xFFFF] = 0x5C;
        grid.setText(0, 3, "kept");
        grid.redraw(buffer);
        QCOMPARE(grid.text(1, 1), std::string("0A"));
        QCOMPARE(grid.text(1, 2), std::string("00"));
        QCOMPARE(grid.text(4096, 16), std::string("5C"));
        QCOMPARE(grid.text(0, 3), std::string("kept")); // the header row is not redrawn
    }

    // Odd cell texts count in SAVE's checksum as their leading hexadecimal digits.
    void texts()
    {
        QCOMPARE(readHexField(" 1\t2\n3"), 0x123u);
        QCOMPARE(readHexField("1G2"), 0x1u);
        QCOMPARE(readHexField(""), 0u);
    }

    void firstMalformedCell()
    {
        const struct { int row, column; const char* text; int lastRow, expected; } cases[] = {
            {1, 1, "ab", 4096, -1},    {292, 5, "F", 4096, 0x1234}, {2, 1, "", 4096, 0x10},
            {1, 2, " F", 4096, 1},     {4096, 16, "FFF", 4096, 0xFFFF},
            {65, 1, "XX", 64, -1},     {64, 16, "XX", 64, 0x3FF}, // only rows up to lastRow count
        };
        for (const auto& c : cases) {
            HexGrid grid;
            grid.redraw(CodeBuffer());
            grid.setText(c.row, c.column, c.text);
            QCOMPARE(grid.firstMalformedCell(c.lastRow), c.expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestCodeImage)
#include "test_code_image.moc"
