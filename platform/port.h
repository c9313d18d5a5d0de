// The serial port as the board operations use it.
#pragma once

#include "port_facts.h"

#include <optional>
#include <string>
#include <string_view>

namespace brindle::platform {

struct OpenFailure {
    std::string reason; // the system's words
    std::string advice; // what the operator can do; empty: link words it from refusal and facts
    OpenRefusal refusal = OpenRefusal::Other;
    PortFacts facts{};  // with Refused: the device's, the account's and the lock file's
};

// What a port asked of the system for low latency when it last opened, and what it found.
struct LatencyReport {
    bool asked = false;         // the low-latency flag was off and was asked for
    bool on = false;            // the flag was on while the port was open
    std::string refusal;        // the system's words where the flag could not be read or set
    std::string driver;         // the port's driver, where the system tells
    std::optional<int> timerMs; // an FTDI adapter's latency timer, as found once asked
    std::string note;           // what was asked and found at the last opening or closing, for the trace
};

class Port {
public:
    virtual ~Port() = default;

    // CommPort: 1 or 2, chosen while the port is closed.
    virtual void select(int commPort) = 0;
    virtual int selected() const = 0;
    // The device the selected COM stands for, for messages ("/dev/ttyUSB0", "COM1").
    virtual std::string deviceName() const = 0;

    // PortOpen = true / false. 19200 8N1, no flow control, DTR raised while open.
    [[nodiscard]] virtual std::optional<OpenFailure> open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Output: queues the text and returns at once.
    virtual void output(std::string_view text) = 0;
    // Input: everything waiting, removed from the port; empty at once when nothing waits.
    virtual std::string input() = 0;
    // Blocks until input waits or msecs have passed; true when input waits.
    virtual bool waitForInput(int msecs) = 0;

    // Nothing where the port asks the system for nothing.
    virtual LatencyReport latency() const { return {}; }
};

} // namespace brindle::platform
