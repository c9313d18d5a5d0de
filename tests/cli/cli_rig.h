// brindle-cli against simulated boards on pseudo-terminals served from the test process.
#pragma once

#include "cli_process.h"
#include "pty_board.h"

namespace brindle::cli::test {

// A simulated board with options as brindle-board takes them ({"--chip", "none"}).
inline std::unique_ptr<board::PtyBoard> startBoard(const std::vector<std::string>& args = {})
{
    board::BoardOptions options;
    std::string error;
    if (!board::parseBoardOptions(args, &options, &error))
        qFatal("bad board options: %s", error.c_str());
    auto b = std::make_unique<board::PtyBoard>();
    if (!b->start(options, &error))
        qFatal("the simulated board did not start: %s", error.c_str());
    return b;
}

inline QString pathOf(const board::PtyBoard& b) { return QString::fromStdString(b.devicePath()); }

} // namespace brindle::cli::test
