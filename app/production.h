// The window on a production line: each WRITE (and each AUTO's write) takes the chip's number
// from the store before its blocks go out, the grid shows it where the chip will hold it, and
// the number is marked once the chip's fate is known: after the write, or in AUTO after VERIFY.
// With --store every operation's record row also goes to the store.
#pragma once

#include "production_options.h"
#include "record_entry.h"
#include "serial_step.h"

#include <memory>
#include <optional>

namespace brindle::app {

class Production {
public:
    explicit Production(station::ProductionOptions options);

    // A number went into a chip whose fate is not known yet.
    bool pending() const { return chip_ && chip_->pending(); }
    // Before a write's blocks: a number into the grid, or the refusal the box tells of.
    std::optional<link::Outcome> beforeWrite(image::HexGrid& grid, link::Session& session, const QString& port);
    // A step has ended: the number is marked when this step decides it (a failed step always
    // does). The store's words when it could not be told.
    std::optional<QString> stepDone(const link::Outcome& outcome, bool verifyFollows);
    // The number the step just done gave or judged (the write, and AUTO's VERIFY after it);
    // null for any other step.
    const station::Serial* stepSerial() const { return stepSerial_; }
    // The store's row for a step, the record line's fields with station and operator.
    std::optional<QString> record(const station::RecordEntry& entry);

private:
    station::ProductionOptions options_;
    station::Store store_;
    std::unique_ptr<station::ChipSerial> chip_;
    bool verifyDecides_ = false;
    const station::Serial* stepSerial_ = nullptr;
};

} // namespace brindle::app
