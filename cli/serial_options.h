// brindle-cli's production options, judged with the command they come with.
#pragma once

#include "options.h"

namespace brindle::cli {

// The line that refuses the production options with this command, or empty.
QString checkSerialOptions(Options* o);

} // namespace brindle::cli
