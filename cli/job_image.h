// The image a job writes or compares: the cells that LOAD with "FF" ticked would give.
#pragma once

#include "code_image.h"
#include "job_record.h"

#include <QString>

#include <memory>

namespace brindle::cli {

struct JobImage {
    std::shared_ptr<const image::HexGrid> grid; // every board copies it
    int loadedEnd = 0;     // one past the highest address the file fills
    int programLength = 0; // what WRITE sends: loadedEnd rounded up to 32
    station::FileFacts file;
    QString error;         // non-empty: the file cannot be used (exit 3); grid is then null
    QString warning;       // non-empty: it loads, but has no end record
};

// Intel HEX through the same strict reader as LOAD, or raw binary loaded at address 0.
[[nodiscard]] JobImage loadJobImage(const QString& path, bool binary);

// The chip's contents as READ left them in the grid: SAVE's HEX records for `bytes`, or the
// raw bytes; path "-" is standard output. False with *error set when a cell is no byte (binary only) or the file cannot
// be written; the file is then left as it was.
// Why read's file could not be written, asked before the chip is read: a folder that is missing
// or cannot be written to (a read-only file system too), a pipe nobody reads. Empty: none.
[[nodiscard]] QString readTargetProblem(const QString& path);

[[nodiscard]] bool saveChipImage(const image::HexGrid& grid, int bytes, const QString& path, bool binary,
                                 QString* error);

} // namespace brindle::cli
