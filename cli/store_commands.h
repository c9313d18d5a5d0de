// The store as brindle-cli reaches it: where it is, this station's name, and the two commands
// that read it.
#pragma once

#include "options.h"
#include "store.h"

namespace brindle::cli {

// --store, or the default SQLite file.
station::StoreAddress storeAddress(const Options& o);
// --station, or the host name.
QString stationName(const Options& o);

// serials and history: 0, or the store-error exit status with the reason on stderr.
int serialsCommand(const Options& o);
int historyCommand(const Options& o);

} // namespace brindle::cli
