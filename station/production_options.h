// The production options both front ends take: --store, --station, --series and the serial
// number's field (--serial-at, --serial-format or --serial-list, --serial-start, --serial-step,
// --reuse-failed); and history's filters, which only the command line has.
#pragma once

#include "store.h"

#include <QStringList>

namespace brindle::station {

struct ProductionOptions {
    QString store;          // --store URL; empty: the default SQLite file where one is needed
    QString station;        // --station NAME; empty: the host name
    bool serials = false;   // a serial option was given: each chip written gets a number
    SeriesPlan plan;
    bool seriesGiven = false;
    HistoryQuery history;   // --serial, --since (and --series)
    struct Given {
        bool at = false, format = false, start = false, step = false, list = false, reuse = false;
    } given;
};

// The options that take a value: the window's, then history's two.
extern const QStringList kProductionOptions;
extern const QStringList kHistoryOptions;

// One option with its value (without its dashes' "=" form); false with *error set when the
// value is wrong.
bool takeProductionOption(const QString& name, const QString& value, ProductionOptions* o, QString* error);
// --reuse-failed; false for any other flag.
bool takeProductionFlag(const QString& arg, ProductionOptions* o);
// The serial options together, for a chip of chipSize bytes (the whole image where the chip is
// not known yet): the line that refuses them, or empty. Sets o->serials.
QString checkSerialOptions(ProductionOptions* o, int chipSize, const QString& chipName);

// --store, or the default SQLite file.
StoreAddress storeAddress(const ProductionOptions& o);
// --station, or the host name.
QString stationName(const ProductionOptions& o);

} // namespace brindle::station
