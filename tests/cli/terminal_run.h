// Runs brindle-cli with its standard error on a pseudo-terminal, as a person at a terminal
// sees it, and its standard output on a pipe, as a script takes it.
#pragma once

#include "cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace brindle::cli::test {

struct TerminalRun {
    int exitCode = -1;
    QByteArray out, terminal;
    QByteArray what() const { return "exit " + QByteArray::number(exitCode) + "\nstdout:\n" + out + "\nterminal:\n" + terminal; }
};

// At most 60 s; exitCode stays -1 when the program did not end by then.
inline TerminalRun runWithTerminal(const QStringList& args)
{
    TerminalRun run;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return run;
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    int out[2];
    if (slave < 0 || ::pipe(out) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    ::posix_spawn_file_actions_adddup2(&actions, slave, 2);
    ::posix_spawn_file_actions_addclose(&actions, out[0]);
    ::posix_spawn_file_actions_addclose(&actions, master);
    std::vector<QByteArray> texts{QFile::encodeName(cliPath())};
    for (const QString& arg : args)
        texts.push_back(arg.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(slave);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(master), ::close(out[0]);
        return run;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool outOpen = true, terminalOpen = true;
    while ((outOpen || terminalOpen) && std::chrono::steady_clock::now() < deadline) {
        pollfd fds[2] = {{out[0], short(outOpen ? POLLIN : 0), 0}, {master, short(terminalOpen ? POLLIN : 0), 0}};
        if (::poll(fds, 2, 100) < 0 && errno != EINTR)
            break;
        char buffer[4096];
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0)
                (i == 0 ? run.out : run.terminal).append(buffer, int(n));
            else
                (i == 0 ? outOpen : terminalOpen) = false; // end of file, or EIO once the terminal's last user left
        }
    }
    int status = 0;
    if (outOpen || terminalOpen)
        ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    if (!outOpen && !terminalOpen && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    ::close(master), ::close(out[0]);
    return run;
}

} // namespace brindle::cli::test
