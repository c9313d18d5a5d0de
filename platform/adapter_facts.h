// What the system tells of a serial port's USB adapter and its latency timer, and how the user
// lowers that timer for good. One implementation per platform, chosen in platform/CMakeLists.txt.
#pragma once

#include <optional>
#include <string>

namespace brindle::platform {

struct AdapterFacts {
    std::string driver;                // the system's driver for the port ("ftdi_sio"); empty where unknown
    bool ftdi = false;                 // an FTDI adapter, whose latency timer holds received bytes back
    std::optional<int> latencyTimerMs; // that timer, where the system shows it
};

// device: the port's path or name; usbVendor: its USB vendor id, 0 where unknown; sysRoot:
// where the system's device tree is (a test gives one of its own).
[[nodiscard]] AdapterFacts adapterFacts(const std::string& device, unsigned usbVendor,
                                        const std::string& sysRoot = "/sys");

// True where the program asks for a 1 ms timer itself each time it opens a port.
bool programLowersLatency();

// How the user makes an FTDI adapter's timer 1 ms for good; empty where there is no known way.
std::string lastingLatencyAdvice();

} // namespace brindle::platform
