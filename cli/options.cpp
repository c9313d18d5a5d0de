#include "options.h"
#include "serial_options.h"

#include "board_options.h"
#include "chips.h"
#include "device_names.h"

namespace brindle::cli {

namespace {

struct CommandInfo {
    Command command;
    const char* word;
    const char* args;
    const char* help;
};

const CommandInfo kCommands[] = {
    {Command::Ports, "ports", "[--probe]",
     "List the serial ports: device, description, manufacturer, USB vendor:product, serial number,\n"
     "driver and, for an FTDI adapter, its latency timer. Brindle asks for a 1 ms timer while it has\n"
     "the port open (Linux); where it cannot get it, or where the timer is the driver's setting\n"
     "(Windows), the listing says how to make 1 ms permanent.\n"
     "--probe also sends \"I\" to each (19200 8N1) and says which has a board and what chip it holds;\n"
     "it also tries the 1 ms timer."},
    {Command::Identify, "identify", "", "Identify the chip in the socket (RESET)."},
    {Command::Erase, "erase", "", "Erase the chip (ERASE)."},
    {Command::Blank, "blank", "", "Check that the chip is blank (BLANK)."},
    {Command::Write, "write", "FILE", "Write the file's image into the chip (WRITE)."},
    {Command::Verify, "verify", "FILE", "Compare the whole chip with the file's image (VERIFY)."},
    {Command::Read, "read", "FILE",
     "Read the chip (READ) and write its contents to FILE: Intel HEX as SAVE writes it, as long as\n"
     "the chip, or binary for a .bin name or --format bin. FILE is replaced whole or not at all.\n"
     "FILE - writes to standard output; every other line then goes to standard error."},
    {Command::Lock, "lock", "BITS", "Program the lock bits BITS, any of 1,2,3 (LOCK), e.g. lock 1,3."},
    {Command::Auto, "auto", "FILE",
     "The AUTO steps on the file's image, in the order erase, blank, write, verify, lock; stops at the\n"
     "first step that fails. Default steps: erase,write,verify.\n"
     "  --steps LIST   any of erase,blank,write,verify,lock\n"
     "  --lock BITS    the lock bits of the lock step, e.g. 1,3"},
    {Command::Serials, "serials", "[--series NAME]",
     "Show each series of serial numbers in the store: the next number, how many were programmed,\n"
     "failed and are still reserved (each reserved one with its station, port and time), and what is\n"
     "left of a list. A number stays reserved when the program that took it died before the chip's\n"
     "fate was known: it is never handed out again."},
    {Command::History, "history", "",
     "List the store's record, oldest first: one row per board and step.\n"
     "  --serial N     the rows of one number (or list value)\n"
     "  --series NAME  the rows of one series\n"
     "  --since TIME   from TIME on (UTC, as 2026-12-07 or 2026-12-07T10:00:00)\n"
     "  --json         one JSON object per row"},
};

const char* const kStepWords[] = {"erase", "blank", "write", "verify", "lock"};

const CommandInfo* findCommand(const QString& word)
{
    for (const CommandInfo& info : kCommands)
        if (word == QLatin1String(info.word))
            return &info;
    return nullptr;
}

std::optional<LockBits> parseLockBits(const QString& text)
{
    LockBits bits;
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString& part : parts) {
        const QString bit = part.trimmed();
        if (bit != "1" && bit != "2" && bit != "3")
            return std::nullopt;
        bits.bits[std::size_t(bit.toInt() - 1)] = true;
    }
    return bits;
}

bool parseSteps(const QString& text, std::array<bool, 5>* steps)
{
    std::array<bool, 5> chosen{};
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool found = false;
        for (int i = 0; i < 5; ++i)
            if (part.trimmed() == QLatin1String(kStepWords[i]))
                chosen[std::size_t(i)] = found = true;
        if (!found)
            return false;
    }
    *steps = chosen;
    return true;
}

const QStringList kValueOptions = {"-p", "--port", "--candidate", "--chip", "--format", "--log",
                                   "--reply-timeout-scale", "--steps", "--lock", "--adapter", "--latency-ms"};

// One option with its value; false with o->error set when the value is wrong.
bool takeOption(const QString& name, const QString& value, Options* o, bool* stepsGiven)
{
    if (value.isEmpty() && (name == "-p" || name == "--port" || name == "--candidate" || name == "--log")) {
        o->error = name + (name == "--log" ? " needs a file name" : " needs a device path") + ", not an empty one.";
        return false;
    }
    if (name == "-p" || name == "--port") {
        o->ports << value;
    } else if (name == "--candidate") {
        o->candidates << value;
    } else if (name == "--chip") {
        const int row = protocol::chipRowByName(value.toStdString());
        if (row < 0) {
            o->error = "Unknown chip \"" + value + "\"; known: " + QString::fromUtf8(protocol::chipNames().data());
            return false;
        }
        o->chip = QString::fromUtf8(protocol::kChips[std::size_t(row)].name.data(),
                                    int(protocol::kChips[std::size_t(row)].name.size()));
    } else if (name == "--format") {
        if (value != "hex" && value != "bin") {
            o->error = "--format is hex or bin, not \"" + value + "\".";
            return false;
        }
        o->binary = value == "bin";
    } else if (name == "--log") {
        o->logFile = value;
    } else if (name == "--adapter") {
        o->adapter = value;
    } else if (name == "--latency-ms") {
        o->latencyMs = value;
    } else if (name == "--reply-timeout-scale") {
        bool ok = false;
        o->timeoutScale = value.toDouble(&ok);
        if (!ok || !(o->timeoutScale >= 0.1 && o->timeoutScale <= 100)) { // NaN too
            o->error = "--reply-timeout-scale takes a number from 0.1 to 100, not \"" + value + "\".";
            return false;
        }
    } else if (name == "--steps") {
        *stepsGiven = true;
        if (!parseSteps(value, &o->steps)) {
            o->error = "--steps takes any of erase,blank,write,verify,lock, not \"" + value + "\".";
            return false;
        }
    } else if (station::kProductionOptions.contains(name) || station::kHistoryOptions.contains(name)) {
        return station::takeProductionOption(name, value, &o->production, &o->error);
    } else if (name == "--lock") {
        o->lock = parseLockBits(value);
        if (!o->lock) {
            o->error = "Lock bits are any of 1,2,3 separated by commas, not \"" + value + "\".";
            return false;
        }
    }
    return true;
}

bool takeFlag(const QString& arg, Options* o)
{
    if (arg == "-h" || arg == "--help")
        o->showHelp = true;
    else if (arg == "--version")
        o->showVersion = true;
    else if (arg == "--probe")
        o->probe = true;
    else if (arg == "--json")
        o->json = true;
    else if (arg == "-q" || arg == "--quiet")
        o->quiet = true;
    else if (arg == "--no-pace")
        o->pacing = false;
    else if (arg == "--simulate")
        o->simulate = true;
    else if (arg.startsWith("--simulate="))
        o->simulate = true, o->simulatedChip = arg.mid(11);
    else
        return station::takeProductionFlag(arg, &o->production);
    return true;
}

// An option the command does not take, as the line that says so; empty when there is none.
// Every command is judged by the same rules.
QString misplacedOption(const Options& o, bool stepsGiven, bool formatGiven)
{
    const Command c = o.command;
    const bool ports = c == Command::Ports;
    if (stepsGiven && c != Command::Auto)
        return QStringLiteral("--steps belongs to auto.");
    if (o.lock && c != Command::Auto)
        return c == Command::Lock ? QStringLiteral("lock takes its bits as its argument, not --lock.")
                                  : QStringLiteral("--lock belongs to auto; lock takes its bits as its argument.");
    if (o.probe && !ports)
        return QStringLiteral("--probe belongs to ports.");
    if (formatGiven && !needsFile(c) && c != Command::Read)
        return QStringLiteral("--format belongs to write, verify, read and auto, which take a file.");
    if (ports && (!o.ports.isEmpty() || o.simulate))
        return QStringLiteral("ports lists every port: -p and --simulate do not go with it.");
    if (ports && (!o.chip.isEmpty() || o.json || !o.logFile.isEmpty()))
        return QStringLiteral("ports prints a listing: --chip, --json and --log do not go with it.");
    if (storeCommand(c) && (!o.ports.isEmpty() || o.simulate || !o.chip.isEmpty() || !o.logFile.isEmpty()))
        return o.commandName + QStringLiteral(" reads the store: -p, --simulate, --chip and --log do not go with it.");
    if (c == Command::Serials && o.json)
        return QStringLiteral("--json goes with the board commands and history.");
    if (o.simulate && !o.ports.isEmpty())
        return QStringLiteral("--simulate is the board: it does not go with -p.");
    if (!o.pacing && !o.simulate)
        return QStringLiteral("--no-pace goes with --simulate.");
    if ((o.adapter != QLatin1String("none") || !o.latencyMs.isEmpty()) && !o.simulate)
        return QStringLiteral("--adapter and --latency-ms give the simulated board's USB adapter: they go with --simulate.");
    if (!o.candidates.isEmpty() && !ports && !o.ports.contains(QLatin1String("auto")))
        return QStringLiteral("--candidate adds devices to ports and -p auto.");
    return {};
}

// What the command and its options say together, once all are read.
void checkCombination(const QStringList& positional, bool stepsGiven, bool formatGiven, Options* o)
{
    std::string error;
    const CommandInfo* info = positional.isEmpty() ? nullptr : findCommand(positional[0]);
    if (!positional.isEmpty() && !info) {
        o->error = "Unknown command \"" + positional[0] + "\" (see --help).";
        return;
    }
    if (!info) {
        if (!o->showHelp && !o->showVersion)
            o->error = QStringLiteral("No command given (see --help).");
        return;
    }
    o->command = info->command;
    o->commandName = QString::fromLatin1(info->word);
    if (o->showHelp)
        return;
    const int wanted = QString::fromLatin1(info->args).startsWith('[') || !*info->args ? 0 : 1;
    if (positional.size() - 1 != wanted) {
        o->error = wanted ? QStringLiteral("%1 takes %2 (see %1 --help).").arg(o->commandName, info->args)
                          : QStringLiteral("%1 takes no argument but \"%2\".").arg(o->commandName, positional[1]);
        return;
    }
    o->error = misplacedOption(*o, stepsGiven, formatGiven);
    if (o->error.isEmpty())
        o->error = checkSerialOptions(o);
    if (!o->error.isEmpty())
        return;
    if (o->command == Command::Lock) {
        o->lock = parseLockBits(positional[1]);
        if (!o->lock)
            o->error = "Lock bits are any of 1,2,3 separated by commas, not \"" + positional[1] + "\".";
        return;
    }
    if (wanted && positional[1].isEmpty()) {
        o->error = QStringLiteral("%1 needs a file name, not an empty one.").arg(o->commandName);
        return;
    }
    if (wanted)
        o->file = positional[1];
    if (o->file.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive) && !formatGiven)
        o->binary = true;
    if (o->command == Command::Auto && o->steps[4] && !o->lock)
        o->error = QStringLiteral("The lock step needs its bits: --lock BITS, e.g. --lock 1,2,3.");
    else if (o->command == Command::Auto && o->lock && !o->steps[4])
        o->error = QStringLiteral("--lock gives the bits of the lock step: add lock to --steps.");
    else if (board::BoardOptions board; !board::applyAdapterOptions(o->adapter.toStdString(), o->latencyMs.toStdString(),
                                                                    &board, &error))
        o->error = QString::fromStdString(error) + " (see --help).";
}

} // namespace

Options parseOptions(const QStringList& arguments)
{
    Options o;
    QStringList positional;
    bool stepsGiven = false, formatGiven = false;
    for (int i = 0; i < arguments.size() && o.error.isEmpty(); ++i) {
        const QString& arg = arguments[i];
        if (takeFlag(arg, &o))
            continue;
        QString name = arg, value;
        const int equals = arg.startsWith("--") ? arg.indexOf('=') : -1;
        if (equals > 0)
            name = arg.left(equals), value = arg.mid(equals + 1);
        if (kValueOptions.contains(name) || station::kProductionOptions.contains(name)
            || station::kHistoryOptions.contains(name)) {
            if (equals < 0) {
                if (i + 1 >= arguments.size()) {
                    o.error = name + " needs a value.";
                    break;
                }
                value = arguments[++i];
            }
            formatGiven = formatGiven || name == "--format";
            takeOption(name, value, &o, &stepsGiven);
        } else if (arg.startsWith('-') && arg != "-") {
            o.error = "Unknown option " + arg + " (see --help).";
        } else {
            positional << arg;
        }
    }
    if (o.error.isEmpty())
        checkCombination(positional, stepsGiven, formatGiven, &o);
    return o;
}

bool needsFile(Command command)
{
    return command == Command::Write || command == Command::Verify || command == Command::Auto;
}

bool storeCommand(Command command) { return command == Command::Serials || command == Command::History; }

QString commandHelp(Command command)
{
    for (const CommandInfo& info : kCommands)
        if (info.command == command)
            return QStringLiteral("Usage: brindle-cli [OPTIONS] %1 %2\n\n%3\n\nOptions: see brindle-cli --help.\n")
                .arg(QString::fromLatin1(info.word), QString::fromLatin1(info.args), QString::fromLatin1(info.help));
    return helpText();
}

} // namespace brindle::cli

namespace brindle::cli {

QString helpText()
{
    const platform::HelpWords& words = platform::helpWords(); // the platform's spelling of ports and paths
    return QStringLiteral(
        "Usage: brindle-cli [OPTIONS] COMMAND [ARGS]\n"
        "Works the chip on a Brindle programmer board from scripts, Makefiles and production lines.\n\n"
        "Commands:\n"
        "  ports [--probe]        list the serial ports; --probe sends \"I\" to each and names the boards\n"
        "  identify               identify the chip in the socket\n"
        "  erase                  erase the chip\n"
        "  blank                  check that the chip is blank\n"
        "  write FILE             write the file's image\n"
        "  verify FILE            compare the chip with the file's image\n"
        "  read FILE              read the chip into FILE (Intel HEX, or binary for .bin / --format bin);\n"
        "                         read - writes it to stdout, every other line to stderr\n"
        "  lock BITS              program lock bits BITS, e.g. 1,2,3 or 1,3\n"
        "  auto FILE              erase, write, verify (--steps erase,blank,write,verify,lock; --lock BITS);\n"
        "                         stops at the first step that fails\n"
        "  serials [--series NAME]  the store's series of serial numbers: next, programmed, failed, reserved\n"
        "  history                the store's record (--serial N, --series NAME, --since TIME, --json)\n"
        "  COMMAND --help         help for one command\n\n"
        "Options:\n"
        "  -p, --port PATH        serial device; repeat for several boards at once; \"auto\" finds the one board;\n"
        "                         %1\n"
        "  --candidate PATH       with ports and -p auto: also consider this device (%2); repeatable\n"
        "  --simulate[=CHIP]      in-process simulated board (default AT89S52, or \"none\" for an empty socket)\n"
        "  --no-pace              with --simulate: answer at once instead of at line rate\n"
        "  --adapter NAME         with --simulate: the USB serial adapter the board is reached through:\n"
        "                         none (default), ftdi (holds bytes until 62 wait or its latency timer\n"
        "                         runs out), ch340 or pl2303 (about 1 ms)\n"
        "  --latency-ms N         with --adapter ftdi: its latency timer, 1 to 255 ms (default 16)\n"
        "  --chip NAME            the chip the job expects; another chip is refused before anything is sent\n"
        "                         that changes it\n"
        "  --format hex|bin       file format of write, verify, read, auto (default: .bin is binary,\n"
        "                         anything else Intel HEX)\n"
        "  --json                 one JSON object per board and step on stdout\n"
        "  -q, --quiet            print only errors; the exit status says the rest\n"
        "  --log FILE             append one JSON line per step and board to FILE\n"
        "  --reply-timeout-scale F  stretch the board's reply time limits by F\n\n"
        "Production (write and auto give each chip its own number, taken from a store):\n"
        "  --serial-at ADDR       where the number goes in the image (0x1FF0 or 8176)\n"
        "  --serial-format FMT    le:W or be:W (binary, W bytes), bcd:W (packed BCD), ascii:W (W digits)\n"
        "  --serial-start N       a new series' first number (default 1)\n"
        "  --serial-step S        a new series' step (default 1)\n"
        "  --serial-list FILE     hand out the file's values instead (one a line, as 00:1A:2B:3C:4D:5E)\n"
        "  --series NAME          the series (default \"default\"): each has its own counter\n"
        "  --reuse-failed         give a number whose chip failed to the next chip\n"
        "  --store URL            sqlite:PATH (default: serials.sqlite in the user's data folder),\n"
        "                         postgresql://USER@HOST[:PORT]/DATABASE, or odbc:CONNECTION-STRING;\n"
        "                         with --store every step is also recorded there\n"
        "  --station NAME         this station's name in the store (default: the host name)\n"
        "  --version, -h --help\n\n"
        "Exit status: 0 success; 1 the chip failed (failure letter, not blank, read-protected, verify\n"
        "differences);\n"
        "2 usage error; 3 file error (unreadable, malformed, too big for the chip); 4 port error;\n"
        "5 the board did not answer, hung up or answered outside the protocol; 6 wrong chip (--chip)\n"
        "or no chip in the socket; 7 the store failed (unreachable, refused, locked, full, run out);\n"
        "130, 143, 129 interrupted (Ctrl-C, SIGTERM, SIGHUP).\n"
        "Several boards: the worst of them.\n\n"
        "Environment: BRINDLE_TRACE=1 prints every byte on the port (and Qt's warnings) to stderr.\n"
        "Example: brindle-cli --simulate auto %3\n")
        .arg(QLatin1String(words.portRule), QLatin1String(words.candidates), QLatin1String(words.exampleFile));
}

} // namespace brindle::cli
