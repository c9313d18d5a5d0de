// The serial ports this computer has, and which of them have a board: brindle-cli's `ports`,
// `ports --probe` and `-p auto`, and the window's port picker.
#pragma once

#include "adapter_facts.h"
#include "outcome.h"
#include "port.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace brindle::link {

struct PortInfo {
    QString path;
    QString description, manufacturer, usb, serial; // empty where unknown
    platform::AdapterFacts adapter;
};

struct Probe {
    QString path;
    link::Result result = link::Result::NoAnswer;
    const protocol::Chip* chip = nullptr; // what the identification found
    QString words; // what was found, for a listing
    platform::LatencyReport latency; // what the port's opening asked for and found
    // Something answered "I" as the board does: a chip's code, or an empty socket's answer.
    bool board() const { return result == link::Result::Ok || result == link::Result::NoChip; }
};

// The system's serial ports, then the candidates that are not among them. sysRoot: where the
// system's device tree is (see platform::adapterFacts).
std::vector<PortInfo> listPorts(const QStringList& candidates, const std::string& sysRoot = "/sys");

// Sends "I" to every port at once (the identification's exchange, each on its own thread) and
// waits for all answers.
std::vector<Probe> probePorts(const std::vector<PortInfo>& ports, double timeoutScale);

// The one port with a board; with none or several, *error lists what was found.
[[nodiscard]] bool findOneBoard(const std::vector<Probe>& probes, QString* device, QString* error);

// The listing `ports` prints, with the probes' findings when given (same order): a line a
// port, and under an FTDI adapter whose latency timer stays above 1 ms, how to lower it.
QString portListing(const std::vector<PortInfo>& ports, const std::vector<Probe>& probes);

} // namespace brindle::link
