// The program's command line.
#pragma once

#include "production_options.h"

#include <QString>
#include <QStringList>

#include <array>

namespace brindle::app {

struct CommandLine {
    // What --com1 / --com2 map the port buttons to; empty: the platform's default.
    std::array<QString, 2> comOverrides;
    // --simulate[=CHIP]: the simulated board on a pseudo-terminal, mapped to COM1.
    bool simulate = false;
    QString simulatedChip = QStringLiteral("AT89S52");
    bool pacing = true; // --no-pace turns the line-rate pacing of the simulated board off
    // --adapter NAME and --latency-ms N (empty: not given): the simulated board's USB adapter.
    QString adapter = QStringLiteral("none");
    QString latencyMs;
    double replyTimeoutScale = 1.0; // --reply-timeout-scale F
    QString logFile; // --log FILE: the record of the board operations
    station::ProductionOptions production; // --store, --station, --series, the serial options
    QString file; // HEXFILE: loaded at start-up as LOAD would (an Explorer double-click, a drop on the icon)
    bool showHelp = false;
    bool showVersion = false;
    QString helpText;
    QString error; // non-empty: the arguments could not be understood
};

// arguments[0] is the program name.
[[nodiscard]] CommandLine parseCommandLine(const QStringList& arguments);

// The default devices with the overrides put in.
std::array<QString, 2> applyOverrides(std::array<QString, 2> devices, const CommandLine& commandLine);

} // namespace brindle::app
