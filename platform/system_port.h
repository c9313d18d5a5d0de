// The platform's serial port behind the Port interface, chosen at build time: Qt SerialPort
// on Unix, plain Win32 calls on Windows.
#pragma once

#include "port.h"

#include <QString>

#include <array>
#include <memory>

namespace brindle::platform {

// devices[0] and devices[1]: what COM1 and COM2 stand for (empty: none found).
[[nodiscard]] std::unique_ptr<Port> makeSystemPort(std::array<QString, 2> devices);

// What COM1 and COM2 stand for on this platform: on Windows the names themselves;
// elsewhere the first and second serial port found (USB adapters first, then on-board
// ports, each sorted by name).
std::array<QString, 2> defaultComDevices();

} // namespace brindle::platform
