#include "precise_wait.h"

#include <algorithm>

#include <sys/prctl.h>

namespace brindle::platform {

int pollPrecisely(pollfd* fds, nfds_t count, std::optional<std::chrono::nanoseconds> timeout)
{
    timespec ts{};
    if (timeout) {
        const auto ns = std::max(*timeout, std::chrono::nanoseconds::zero());
        ts.tv_sec = static_cast<time_t>(ns.count() / 1'000'000'000);
        ts.tv_nsec = static_cast<long>(ns.count() % 1'000'000'000);
    }
    return ::ppoll(fds, count, timeout ? &ts : nullptr, nullptr);
}

void wakeUpPrecisely()
{
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

} // namespace brindle::platform
