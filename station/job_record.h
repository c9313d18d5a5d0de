// A record of which chip got which file: one JSON line per step and board, appended to a log
// file. Each line goes out whole in a single append, so a crash never leaves half a line and
// several threads (or programs) can share one file; a line the disk has no room for is taken
// back, and a line never starts on the tail of one torn before.
#pragma once

#include "code_image.h"
#include "outcome.h"

#include <QFile>
#include <QString>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace brindle::station {

// The file a job works with, as the record names it.
struct FileFacts {
    QString path;       // empty: the step used no file
    qint64 size = -1;   // bytes; -1 when unknown
    QString sha256;     // lower-case hexadecimal; empty when unknown
};

struct RecordEntry {
    std::string port;
    const protocol::Chip* chip = nullptr; // the identified chip; null: none
    link::Operation step = link::Operation::Identify;
    FileFacts file;
    std::optional<std::uint32_t> imageCrc32; // of the image range sent, compared or read
    int imageBytes = 0;                      // the length of that range
    link::Result result = link::Result::Ok;
    int stopStatus = link::kInterruptedExit; // the exit status an interrupted step reports
    int differingBytes = 0;
    std::chrono::milliseconds duration{0};
    QString warning; // about the file: it loaded, but looks cut off
    QString series;  // the chip's own number; empty: none was given
    QString serial;
    QString serialBytes;
};

class JobRecord {
public:
    // program and version name what wrote the lines ("brindle-cli", "3.6").
    JobRecord(QString path, QString program, QString version);

    // Opens the file for appending; the system's reason when it cannot.
    [[nodiscard]] std::optional<QString> open();
    // Appends one line whole, or leaves the file as it was; safe from several threads. The
    // system's reason when it failed.
    [[nodiscard]] std::optional<QString> append(const RecordEntry& entry);

    // The JSON line for an entry, without its line end (UTC time and host filled in now).
    QByteArray line(const RecordEntry& entry) const;

    // Size and SHA-256 of a file as it is on disk now.
    static FileFacts describeFile(const QString& path);
    // CRC-32 (the zip/PNG one) of the grid's bytes at addresses 0..bytes-1, each cell read as
    // the board would take it; a cell that is not two hexadecimal digits counts as its text.
    static std::uint32_t gridCrc32(const image::HexGrid& grid, int bytes);
    static std::uint32_t crc32(const char* data, std::size_t size, std::uint32_t crc = 0);

private:
    std::optional<QString> writeAll(const QByteArray& text);
    bool endsInLineEnd(qint64 size);

    QString path_;
    QString program_;
    QString version_;
    QString host_;
    QFile file_;
    bool regular_ = true;  // false: a device or pipe, written to as it comes
    bool readable_ = true; // its last character can be looked at
    std::mutex mutex_;
};

} // namespace brindle::station
