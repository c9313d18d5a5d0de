#include "serial_options.h"

#include "chips.h"

namespace brindle::cli {

namespace {

// 0x1FF0 or 8176.
std::optional<qint64> parseNumber(const QString& text)
{
    bool ok = false;
    const qint64 value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2).toLongLong(&ok, 16)
                                                                                     : text.toLongLong(&ok, 10);
    return ok && value >= 0 ? std::optional<qint64>(value) : std::nullopt;
}

} // namespace

const QStringList kSerialValueOptions = {"--store",       "--station",       "--series", "--serial-at",
                                         "--serial-start", "--serial-step",  "--serial-format",
                                         "--serial-list", "--serial",        "--since"};

bool takeSerialOption(const QString& name, const QString& value, Options* o)
{
    const auto refuse = [&](const QString& why) {
        o->error = name + " " + why;
        return false;
    };
    if (value.isEmpty())
        return refuse(QStringLiteral("needs a value, not an empty one."));
    if (name == "--store") {
        QString error;
        if (!station::parseStoreAddress(value, &error))
            return o->error = error, false;
        o->store = value;
    } else if (name == "--station") {
        o->station = value;
    } else if (name == "--series") {
        if (value.size() > 200)
            return refuse(QStringLiteral("takes a name of at most 200 characters."));
        o->plan.name = o->history.series = value;
        o->seriesGiven = true;
    } else if (name == "--serial-at") {
        const auto at = parseNumber(value);
        if (!at || *at >= 65536)
            return refuse("takes an address from 0 to 0xFFFF (hexadecimal with 0x, or decimal), not \"" + value + "\".");
        o->plan.address = int(*at), o->serialGiven.at = true;
    } else if (name == "--serial-start") {
        const auto start = parseNumber(value);
        if (!start)
            return refuse("takes a number from 0 up, not \"" + value + "\".");
        o->plan.start = *start, o->serialGiven.start = true;
    } else if (name == "--serial-step") {
        const auto step = parseNumber(value);
        if (!step || *step < 1)
            return refuse("takes a number from 1 up, not \"" + value + "\".");
        o->plan.step = *step, o->serialGiven.step = true;
    } else if (name == "--serial-format") {
        QString error;
        const auto format = station::parseSerialFormat(value, &error);
        if (!format)
            return o->error = error, false;
        o->plan.format = *format, o->serialGiven.format = true;
    } else if (name == "--serial-list") {
        o->plan.listFile = value, o->serialGiven.list = true;
    } else if (name == "--serial") {
        o->history.serial = value;
    } else if (name == "--since") {
        o->history.since = value;
    }
    return true;
}

bool takeSerialFlag(const QString& arg, Options* o)
{
    if (arg != QLatin1String("--reuse-failed"))
        return false;
    o->plan.reuseFailed = o->serialGiven.reuse = true;
    return true;
}

QString checkSerialOptions(Options* o)
{
    const Options::SerialGiven& g = o->serialGiven;
    const Command c = o->command;
    const bool writes = c == Command::Write || (c == Command::Auto && o->steps[2]);
    o->serials = g.at || g.format || g.start || g.step || g.list || g.reuse;
    const bool history = c == Command::History;
    if ((!o->history.serial.isEmpty() || !o->history.since.isEmpty()) && !history)
        return QStringLiteral("--serial and --since belong to history.");
    if (o->seriesGiven && !o->serials && c != Command::Serials && !history)
        return QStringLiteral("--series goes with the serial options of write and auto, serials and history.");
    if (!o->station.isEmpty() && (storeCommand(c) || c == Command::Ports))
        return QStringLiteral("--station names the station that works the boards: it goes with the board commands.");
    if (!o->store.isEmpty() && c == Command::Ports)
        return QStringLiteral("ports lists every port: --store does not go with it.");
    if (!o->serials)
        return {};
    if (!writes)
        return c == Command::Auto ? QStringLiteral("A serial number goes in with the write step: add write to --steps.")
                                  : QStringLiteral("The serial options belong to write and auto.");
    if (!g.at)
        return QStringLiteral("A serial number needs its place: --serial-at ADDRESS.");
    if (g.list && (g.format || g.start || g.step))
        return QStringLiteral("--serial-list hands out the list's values: --serial-format, --serial-start and --serial-step "
                              "are for a counter.");
    if (!g.list && !g.format)
        return QStringLiteral("A serial number needs its format: --serial-format le:W, be:W, bcd:W or ascii:W, "
                              "or --serial-list FILE.");
    const int width = g.list ? 0 : o->plan.format.width;
    const int row = o->chip.isEmpty() ? -1 : protocol::chipRowByName(o->chip.toStdString());
    const int size = row < 0 ? image::kImageSize : protocol::kChips[std::size_t(row)].size;
    if (o->plan.address + width > size)
        return QStringLiteral("The serial number's field at 0x%1 (%2 bytes) does not fit in %3 (%4 bytes).")
            .arg(o->plan.address, 4, 16, QLatin1Char('0')).arg(width)
            .arg(row < 0 ? QStringLiteral("the 64 KB image") : o->chip).arg(size);
    if (g.start && *o->plan.start > station::largestNumber(o->plan.format))
        return QStringLiteral("--serial-start %1 does not fit %2 (at most %3).")
            .arg(*o->plan.start).arg(station::formatName(o->plan.format)).arg(station::largestNumber(o->plan.format));
    return {};
}

} // namespace brindle::cli
