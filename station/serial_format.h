// How a chip's own number lies in its image: the field's width and byte order, and the values
// of a list handed out one by one (MAC addresses, keys).
#pragma once

#include "code_image.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace brindle::station {

struct SerialFormat {
    enum class Kind { Little, Big, Bcd, Ascii, List };
    Kind kind = Kind::Little;
    int width = 0; // bytes in the chip
};

// "le:W", "be:W" (binary), "bcd:W" (packed BCD, big endian), "ascii:W" (W decimal digits);
// nullopt with *error set otherwise.
std::optional<SerialFormat> parseSerialFormat(const QString& text, QString* error);
QString formatName(const SerialFormat& format);
// The largest number the field holds.
qint64 largestNumber(const SerialFormat& format);
// The field's bytes for a number; nullopt when it does not fit (or is negative).
std::optional<QByteArray> encodeNumber(qint64 number, const SerialFormat& format);

// A number as the operator reads it: at least six digits, "000123".
QString numberText(qint64 number);
// Bytes as a list file writes them: "00:1A:2B".
QString bytesText(const QByteArray& bytes);

// A list of values, one a line, as "00:1A:2B:3C:4D:5E" or "001A2B3C4D5E"; blank lines and lines
// starting with '#' are passed over. Every value has the same length.
struct SerialList {
    std::vector<QByteArray> values;
    QString sha256; // of the file's bytes: the same list loaded twice is one list
};
// nullopt with *error naming the file and line when any line is malformed: nothing is loaded.
std::optional<SerialList> loadSerialList(const QString& path, QString* error);

// The field's bytes into the grid's cells at address on.
void putSerial(image::HexGrid& grid, int address, const QByteArray& bytes);

} // namespace brindle::station
