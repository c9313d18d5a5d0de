// One chip's number, from the store into the image and back: taken once the chip is identified
// and before its blocks go out, put into the grid's cells (so WRITE sends it and VERIFY compares
// it), and marked once the chip's steps have come to an end.
#pragma once

#include "board_ops.h"
#include "store.h"

#include <optional>

namespace brindle::station {

class ChipSerial {
public:
    ChipSerial(Store& store, const SeriesPlan& plan, QString port);

    // For BoardOps' hook: the number into the grid, the write's length stretched to cover it;
    // an outcome (store-error, or bad-image for a field off the chip) when no number was given.
    std::optional<link::Outcome> beforeWrite(image::HexGrid& grid, link::Session& session);
    // The chip's steps are over: programmed when ok, else failed with the result's name. The
    // store's words when it could not be told.
    std::optional<QString> finish(const link::Outcome& outcome);
    // The number the chip has been given and not yet marked, or null.
    const Serial* pending() const { return pending_ ? &serial_ : nullptr; }
    // The number the chip was given, marked or not; null when none was.
    const Serial* given() const { return serial_.value >= 0 ? &serial_ : nullptr; }

private:
    Store& store_;
    const SeriesPlan& plan_;
    QString port_;
    Serial serial_;
    bool pending_ = false;
};

// "Serial 000123": the line the window adds to its log once a number went into the grid.
QString serialLogLine(const Serial& serial);

} // namespace brindle::station
