#include "production_options.h"

#include <QSysInfo>

namespace brindle::station {

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

const QStringList kProductionOptions = {"--store",        "--station",      "--series",      "--serial-at",
                                        "--serial-start", "--serial-step",  "--serial-format", "--serial-list"};
const QStringList kHistoryOptions = {"--serial", "--since"};

bool takeProductionOption(const QString& name, const QString& value, ProductionOptions* o, QString* error)
{
    const auto refuse = [&](const QString& why) {
        *error = name + " " + why;
        return false;
    };
    if (value.isEmpty())
        return refuse(QStringLiteral("needs a value, not an empty one."));
    if (name == "--store") {
        if (!parseStoreAddress(value, error))
            return false;
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
        if (!at || *at >= image::kImageSize)
            return refuse("takes an address from 0 to 0xFFFF (hexadecimal with 0x, or decimal), not \"" + value + "\".");
        o->plan.address = int(*at), o->given.at = true;
    } else if (name == "--serial-start") {
        const auto start = parseNumber(value);
        if (!start)
            return refuse("takes a number from 0 up, not \"" + value + "\".");
        o->plan.start = *start, o->given.start = true;
    } else if (name == "--serial-step") {
        const auto step = parseNumber(value);
        if (!step || *step < 1)
            return refuse("takes a number from 1 up, not \"" + value + "\".");
        o->plan.step = *step, o->given.step = true;
    } else if (name == "--serial-format") {
        const auto format = parseSerialFormat(value, error);
        if (!format)
            return false;
        o->plan.format = *format, o->given.format = true;
    } else if (name == "--serial-list") {
        o->plan.listFile = value, o->given.list = true;
    } else if (name == "--serial") {
        o->history.serial = value;
    } else if (name == "--since") {
        o->history.since = value;
    }
    return true;
}

bool takeProductionFlag(const QString& arg, ProductionOptions* o)
{
    if (arg != QLatin1String("--reuse-failed"))
        return false;
    o->plan.reuseFailed = o->given.reuse = true;
    return true;
}

QString checkSerialOptions(ProductionOptions* o, int chipSize, const QString& chipName)
{
    const ProductionOptions::Given& g = o->given;
    o->serials = g.at || g.format || g.start || g.step || g.list || g.reuse;
    if (!o->serials)
        return {};
    if (!g.at)
        return QStringLiteral("A serial number needs its place: --serial-at ADDRESS.");
    if (g.list && (g.format || g.start || g.step))
        return QStringLiteral("--serial-list hands out the list's values: --serial-format, --serial-start and --serial-step "
                              "are for a counter.");
    if (!g.list && !g.format)
        return QStringLiteral("A serial number needs its format: --serial-format le:W, be:W, bcd:W or ascii:W, "
                              "or --serial-list FILE.");
    const int width = g.list ? 1 : o->plan.format.width; // a list's width is known once it is read
    if (o->plan.address + width > chipSize)
        return QStringLiteral("The serial number's field at %1H (%2 bytes) does not fit in %3 (%4 bytes).")
            .arg(QString::fromStdString(image::fixedHex(unsigned(o->plan.address), 4))).arg(width).arg(chipName).arg(chipSize);
    if (g.start && *o->plan.start > largestNumber(o->plan.format))
        return QStringLiteral("--serial-start %1 does not fit %2 (at most %3).")
            .arg(*o->plan.start).arg(formatName(o->plan.format)).arg(largestNumber(o->plan.format));
    return {};
}

StoreAddress storeAddress(const ProductionOptions& o)
{
    QString error;
    if (!o.store.isEmpty())
        if (const auto address = parseStoreAddress(o.store, &error))
            return *address; // checked when the options were read
    StoreAddress address;
    address.path = defaultStorePath();
    return address;
}

QString stationName(const ProductionOptions& o) { return o.station.isEmpty() ? QSysInfo::machineHostName() : o.station; }

} // namespace brindle::station
