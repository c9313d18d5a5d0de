// Intel HEX reader and writer for the code image.
#pragma once

#include "code_image.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::image {

enum class HexError {
    CannotOpen,     // the file could not be opened
    CannotRead,     // reading failed part-way
    NotText,        // control characters or bytes beyond ASCII
    NoStartMark,    // a line does not start with ':'
    BadDigit,       // a character that is not a hexadecimal digit
    BadLength,      // the line is not as long as its byte count says
    BadChecksum,    // the checksum does not match
    PastEnd,        // data would run past 0xFFFF
    BadRecordType,  // a record type other than 00 to 05
    NonZeroBase,    // an extended address record (02, 04) with a base other than zero
    TooLarge,       // the file is far larger than any HEX file of a 64 KB image
    NoRecords,      // empty, or blank lines only: most often a build that failed
};

// Generous: a 64 KB image in one-byte records takes about 1 MB.
constexpr qint64 kMaxHexFileSize = 16 * 1024 * 1024;

struct HexProblem {
    HexError error;
    int line;        // 1-based; 0 when the whole file is concerned
    QString message; // names the file, the line and what is wrong
};

// What a file holds, checked whole before anything is stored.
struct HexData {
    struct Run {
        int address;          // first address
        std::uint32_t offset; // into bytes
        std::uint32_t length;
    };
    std::vector<Run> runs;           // in file order: later runs overwrite earlier ones
    std::vector<std::uint8_t> bytes; // all runs' data
    int loadedEnd = 0;               // one past the highest address stored, 0 when none
};

struct HexReadResult {
    HexData data;
    std::optional<HexProblem> problem; // set: the file is rejected whole
    QString warning = {}; // the file loads, but has no end record: a copy may have cut it off
};

// fileName is only used in messages. A leading UTF-8 byte-order mark and DOS end-of-file
// characters (0x1A) at the very end are passed over.
[[nodiscard]] HexReadResult parseHex(std::string_view text, const QString& fileName);
[[nodiscard]] HexReadResult readHexFile(const QString& path);
void applyHex(const HexData& data, CodeBuffer& buffer);

// loadedEnd rounded up to a multiple of 32.
constexpr int programLengthFor(int loadedEnd) { return ((loadedEnd - 1) | 31) + 1; }

// The file SAVE writes: one 16-byte record per grid row 1..rows (cell texts as they
// stand), then the end record and an empty line, every line ending in CR LF. rows is
// clamped to 0..4096.
[[nodiscard]] std::string hexRecords(const HexGrid& grid, int rows);

// Replaces path with content through a temporary file in the same folder, so a failure
// leaves an existing file as it was; a device or pipe is written to as it stands. Returns the
// system's reason on failure.
[[nodiscard]] std::optional<QString> writeFileAtomically(const QString& path, const std::string& content);

} // namespace brindle::image
