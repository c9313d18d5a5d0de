// The 64 KB code image: the byte store and the hex-dump grid's cell texts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::image {

constexpr int kImageSize = 65536;
constexpr int kGridRows = 4097;   // row 0: header
constexpr int kGridColumns = 17;  // column 0: address labels
constexpr int kBytesPerRow = 16;

// Header format of the grid: one "|"-separated piece per column.
inline constexpr std::string_view kGridFormat =
    "    | 0| 1| 2| 3| 4| 5| 6| 7| 8| 9| A| B| C| D| E| F";

// Upper-case hexadecimal without leading zeros: 0, A, 4E0.
std::string hexText(std::uint32_t value);
// Zeros in front, then the rightmost `width` characters: fixedHex(0xA, 2) == "0A".
std::string fixedHex(std::uint32_t value, int width);
// Decimal with the one leading blank a title number carries: " 1234".
std::string blankDecimal(std::uint32_t value);
// Reads a field as hexadecimal: skips blanks, tabs and line feeds, stops at the first
// other non-digit, 0 when there is no digit.
std::uint32_t readHexField(std::string_view field);
bool isHexDigit(char c);

// Grid position of an address, and back.
constexpr int rowOf(int address) { return address / kBytesPerRow + 1; }
constexpr int columnOf(int address) { return address % kBytesPerRow + 1; }
constexpr int addressOf(int row, int column) { return (row - 1) * kBytesPerRow + (column - 1); }

// codeBuffer: 65,536 bytes, every one always meaningful.
class CodeBuffer {
public:
    CodeBuffer() { bytes_.fill(0xFF); }
    void fill(std::uint8_t value) { bytes_.fill(value); }
    std::uint8_t& operator[](int address) { return bytes_[static_cast<std::size_t>(address)]; }
    std::uint8_t operator[](int address) const { return bytes_[static_cast<std::size_t>(address)]; }
    const std::uint8_t* data() const { return bytes_.data(); }
    std::uint8_t* data() { return bytes_.data(); }

private:
    std::array<std::uint8_t, kImageSize> bytes_;
};

// The grid's 4097 x 17 cell texts. The texts are the store of record: READ may put any
// text in a cell, and WRITE, VERIFY and SAVE must see exactly that text.
class HexGrid {
public:
    HexGrid();

    const std::string& text(int row, int column) const { return cells_[index(row, column)]; }
    void setText(int row, int column, std::string text) { cells_[index(row, column)] = std::move(text); }

    // Splits the format at each "|": piece k is the text of cell (0, k) and the width of
    // column k, in characters.
    void setFormat(std::string_view format);
    int columnWidthChars(int column) const { return widths_[static_cast<std::size_t>(column)]; }

    // Labels and data cells of rows 1..4096 from the buffer; the header row is left alone.
    void redraw(const CodeBuffer& buffer);

    // The address of the first data cell in rows 1..lastRow that does not hold two
    // hexadecimal digits, or -1 when all do.
    int firstMalformedCell(int lastRow) const;

private:
    static std::size_t index(int row, int column)
    {
        return static_cast<std::size_t>(row) * kGridColumns + static_cast<std::size_t>(column);
    }
    std::vector<std::string> cells_;
    std::array<int, kGridColumns> widths_{};
};

} // namespace brindle::image
