#include "serial_options.h"

#include "chips.h"

namespace brindle::cli {

QString checkSerialOptions(Options* o)
{
    station::ProductionOptions& p = o->production;
    const Command c = o->command;
    const bool history = c == Command::History;
    if ((!p.history.serial.isEmpty() || !p.history.since.isEmpty()) && !history)
        return QStringLiteral("--serial and --since belong to history.");
    if (!p.station.isEmpty() && (storeCommand(c) || c == Command::Ports))
        return QStringLiteral("--station names the station that works the boards: it goes with the board commands.");
    if (!p.store.isEmpty() && c == Command::Ports)
        return QStringLiteral("ports lists every port: --store does not go with it.");
    const int row = o->chip.isEmpty() ? -1 : protocol::chipRowByName(o->chip.toStdString());
    const QString refusal = station::checkSerialOptions(&p, row < 0 ? image::kImageSize : protocol::kChips[std::size_t(row)].size,
                                                        row < 0 ? QStringLiteral("the 64 KB image") : o->chip);
    if (p.seriesGiven && !p.serials && c != Command::Serials && !history)
        return QStringLiteral("--series goes with the serial options of write and auto, serials and history.");
    if (p.serials && c != Command::Write && !(c == Command::Auto && o->steps[2]))
        return c == Command::Auto ? QStringLiteral("A serial number goes in with the write step: add write to --steps.")
                                  : QStringLiteral("The serial options belong to write and auto.");
    return refusal;
}

} // namespace brindle::cli
