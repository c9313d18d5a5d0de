#include "console.h"

#include <cstdio>

namespace brindle::app {

// A Unix program always has its parent's standard streams.
void attachParentConsole() {}

void tellUser(const QString& text, bool error)
{
    std::fputs(qPrintable(text), error ? stderr : stdout);
}

bool nativeFileDialog() { return false; }

} // namespace brindle::app
