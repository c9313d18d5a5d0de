// brindle-board: the simulated programmer board on a pseudo-terminal. Prints the device path
// to open (as with --com1) and serves until SIGTERM or SIGINT, or until it hangs up.
#include "pty_board.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

// The file named by --replay FILE or --replay=FILE; nullopt without that option. The other
// options describe a chip, which a replay has none of.
std::optional<std::string> replayFile(const std::vector<std::string>& args, std::string* error)
{
    const auto isReplay = [](const std::string& arg) { return arg.rfind("--replay", 0) == 0; };
    if (std::none_of(args.begin(), args.end(), isReplay))
        return std::nullopt;
    std::optional<std::string> file;
    if (args.size() == 1 && args[0].rfind("--replay=", 0) == 0)
        file = args[0].substr(9);
    else if (args.size() == 2 && args[0] == "--replay")
        file = args[1];
    if (file && !file->empty())
        return file;
    *error = args.size() <= 2 && (args[0] == "--replay" || args[0] == "--replay=") ? "option --replay needs a value"
                                                                               : "--replay takes no other option";
    return std::nullopt;
}

// Far beyond the trace of a whole 64 KB write and read; a bigger file is something else.
constexpr std::uintmax_t kMaxTraceBytes = 64 * 1024 * 1024;

// The exchanges of a trace file; empty with *error set when it cannot be read or holds none.
std::vector<brindle::board::TraceExchange> loadTrace(const std::string& path, std::string* error)
{
    std::error_code code;
    const auto status = std::filesystem::status(path, code);
    if (code) {
        *error = path + ": " + code.message();
        return {};
    }
    // A directory cannot be read as text, and a device such as /dev/zero never ends.
    if (!std::filesystem::is_regular_file(status)) {
        const char* what = std::filesystem::is_directory(status) ? "a folder" : "a device or pipe";
        *error = path + ": not a trace file but " + what
                 + "; name the file a run with BRINDLE_TRACE=1 wrote its standard error to";
        return {};
    }
    const std::uintmax_t size = std::filesystem::file_size(path, code);
    if (!code && size > kMaxTraceBytes) {
        *error = path + ": " + std::to_string(size) + " bytes, more than any trace of the program holds ("
                 + std::to_string(kMaxTraceBytes) + ")";
        return {};
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = path + ": " + std::strerror(errno);
        return {};
    }
    std::string text;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() <= kMaxTraceBytes)
        text.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    const int reason = errno;
    std::fclose(file);
    if (failed || text.size() > kMaxTraceBytes) {
        *error = path + ": " + (failed ? std::string(std::strerror(reason)) : "it grew past the size a trace can have");
        return {};
    }
    brindle::board::ParsedTrace trace = brindle::board::parseTrace(text);
    if (!trace.error.empty())
        *error = path + ": " + trace.error;
    return std::move(trace.exchanges);
}

void printHelp()
{
    std::printf("Usage: brindle-board [options]\n"
                "Serves a simulated programmer board on a pseudo-terminal and prints its device\n"
                "path as the first line; open that path as COM1 (brindle --com1 PATH).\n"
                "Runs until SIGTERM or SIGINT, or until a --hang-up-after fault closes the line.\n"
                "Needs pseudo-terminals, so Linux and other Unix systems only; on Windows,\n"
                "brindle --simulate and brindle-cli --simulate run the same board in-program.\n\n"
                "  -h, --help          this text\n"
                "  --version           the version\n%s"
                "Replay, in place of a chip:\n"
                "  --replay TRACE      answer with the replies recorded in TRACE, the standard\n"
                "                      error of brindle run with BRINDLE_TRACE=1, at their\n"
                "                      recorded delays. The program's bytes must follow the\n"
                "                      trace; where they differ the board says so on standard\n"
                "                      error and stays silent. Takes no other option.\n",
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
    const std::optional<std::string> replay = replayFile(args, &error);
    if (!error.empty() || (!replay && !brindle::board::parseBoardOptions(args, &options, &error))) {
        std::fprintf(stderr, "brindle-board: %s (see --help)\n", error.c_str());
        return 2;
    }
    std::vector<brindle::board::TraceExchange> exchanges;
    if (replay) {
        exchanges = loadTrace(*replay, &error);
        if (!error.empty()) {
            std::fprintf(stderr, "brindle-board: %s\n", error.c_str());
            return 2;
        }
    }

    // Blocked before the board's thread starts, so only sigtimedwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    brindle::board::PtyBoard board;
    const auto notice = [](const std::string& line) { std::fprintf(stderr, "brindle-board: %s\n", line.c_str()); };
    if (!(replay ? board.startReplay(std::move(exchanges), notice, &error) : board.start(options, &error))) {
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
