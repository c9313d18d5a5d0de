// The ports "Serial port…" offers: the system's, as `brindle-cli ports` lists them.
#pragma once

#include "operator.h"

#include <vector>

namespace brindle::app {

// simulatedBoard: the simulated board's name, offered first where --simulate runs one.
std::vector<SerialPortEntry> systemSerialPorts(const QString& simulatedBoard = {});

} // namespace brindle::app
