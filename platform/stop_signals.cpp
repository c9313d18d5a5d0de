#include "stop_signals.h"

namespace brindle::platform {

namespace {

constexpr int kInterrupt = 2; // SIGINT's number on every platform

std::atomic<bool> stop{false};
std::atomic<int> stopSignal{0};

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "set from a signal handler");

} // namespace

const std::atomic<bool>& stopFlag() { return stop; }

int stopExitCode()
{
    const int signal = stopSignal.load();
    return 128 + (signal > 0 ? signal : kInterrupt);
}

void requestStop(int signal)
{
    stopSignal.store(signal);
    stop.store(true);
}

} // namespace brindle::platform
