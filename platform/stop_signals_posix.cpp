#include "stop_signals.h"

#include <array>
#include <csignal>
#include <cstring>
#include <initializer_list>
#include <mutex>

#include <signal.h>
#include <unistd.h>

namespace brindle::platform {

namespace {

// The lock files held now, in storage the signal handler can read without allocating: a slot
// is written under the mutex and published by its flag, which the handler reads.
struct HeldFile {
    std::atomic<bool> set{false};
    char path[512] = {};
};
std::array<HeldFile, 16> heldFiles;
std::mutex heldFilesMutex;

extern "C" void onStopSignal(int signal)
{
    if (!stopRequested()) {
        requestStop(signal);
        return;
    }
    // The second request: end now, as the system would have, but leave no lock behind.
    for (HeldFile& held : heldFiles)
        if (held.set.load())
            ::unlink(held.path);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

} // namespace

void removeOnAbruptEnd(const std::string& path)
{
    std::lock_guard<std::mutex> lock(heldFilesMutex);
    for (HeldFile& held : heldFiles) {
        if (held.set.load() || path.size() >= sizeof held.path)
            continue;
        std::memcpy(held.path, path.c_str(), path.size() + 1);
        held.set.store(true);
        return;
    }
}

void forgetOnAbruptEnd(const std::string& path)
{
    std::lock_guard<std::mutex> lock(heldFilesMutex);
    for (HeldFile& held : heldFiles)
        if (held.set.load() && path == held.path) {
            held.set.store(false);
            return;
        }
}

void watchStopSignals(bool interrupt)
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // All three blocked while one is handled, so two different signals count as a second request.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (signal == SIGINT && !interrupt)
            continue;
        struct sigaction previous {};
        // Started under nohup, or in the background of a script: the caller wants it ignored.
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &action, nullptr);
    }
    // A write past a file size limit, or into the pipe of a session that has gone, fails and
    // is reported, instead of ending the job half-way with the port open and no record.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace brindle::platform
