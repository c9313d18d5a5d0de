#include "stop_signals.h"

#include <csignal>
#include <initializer_list>

#include <signal.h>

namespace brindle::link {

namespace {

extern "C" void onStopSignal(int signal) { requestStop(signal); }

} // namespace

void watchStopSignals(bool interrupt)
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // Reset after the first: a second Ctrl-C, or a supervisor's second SIGTERM, ends the program at once.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
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

} // namespace brindle::link
