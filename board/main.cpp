// brindle-board: the simulated programmer board on a pseudo-terminal. Prints the device path
// to open (as with --com1) and serves until SIGTERM or SIGINT, or until it hangs up.
#include "pty_board.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

void printHelp()
{
    std::printf("Usage: brindle-board [options]\n"
                "Serves a simulated programmer board on a pseudo-terminal and prints its device\n"
                "path as the first line; open that path as COM1 (brindle --com1 PATH).\n"
                "Runs until SIGTERM or SIGINT, or until a --hang-up-after fault closes the line.\n\n"
                "  -h, --help          this text\n"
                "  --version           the version\n%s",
                brindle::board::boardOptionsHelp().c_str());
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
        if (arg == "-h" || arg == "--help") {
            printHelp();
            return 0;
        }
        if (arg == "--version") {
            std::puts("brindle-board " BRINDLE_VERSION);
            return 0;
        }
    }
    brindle::board::BoardOptions options;
    std::string error;
    if (!brindle::board::parseBoardOptions(args, &options, &error)) {
        std::fprintf(stderr, "brindle-board: %s (see --help)\n", error.c_str());
        return 2;
    }

    // Blocked before the board's thread starts, so only sigtimedwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    brindle::board::PtyBoard board;
    if (!board.start(options, &error)) {
        std::fprintf(stderr, "brindle-board: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", board.devicePath().c_str());
    std::fflush(stdout);

    const timespec tick{0, 100'000'000};
    while (board.isServing()) {
        if (sigtimedwait(&stopSignals, nullptr, &tick) >= 0)
            break;
    }
    board.stop();
    return 0;
}
