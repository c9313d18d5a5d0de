// Requests to stop from outside the program: Ctrl-C, a supervisor's SIGTERM, the SIGHUP of a
// closed terminal or SSH session (on Windows the console's Ctrl-C, Ctrl-Break, close, logoff
// and shutdown events). Each sets the one flag that the board operations read between blocks,
// so a job stops there, reports, keeps its record and closes its port; every wait for the board
// looks at it too. The same request a second time ends the program at once, taking the lock
// files it holds with it.
#pragma once

#include <atomic>
#include <string>

namespace brindle::platform {

// Installs the handlers (the platform's part); with interrupt false, Ctrl-C keeps the system's
// default, ending the program at once, as it always has for the window.
void watchStopSignals(bool interrupt = true);

const std::atomic<bool>& stopFlag();
inline bool stopRequested() { return stopFlag().load(); }

// 128 + the number of the signal that asked to stop: 130 for Ctrl-C, 129 for SIGHUP, 143 for
// SIGTERM; 130 when none has.
int stopExitCode();

// For the handlers only: safe inside a signal handler.
void requestStop(int signal);

// A lock file this process holds, removed if a second stop signal ends the program at once
// (on Windows, where no lock files are kept, nothing is done); forgotten once released.
void removeOnAbruptEnd(const std::string& path);
void forgetOnAbruptEnd(const std::string& path);

} // namespace brindle::platform
