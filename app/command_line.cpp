#include "command_line.h"

#include "board_options.h"
#include "chips.h"
#include "device_names.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace brindle::app {

namespace {

// The chips the simulated board takes, as a sentence: "AT89C1051, ..., AT89C55WD, or none".
QString simulatedChips()
{
    QStringList names;
    for (const protocol::Chip& type : protocol::kChips)
        names << QString::fromLatin1(type.name.data(), static_cast<int>(type.name.size()));
    return names.join(QStringLiteral(", ")) + QStringLiteral(", or none");
}

const char kEnvironmentHelp[] =
    "\nEnvironment:\n"
    "  BRINDLE_TRACE=1     Print every byte on the port to standard error (time in\n"
    "                      ms, direction, hex and ASCII), and each opening and\n"
    "                      closing of the port. brindle-board --replay FILE answers\n"
    "                      with the replies such a trace recorded.\n";

} // namespace

namespace {

// A production line: WRITE gives each chip its own number from the store.
std::vector<QCommandLineOption> productionOptions()
{
    return {
        {"store", "The store of serial numbers and records: sqlite:PATH (default: brindle/serials.sqlite in the "
                  "user's data folder), postgresql://USER@HOST[:PORT]/DATABASE or odbc:CONNECTION-STRING.", "URL"},
        {"station", "This station's name in the store (default: the host name).", "NAME"},
        {"series", "The series of serial numbers (default \"default\").", "NAME"},
        {"serial-at", "WRITE puts each chip's own number at ADDR (0x1FF0 or 8176).", "ADDR"},
        {"serial-start", "A new series' first number (default 1).", "N"},
        {"serial-step", "A new series' step (default 1).", "S"},
        {"serial-format", "The number's field: le:W, be:W (binary, W bytes), bcd:W (packed BCD) or ascii:W (W digits).",
         "FMT"},
        {"serial-list", "Hand out the file's values (one a line, as 00:1A:2B:3C:4D:5E) instead of numbers.", "FILE"},
        {"reuse-failed", "Give a number whose chip failed to the next chip before a new one."},
    };
}

// The window's options, each declared once, in the order the help lists them.
struct Declared {
    Declared();

    QCommandLineParser parser;
    const platform::HelpWords& words = platform::helpWords(); // the platform's spelling of ports and paths
    const QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit.")};
    const QCommandLineOption version{QStringLiteral("version"), QStringLiteral("Show the version and exit.")};
    const QCommandLineOption com1{QStringLiteral("com1"),
                                  QStringLiteral("Serial device that COM1 stands for (%1).").arg(QLatin1String(words.comDevice)),
                                  QStringLiteral("PATH")};
    const QCommandLineOption com2{QStringLiteral("com2"), QStringLiteral("Serial device that COM2 stands for."),
                                  QStringLiteral("PATH")};
    // Shown in the help only: its value is optional, which the parser cannot express.
    const QCommandLineOption simulate{QStringLiteral("simulate"),
                                      QStringLiteral("Start the simulated board (default chip AT89S52; any of "
                                                     "%1) and map COM1 to it.").arg(simulatedChips()),
                                      QStringLiteral("=CHIP")};
    const QCommandLineOption noPace{QStringLiteral("no-pace"),
                                    QStringLiteral("With --simulate: answer at once instead of at the "
                                                   "19200-baud line rate.")};
    const QCommandLineOption adapter{QStringLiteral("adapter"),
                                     QStringLiteral("With --simulate: the USB serial adapter the board is "
                                                    "reached through: none (default), ftdi (holds bytes until "
                                                    "62 wait or its latency timer runs out), ch340 or pl2303 "
                                                    "(about 1 ms)."),
                                     QStringLiteral("NAME")};
    const QCommandLineOption latency{QStringLiteral("latency-ms"),
                                     QStringLiteral("With --adapter ftdi: its latency timer, 1 to 255 ms "
                                                    "(default 16)."),
                                     QStringLiteral("N")};
    const QCommandLineOption scale{QStringLiteral("reply-timeout-scale"),
                                   QStringLiteral("Stretch the time the board is given to answer by F "
                                                  "(for a board slower than usual; default 1)."),
                                   QStringLiteral("F")};
    const QCommandLineOption log{QStringLiteral("log"),
                                 QStringLiteral("Append one JSON line per board operation (each button, each "
                                                "AUTO step) to FILE: which chip got which file.%1")
                                     .arg(QLatin1String(words.logHint)),
                                 QStringLiteral("FILE")};
    const std::vector<QCommandLineOption> production = productionOptions();
};

Declared::Declared()
{
    parser.setApplicationDescription(QStringLiteral("Programmer for Atmel 8051 flash chips on the Brindle board."));
    for (const QCommandLineOption* option : {&help, &version, &com1, &com2, &simulate, &noPace, &adapter, &latency, &scale, &log})
        parser.addOption(*option);
    for (const QCommandLineOption& option : production)
        parser.addOption(option);
    parser.addPositionalArgument(QStringLiteral("HEXFILE"),
                                 QStringLiteral("An Intel HEX file to load at start-up, as LOAD does; AUTO then "
                                                "reloads it."),
                                 QStringLiteral("[HEXFILE]"));
}

// --simulate[=CHIP] taken by hand; the other arguments, for the parser.
QStringList takeSimulate(const QStringList& arguments, CommandLine* result)
{
    QStringList rest;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--simulate")) {
            result->simulate = true;
        } else if (argument.startsWith(QLatin1String("--simulate="))) {
            result->simulate = true;
            result->simulatedChip = argument.mid(11);
        } else {
            rest << argument;
        }
    }
    return rest;
}

// One file; a chip's name that names no file is a --simulate that lost its "=".
QString positionalError(const QStringList& positional)
{
    const bool chipName = !positional.isEmpty()
                          && (protocol::chipRowByName(positional.first().toStdString()) >= 0
                              || positional.first() == QLatin1String("none"))
                          && !QFileInfo::exists(positional.first());
    if (positional.size() <= 1 && !chipName)
        return {};
    const QString stray = positional.at(chipName ? 0 : 1);
    return QStringLiteral("Unexpected argument: %1").arg(stray)
           + (chipName ? QStringLiteral(" (a chip is given as --simulate=%1)").arg(stray)
                       : QStringLiteral(" (one HEXFILE is loaded at start-up)"));
}

// The simulated board's chip and adapter, and the reply's time scale.
QString boardError(const Declared& d, CommandLine* result)
{
    if (result->simulate && result->simulatedChip != QLatin1String("none")
        && protocol::chipRowByName(result->simulatedChip.toStdString()) < 0)
        return QStringLiteral("--simulate=%1: no such chip. CHIP is one of %2.").arg(result->simulatedChip, simulatedChips());
    if (d.parser.isSet(d.scale)) {
        bool number = false;
        result->replyTimeoutScale = d.parser.value(d.scale).toDouble(&number);
        if (!number || !(result->replyTimeoutScale >= 0.1 && result->replyTimeoutScale <= 100))
            return QStringLiteral("--reply-timeout-scale=%1: F is a number from 0.1 to 100.").arg(d.parser.value(d.scale));
    }
    if (!d.parser.isSet(d.adapter) && !d.parser.isSet(d.latency))
        return {};
    if (!result->simulate)
        return QStringLiteral("--adapter and --latency-ms give the simulated board's USB adapter: they go with --simulate.");
    result->adapter = d.parser.isSet(d.adapter) ? d.parser.value(d.adapter) : result->adapter;
    result->latencyMs = d.parser.value(d.latency);
    board::BoardOptions board;
    std::string error;
    if (!board::applyAdapterOptions(result->adapter.toStdString(), result->latencyMs.toStdString(), &board, &error))
        return QString::fromStdString(error) + QStringLiteral(".");
    return {};
}

// --store, --station, --series and the serial options.
QString productionError(const Declared& d, CommandLine* result)
{
    for (const QCommandLineOption& option : d.production) {
        const QString name = "--" + option.names().first();
        if (!d.parser.isSet(option))
            continue;
        if (option.valueName().isEmpty())
            station::takeProductionFlag(name, &result->production);
        else if (!station::takeProductionOption(name, d.parser.value(option), &result->production, &result->error))
            return result->error;
    }
    const QString error = station::checkSerialOptions(&result->production, image::kImageSize, QStringLiteral("the 64 KB image"));
    if (!error.isEmpty())
        return error;
    if (result->production.seriesGiven && !result->production.serials)
        return QStringLiteral("--series goes with the serial options (--serial-at and --serial-format or --serial-list).");
    return {};
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    Declared d;
    CommandLine result;
    result.helpText = d.parser.helpText().replace(QStringLiteral("--simulate <=CHIP>"), QStringLiteral("--simulate[=CHIP] "))
                      + QLatin1String(kEnvironmentHelp);
    if (!d.parser.parse(takeSimulate(arguments, &result))) {
        result.error = d.parser.errorText();
        return result;
    }
    result.error = positionalError(d.parser.positionalArguments());
    if (!result.error.isEmpty())
        return result;
    result.file = d.parser.positionalArguments().value(0);
    result.error = boardError(d, &result);
    if (result.error.isEmpty())
        result.error = productionError(d, &result);
    if (!result.error.isEmpty())
        return result;
    result.logFile = d.parser.value(d.log);
    result.showHelp = d.parser.isSet(d.help);
    result.showVersion = d.parser.isSet(d.version);
    result.pacing = !d.parser.isSet(d.noPace);
    result.comOverrides[0] = d.parser.value(d.com1);
    result.comOverrides[1] = d.parser.value(d.com2);
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
