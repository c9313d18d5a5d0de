// The serial ports brindle-cli can see, and which of them have a board: `ports`,
// `ports --probe` and `-p auto`.
#pragma once

#include "outcome.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace brindle::cli {

struct PortInfo {
    QString path;
    QString description, manufacturer, usb, serial; // empty where unknown
};

struct Probe {
    QString path;
    link::Result result = link::Result::NoAnswer;
    int chipRow = -1;
    QString words; // what was found, for a listing
    // Something answered "I" as the board does: a chip's code, or an empty socket's answer.
    bool board() const { return result == link::Result::Ok || result == link::Result::NoChip; }
};

// The system's serial ports, then the candidates that are not among them.
std::vector<PortInfo> listPorts(const QStringList& candidates);

// Sends "I" to every port at once (the identification's exchange, each on its own thread) and
// waits for all answers.
std::vector<Probe> probePorts(const std::vector<PortInfo>& ports, double timeoutScale);

// The one port with a board; with none or several, *error lists what was found.
[[nodiscard]] bool findOneBoard(const std::vector<Probe>& probes, QString* device, QString* error);

// The listing `ports` prints, with the probes' findings when given (same order).
QString portListing(const std::vector<PortInfo>& ports, const std::vector<Probe>& probes);

} // namespace brindle::cli
