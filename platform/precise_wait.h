// Waits that end when asked to, as closely as the system allows: the simulated board paces
// every character, and a transfer has thousands of round trips.
#pragma once

#include <chrono>
#include <optional>

#include <poll.h>

namespace brindle::platform {

// poll() on fds, to the nanosecond where the system has it (Linux's ppoll), else to the
// millisecond (rounded up, and at most a minute). No timeout: until a descriptor is ready.
int pollPrecisely(pollfd* fds, nfds_t count, std::optional<std::chrono::nanoseconds> timeout);

// For the calling thread: wake-ups without the system's default slack (50 us on Linux).
void wakeUpPrecisely();

} // namespace brindle::platform
