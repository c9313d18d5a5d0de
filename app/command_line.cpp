#include "command_line.h"

#include <QCommandLineParser>

namespace brindle::app {

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Programmer for Atmel 8051 flash chips on the Brindle board."));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and exit."));
    const QCommandLineOption com1Option(QStringLiteral("com1"),
                                        QStringLiteral("Serial device that COM1 stands for (any path, a "
                                                       "pseudo-terminal included)."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption com2Option(QStringLiteral("com2"), QStringLiteral("Serial device that COM2 stands for."),
                                        QStringLiteral("PATH"));
    parser.addOption(helpOption);
    parser.addOption(com1Option);
    parser.addOption(com2Option);

    CommandLine result;
    result.helpText = parser.helpText();
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
        return result;
    }
    result.showHelp = parser.isSet(helpOption);
    result.comOverrides[0] = parser.value(com1Option);
    result.comOverrides[1] = parser.value(com2Option);
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
