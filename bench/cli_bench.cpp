// brindle-cli auto (erase, write, verify of examples/blink.hex) on 1, 2, 4 and 8 simulated
// boards at line rate, each a brindle-board child process. The wall time of N boards against
// one board's, and brindle-cli's own CPU time (from wait4, so the boards' is not counted) per
// board as a share of one core.
#include <QCoreApplication>
#include <QProcess>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <spawn.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Measure {
    double wall = 0, cpu = 0;
    int exitCode = -1;
};

Measure runCli(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    Measure m;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        return m;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    m.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return m;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::printf("%6s %9s %10s %12s  %s\n", "boards", "wall s", "vs 1 board", "CPU/board %", "exit");
    double oneBoard = 0;
    for (int n : {1, 2, 4, 8}) {
        std::vector<std::unique_ptr<QProcess>> boards;
        std::vector<std::string> args{BRINDLE_CLI_EXE};
        for (int i = 0; i < n; ++i) {
            boards.push_back(std::make_unique<QProcess>());
            boards.back()->start(BRINDLE_BOARD_EXE, {"--pace"});
            if (!boards.back()->waitForReadyRead(10000)) {
                std::fprintf(stderr, "brindle-board did not start\n");
                return 1;
            }
            args.push_back("-p");
            args.push_back(boards.back()->readLine().trimmed().toStdString());
        }
        args.insert(args.end(), {"auto", BRINDLE_EXAMPLE_HEX});
        const Measure m = runCli(args);
        if (n == 1)
            oneBoard = m.wall;
        std::printf("%6d %9.2f %+9.1f%% %12.2f  %d\n", n, m.wall, 100 * (m.wall / oneBoard - 1),
                    100 * m.cpu / m.wall / n, m.exitCode);
        std::fflush(stdout);
        for (auto& board : boards) {
            board->terminate();
            board->waitForFinished(5000);
        }
    }
    return 0;
}
