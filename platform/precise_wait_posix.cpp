#include "precise_wait.h"

#include <algorithm>

namespace brindle::platform {

int pollPrecisely(pollfd* fds, nfds_t count, std::optional<std::chrono::nanoseconds> timeout)
{
    using std::chrono::milliseconds;
    const int ms = timeout ? static_cast<int>(std::chrono::ceil<milliseconds>(std::max(*timeout, {})).count()) : -1;
    return ::poll(fds, count, std::min(ms, 60'000));
}

void wakeUpPrecisely() {}

} // namespace brindle::platform
