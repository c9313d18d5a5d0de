// The two commands that read the store.
#pragma once

#include "options.h"
#include "store.h"

namespace brindle::cli {

// serials and history: 0, or the store-error exit status with the reason on stderr.
int serialsCommand(const Options& o);
int historyCommand(const Options& o);

} // namespace brindle::cli
