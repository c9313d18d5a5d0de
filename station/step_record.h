// A step's account, kept the same way by the window and the command line: the record file,
// opened before any board is worked; each step's entry, with the chip's number; and the store's
// row of the same fields.
#pragma once

#include "job_record.h"
#include "record_entry.h"
#include "store.h"

#include <QString>

#include <memory>
#include <optional>

namespace brindle::station {

// The record opened for appending, or why it could not be: "Cannot open the record FILE:
// the system's reason." An operator who asked for a record must not find out afterwards that
// it was never kept.
struct OpenedRecord {
    std::unique_ptr<station::JobRecord> record; // null where it could not be opened
    QString problem;
};
[[nodiscard]] OpenedRecord openRecord(const QString& path, const QString& program);

// The record's entry for a step: its outcome, the facts its front end knows, the number the
// chip was given (null: none) and the status a stop asked for.
station::RecordEntry stepEntry(const link::Outcome& outcome, station::JobFacts facts, const Serial* serial);

// The store's row for a step, the record line's fields; the store's words when it failed.
[[nodiscard]] std::optional<QString> addStepRow(Store& store, const station::RecordEntry& entry, const QString& program);

} // namespace brindle::station
