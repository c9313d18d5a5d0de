#include "command_line.h"

#include <QCommandLineParser>

namespace brindle::app {

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Programmer for Atmel 8051 flash chips on the Brindle board."));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and exit."));
    const QCommandLineOption versionOption(QStringLiteral("version"), QStringLiteral("Show the version and exit."));
    const QCommandLineOption com1Option(QStringLiteral("com1"),
                                        QStringLiteral("Serial device that COM1 stands for (any path, a "
                                                       "pseudo-terminal included)."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption com2Option(QStringLiteral("com2"), QStringLiteral("Serial device that COM2 stands for."),
                                        QStringLiteral("PATH"));
    // Shown in the help only: its value is optional, which the parser cannot express.
    QCommandLineOption simulateOption(QStringLiteral("simulate"),
                                      QStringLiteral("Start the simulated board (default chip AT89S52; any of "
                                                     "AT89C1051, AT89C2051, AT89C4051, AT89C51, AT89C52, AT89S8252, "
                                                     "AT89S51, AT89S52, AT89C55WD, or none) and map COM1 to it."),
                                      QStringLiteral("=CHIP"));
    const QCommandLineOption noPaceOption(QStringLiteral("no-pace"),
                                          QStringLiteral("With --simulate: answer at once instead of at the "
                                                         "19200-baud line rate."));
    parser.addOption(helpOption);
    parser.addOption(versionOption);
    parser.addOption(com1Option);
    parser.addOption(com2Option);
    parser.addOption(simulateOption);
    parser.addOption(noPaceOption);

    CommandLine result;
    result.helpText = parser.helpText().replace(QStringLiteral("--simulate <=CHIP>"),
                                                QStringLiteral("--simulate[=CHIP] "));
    QStringList rest;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--simulate")) {
            result.simulate = true;
        } else if (argument.startsWith(QLatin1String("--simulate="))) {
            result.simulate = true;
            result.simulatedChip = argument.mid(11);
        } else {
            rest << argument;
        }
    }
    if (!parser.parse(rest)) {
        result.error = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
        return result;
    }
    result.showHelp = parser.isSet(helpOption);
    result.showVersion = parser.isSet(versionOption);
    result.pacing = !parser.isSet(noPaceOption);
    result.comOverrides[0] = parser.value(com1Option);
    result.comOverrides[1] = parser.value(com2Option);
    if (result.simulate && !result.comOverrides[0].isEmpty())
        result.error = QStringLiteral("--simulate maps COM1 to the simulated board: it does not go with --com1.");
    return result;
}

std::array<QString, 2> applyOverrides(std::array<QString, 2> devices, const CommandLine& commandLine)
{
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (!commandLine.comOverrides[i].isEmpty())
            devices[i] = commandLine.comOverrides[i];
    return devices;
}

} // namespace brindle::app
