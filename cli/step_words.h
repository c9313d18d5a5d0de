// What brindle-cli says after "step: " for an operation's outcome: its own words where it has
// them (a chip's name and size, bytes written, differences), otherwise the outcome's.
#pragma once

#include "options.h"
#include "outcome.h"

#include <QString>

namespace brindle::cli {

// device: the port the board is on, as the command line named it.
QString stepWords(const link::Outcome& outcome, const Options& options, const QString& device);

} // namespace brindle::cli
