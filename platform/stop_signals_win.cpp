#include "stop_signals.h"

#include <windows.h>

namespace brindle::platform {

namespace {

// The numbers of the POSIX signals that mean the same, so the exit status does too.
constexpr int kInterrupt = 2, kHangUp = 1, kTerminate = 15;
// After a close, logoff or shutdown event the system ends the process once the handler
// returns (and after about 5 s at most): this long the job has to stop, report and close its port.
constexpr DWORD kEndingGraceMs = 4500;

bool watchInterrupt = true;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        if (!watchInterrupt || stopRequested())
            return FALSE; // the system's default, ending the program
        requestStop(kInterrupt);
        return TRUE;
    case CTRL_CLOSE_EVENT:
        requestStop(kHangUp);
        Sleep(kEndingGraceMs);
        return TRUE;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        requestStop(kTerminate);
        Sleep(kEndingGraceMs);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void removeOnAbruptEnd(const std::string&) {}

void forgetOnAbruptEnd(const std::string&) {}

void watchStopSignals(bool interrupt)
{
    watchInterrupt = interrupt;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

} // namespace brindle::platform
