// The program's command line.
#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace brindle::app {

struct CommandLine {
    // What --com1 / --com2 map the port buttons to; empty: the platform's default.
    std::array<QString, 2> comOverrides;
    bool showHelp = false;
    QString helpText;
    QString error; // non-empty: the arguments could not be understood
};

// arguments[0] is the program name.
[[nodiscard]] CommandLine parseCommandLine(const QStringList& arguments);

// The default devices with the overrides put in.
std::array<QString, 2> applyOverrides(std::array<QString, 2> devices, const CommandLine& commandLine);

} // namespace brindle::app
