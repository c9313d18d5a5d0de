#include "code_image.h"

namespace brindle::image {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
}

std::string hexText(std::uint32_t value)
{
    char buf[8];
    int n = 0;
    do {
        buf[n++] = kDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    std::string out;
    out.reserve(static_cast<std::size_t>(n));
    while (n > 0)
        out.push_back(buf[--n]);
    return out;
}

std::string fixedHex(std::uint32_t value, int width)
{
    std::string s = std::string(static_cast<std::size_t>(width), '0') + hexText(value);
    return s.substr(s.size() - static_cast<std::size_t>(width));
}

std::string blankDecimal(std::uint32_t value)
{
    return " " + std::to_string(value);
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::uint32_t readHexField(std::string_view field)
{
    std::uint32_t value = 0;
    for (char c : field) {
        if (c == ' ' || c == '\t' || c == '\n')
            continue;
        if (c >= '0' && c <= '9')
            value = value * 16 + static_cast<std::uint32_t>(c - '0');
        else if (c >= 'A' && c <= 'F')
            value = value * 16 + static_cast<std::uint32_t>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            value = value * 16 + static_cast<std::uint32_t>(c - 'a' + 10);
        else
            break;
    }
    return value;
}

HexGrid::HexGrid() : cells_(static_cast<std::size_t>(kGridRows) * kGridColumns) {}

void HexGrid::setFormat(std::string_view format)
{
    int column = 0;
    std::size_t start = 0;
    while (column < kGridColumns) {
        const std::size_t bar = format.find('|', start);
        const std::string_view piece =
            format.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start);
        setText(0, column, std::string(piece));
        widths_[static_cast<std::size_t>(column)] = static_cast<int>(piece.size());
        ++column;
        if (bar == std::string_view::npos)
            break;
        start = bar + 1;
    }
}

void HexGrid::redraw(const CodeBuffer& buffer)
{
    // Table lookups keep the 69,632 cell writes cheap; every text fits the small-string buffer.
    static const auto byteTexts = [] {
        std::array<std::string, 256> t;
        for (int b = 0; b < 256; ++b)
            t[static_cast<std::size_t>(b)] = fixedHex(static_cast<std::uint32_t>(b), 2);
        return t;
    }();
    for (int i = 0; i < kGridRows - 1; ++i) {
        std::string* row = &cells_[index(i + 1, 0)];
        row[0] = fixedHex(static_cast<std::uint32_t>(16 * i), 4);
        const std::uint8_t* bytes = buffer.data() + 16 * i;
        for (int j = 0; j < kBytesPerRow; ++j)
            row[j + 1] = byteTexts[bytes[j]];
    }
}

int HexGrid::firstMalformedCell(int lastRow) const
{
    for (int r = 1; r <= lastRow; ++r)
        for (int c = 1; c < kGridColumns; ++c) {
            const std::string& t = text(r, c);
            if (t.size() != 2 || !isHexDigit(t[0]) || !isHexDigit(t[1]))
                return addressOf(r, c);
        }
    return -1;
}

} // namespace brindle::image
