#include "console.h"

namespace brindle::app {

// A Unix program always has its parent's standard streams.
void attachParentConsole() {}

} // namespace brindle::app
