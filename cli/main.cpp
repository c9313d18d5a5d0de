// brindle-cli: the board operations from the command line, on one board or several at once.
#include "board_job.h"
#include "port_search.h"
#include "simulated_port.h"
#include "system_port.h"

#include <QCoreApplication>
#include <QThread>

#include <csignal>
#include <functional>
#include <memory>

using namespace brindle;
using namespace brindle::cli;

namespace {

std::atomic<bool> interruptFlag{false};

extern "C" void onInterrupt(int)
{
    interruptFlag = true;
    std::signal(SIGINT, SIG_DFL); // a second Ctrl-C ends the program at once
}

int usageError(const QString& text)
{
    std::fprintf(stderr, "brindle-cli: %s\n", qPrintable(text));
    return 2;
}

int listPortsCommand(const Options& o)
{
    const std::vector<PortInfo> ports = listPorts(o.candidates);
    const std::vector<Probe> probes = o.probe ? probePorts(ports, o.timeoutScale) : std::vector<Probe>{};
    std::printf("%s\n", qPrintable(portListing(ports, probes)));
    return 0;
}

// The devices the job runs on; an exit code other than 0 when there are none.
int resolveDevices(const Options& o, QStringList* devices)
{
    if (o.ports.isEmpty())
        return usageError(QStringLiteral("Name the board's port: -p PATH, -p auto or --simulate."));
    for (const QString& port : o.ports) {
        if (port == QLatin1String("auto")) {
            if (o.ports.size() > 1)
                return usageError(QStringLiteral("-p auto finds one board: it does not go with other -p."));
            QString device, error;
            if (!findOneBoard(probePorts(listPorts(o.candidates), o.timeoutScale), &device, &error)) {
                std::fprintf(stderr, "brindle-cli: %s\n", qPrintable(error));
                return link::exitCode(link::Result::PortError);
            }
            if (!o.quiet)
                std::fprintf(stderr, "-p auto: the board on %s\n", qPrintable(device));
            *devices << device;
            continue;
        }
        if (devices->contains(port))
            return usageError("Port " + port + " is named twice.");
        *devices << port;
    }
    return 0;
}

// One board's run said in a line: "auto: ok, AT89S52, 9.3 s".
QString closingLine(const QString& command, const Reporter::SummaryRow& row)
{
    return QStringLiteral("%1: %2, %3, %4 s").arg(command, row.result, row.chip == "-" ? QStringLiteral("no chip") : row.chip)
        .arg(row.seconds, 0, 'f', 1);
}

int runJob(const Options& o, const QStringList& devices,
           const std::function<std::unique_ptr<link::Port>(const QString&)>& openPort)
{
    JobImage image;
    if (needsFile(o.command)) {
        image = loadJobImage(o.file, o.binary);
        if (!image.error.isEmpty()) {
            std::fprintf(stderr, "brindle-cli: %s\n", qPrintable(image.error));
            return link::exitCode(link::Result::BadImage);
        }
    }
    std::unique_ptr<link::JobRecord> record;
    if (!o.logFile.isEmpty()) {
        record = std::make_unique<link::JobRecord>(o.logFile, QStringLiteral("brindle-cli"), QStringLiteral(BRINDLE_VERSION));
        if (const auto failure = record->open()) {
            std::fprintf(stderr, "brindle-cli: Cannot open the record %s: %s.\n", qPrintable(o.logFile), qPrintable(*failure));
            return link::exitCode(link::Result::BadImage);
        }
    }
    Reporter reporter(int(devices.size()), o.json, isTerminal(stderr));
    reporter.setPortNames(std::vector<QString>(devices.begin(), devices.end()));
    reporter.setQuiet(o.quiet);
    reporter.setStdoutTaken(o.command == Command::Read && o.file == QLatin1String("-"));
    const JobContext context{&o, needsFile(o.command) ? &image : nullptr, &reporter, record.get(), &interruptFlag, openPort};

    std::vector<BoardResult> results(std::size_t(devices.size()));
    // QThreads: the ports' notifiers need a thread Qt knows.
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < devices.size(); ++i) {
        threads.emplace_back(QThread::create([&, i] { results[std::size_t(i)] = BoardJob(i, devices[i], context).run(); }));
        threads.back()->start();
    }
    for (auto& thread : threads)
        thread->wait();

    int worst = 0;
    bool recordFailed = false;
    std::vector<Reporter::SummaryRow> rows;
    for (const BoardResult& r : results) {
        worst = std::max(worst, link::exitCode(r.result));
        recordFailed = recordFailed || r.recordFailed;
        const std::string_view chip = r.chip ? r.chip->name : "-";
        const std::string_view result = link::resultName(r.result);
        rows.push_back({r.port, QString::fromUtf8(chip.data(), int(chip.size())),
                        QString::fromUtf8(result.data(), int(result.size())), r.seconds});
    }
    if (devices.size() > 1 && !o.json && !o.quiet)
        reporter.summary(rows);
    else if (!o.json && !o.quiet)
        reporter.line(-1, closingLine(o.commandName, rows.front()));
    // A job whose record is incomplete has not done all that was asked of it.
    return worst == 0 && recordFailed ? link::exitCode(link::Result::BadImage) : worst;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const Options o = parseOptions(QCoreApplication::arguments().mid(1));
    if (!o.error.isEmpty())
        return usageError(o.error);
    if (o.showVersion) {
        std::printf("brindle-cli %s\n", BRINDLE_VERSION);
        return 0;
    }
    if (o.showHelp) {
        std::fputs(qPrintable(o.command == Command::None ? helpText() : commandHelp(o.command)), stdout);
        return 0;
    }
    if (o.command == Command::Ports)
        return listPortsCommand(o);

    QStringList devices;
    std::function<std::unique_ptr<link::Port>(const QString&)> openPort = [](const QString& device) {
        return link::makeSystemPort({device, QString()});
    };
    if (o.simulate) {
        board::BoardOptions options;
        options.chip = o.simulatedChip.toStdString();
        options.pacing = o.pacing;
        bool known = false;
        board::chipForOptions(options, &known);
        if (!known)
            return usageError("--simulate=" + o.simulatedChip + ": no such chip.");
        openPort = [options](const QString&) { return std::make_unique<board::SimulatedPort>(options); };
        devices << QString::fromLatin1(board::SimulatedPort::kDeviceName);
    }
    if (devices.isEmpty())
        if (const int code = resolveDevices(o, &devices))
            return code;
    if (o.command == Command::Read && devices.size() > 1)
        return usageError(QStringLiteral("read writes one file: name one board."));
    std::signal(SIGINT, onInterrupt);
    return runJob(o, devices, openPort);
}
