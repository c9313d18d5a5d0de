#include "serial_ports.h"

#include "port_search.h"

namespace brindle::app {

std::vector<SerialPortEntry> systemSerialPorts(const QString& simulatedBoard)
{
    std::vector<SerialPortEntry> entries;
    if (!simulatedBoard.isEmpty())
        entries.push_back({simulatedBoard, simulatedBoard + QStringLiteral("  inside the program (--simulate)")});
    for (const link::PortInfo& port : link::listPorts({})) {
        // The listing's own line; the advice lines under an FTDI adapter stay with `ports`.
        entries.push_back({port.path, link::portListing({port}, {}).section(QLatin1Char('\n'), 0, 0)});
    }
    return entries;
}

} // namespace brindle::app
