// brindle-cli's command line: the command, its argument and the options.
#pragma once

#include <QString>
#include <QStringList>

#include "production_options.h"

#include <array>
#include <optional>

namespace brindle::cli {

enum class Command { None, Ports, Identify, Erase, Blank, Write, Verify, Read, Lock, Auto, Serials, History };

enum class Step { Erase, Blank, Write, Verify, Lock }; // AUTO's order

struct LockBits {
    std::array<bool, 3> bits{}; // LB1..LB3
};

struct Options {
    Command command = Command::None;
    QString commandName;
    QString file;                 // write, verify, read, auto; read's "-" is standard output
    QStringList ports;            // -p; "auto" finds the one board
    QStringList candidates;       // --candidate
    bool probe = false;           // ports --probe
    bool simulate = false;
    QString simulatedChip = QStringLiteral("AT89S52");
    bool pacing = true;
    QString adapter = QStringLiteral("none"); // --adapter, --latency-ms: the simulated board's USB adapter
    QString latencyMs;                        // empty: the adapter's own
    QString chip;                 // --chip: the part number expected, empty: any
    bool binary = false;          // --format bin, or a .bin name
    bool json = false;
    bool quiet = false;           // -q: only errors; the exit status says the rest
    QString logFile;
    double timeoutScale = 1.0;
    std::array<bool, 5> steps{true, false, true, true, false}; // auto: erase, write, verify
    std::optional<LockBits> lock; // lock BITS, or --lock for the lock step
    station::ProductionOptions production; // --store, --station, --series, the serial options
    bool showHelp = false;
    bool showVersion = false;
    QString error;                // non-empty: a usage error (exit 2)
};

[[nodiscard]] Options parseOptions(const QStringList& arguments); // without the program name

// The whole help, or one command's.
QString helpText();
QString commandHelp(Command command);

bool needsFile(Command command);
// The store's commands: they talk to no board.
bool storeCommand(Command command);

} // namespace brindle::cli
