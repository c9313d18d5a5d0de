// brindle-cli: the board operations from the command line, on one board or several at once.
#include "board_job.h"
#include "device_names.h"
#include "port_search.h"
#include "standard_output.h"
#include "store_commands.h"
#include "simulated_port.h"
#include "step_record.h"
#include "stop_signals.h"
#include "system_port.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

using namespace brindle;
using namespace brindle::cli;

namespace {

using PortFactory = std::function<std::unique_ptr<platform::Port>(const QString&)>;

// A board of the job: the port as -p named it, and what that opens.
struct Board {
    QString named, device;
};

int usageError(const QString& text)
{
    std::fprintf(stderr, "brindle-cli: %s\n", qPrintable(text));
    return 2;
}

// Qt's own warnings (a device it cannot seek on, a name it cannot open) tell the user nothing to
// act on: every failure is told in the program's words. BRINDLE_TRACE=1 lets them through.
void silenceQtWarnings()
{
    const char* trace = std::getenv("BRINDLE_TRACE");
    if (trace && *trace && QByteArray(trace) != "0")
        return;
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "brindle-cli: %s\n", qPrintable(text));
    });
}

QString portPath(const QString& name) { return QString::fromStdString(platform::portPathFor(name.toStdString())); }

int listPortsCommand(Options o)
{
    for (QString& candidate : o.candidates)
        candidate = portPath(candidate);
    const std::vector<link::PortInfo> ports = link::listPorts(o.candidates);
    const std::vector<link::Probe> probes = o.probe ? link::probePorts(ports, o.timeoutScale) : std::vector<link::Probe>{};
    std::printf("%s\n", qPrintable(link::portListing(ports, probes)));
    return platform::stopRequested() ? platform::stopExitCode() : 0;
}

// The boards -p names, each once, -p auto still to be looked for; an exit code other than 0
// when the names are no good.
int nameBoards(const Options& o, std::vector<Board>* boards)
{
    if (o.ports.isEmpty())
        return usageError(QStringLiteral("Name the board's port: -p PATH, -p auto or --simulate."));
    if (o.ports.contains(QLatin1String("auto")) && o.ports.size() > 1)
        return usageError(QStringLiteral("-p auto finds one board: it does not go with other -p."));
    for (const QString& name : o.ports) {
        const Board board{name, name == QLatin1String("auto") ? name : portPath(name)};
        for (const Board& earlier : *boards) {
            if (earlier.named == name)
                return usageError("Port " + name + " is named twice.");
            // Two programs' worth of writes interleaved on one chip.
            if (platform::sameDevice(earlier.device.toStdString(), board.device.toStdString()))
                return usageError(QStringLiteral("-p %1 and -p %2 are one device (%3): name each board once.")
                                      .arg(earlier.named, name,
                                           QString::fromStdString(platform::systemDeviceName(board.device.toStdString()))));
        }
        boards->push_back(board);
    }
    if (o.command == Command::Read && boards->size() > 1)
        return usageError(QStringLiteral("read writes one file: name one board."));
    return 0;
}

// -p auto: the one board that answers.
int findAutoBoard(const Options& o, std::vector<Board>* boards)
{
    QStringList candidates;
    for (const QString& candidate : o.candidates)
        candidates << portPath(candidate);
    QString device, error;
    if (!link::findOneBoard(link::probePorts(link::listPorts(candidates), o.timeoutScale), &device, &error)) {
        if (platform::stopRequested())
            return platform::stopExitCode();
        std::fprintf(stderr, "brindle-cli: %s\n", qPrintable(error));
        return link::exitCode(link::Result::PortError);
    }
    if (!o.quiet)
        std::fprintf(stderr, "-p auto: the board on %s\n", qPrintable(device));
    boards->front().device = device;
    return 0;
}

// The step a refused file is reported as: the one that would have sent its image.
link::Operation fileStep(const Options& o)
{
    if (o.command == Command::Verify)
        return link::Operation::Verify;
    if (o.command != Command::Auto)
        return link::Operation::Write;
    using link::Operation;
    const Operation kinds[] = {Operation::Erase, Operation::Blank, Operation::Write, Operation::Verify, Operation::Lock};
    for (const int step : {2, 3, 0, 1, 4})
        if (o.steps[std::size_t(step)])
            return kinds[step];
    return Operation::Write;
}

// One board's run said in a line: "auto: ok, AT89S52, 9.3 s".
QString closingLine(const QString& command, const Reporter::SummaryRow& row)
{
    return QStringLiteral("%1: %2, %3, %4 s").arg(command, row.result, row.chip == "-" ? QStringLiteral("no chip") : row.chip)
        .arg(row.seconds, 0, 'f', 1);
}

// The store reached and the series made ready (a list loaded) before any board is worked.
std::optional<QString> prepareStore(const Options& o, const station::StoreAddress& address, station::SeriesPlan* plan)
{
    station::Store store(address, station::stationName(o.production), station::systemUserName());
    std::optional<QString> failure = store.open();
    QStringList notes;
    if (!failure && o.production.serials)
        failure = store.prepare(*plan, &notes);
    for (const QString& note : notes)
        if (!o.quiet)
            std::fprintf(stderr, "brindle-cli: note: %s.\n", qPrintable(note));
    return failure;
}

int finish(const Options& o, const std::vector<BoardResult>& results, Reporter& reporter)
{
    int worst = 0;
    bool recordFailed = false, storeFailed = false;
    std::vector<Reporter::SummaryRow> rows;
    for (const BoardResult& r : results) {
        worst = std::max(worst, link::exitCode(r.result));
        recordFailed = recordFailed || r.recordFailed;
        storeFailed = storeFailed || r.storeFailed;
        const std::string_view chip = r.chip ? r.chip->name : "-";
        const std::string_view result = link::resultName(r.result);
        rows.push_back({r.port, QString::fromUtf8(chip.data(), int(chip.size())),
                        QString::fromUtf8(result.data(), int(result.size())), r.seconds});
    }
    if (results.size() > 1 && !o.json && !o.quiet)
        reporter.summary(rows);
    else if (!o.json && !o.quiet)
        reporter.line(-1, closingLine(o.commandName, rows.front()));
    // A job whose record is incomplete has not done all that was asked of it.
    if (recordFailed)
        worst = std::max(worst, link::exitCode(link::Result::BadImage));
    if (storeFailed)
        worst = std::max(worst, link::exitCode(link::Result::StoreError));
    // Told to stop, the job says so whatever its last step came to: a supervisor reads the status.
    return platform::stopRequested() ? platform::stopExitCode() : worst;
}

int runJob(const Options& o, const std::vector<Board>& boards, const JobContext& context,
           std::optional<link::Outcome> refusal)
{
    std::vector<BoardResult> results(boards.size());
    if (context.image && !context.image->grid)
        refusal = link::Outcome::of(link::Result::BadImage, {}, context.image->error.toStdString());
    if (!refusal) {
        // QThreads: the ports' notifiers need a thread Qt knows.
        std::vector<std::unique_ptr<QThread>> threads;
        for (std::size_t i = 0; i < boards.size(); ++i) {
            threads.emplace_back(QThread::create([&, i] {
                results[i] = BoardJob(int(i), boards[i].named, boards[i].device, context).run();
            }));
            threads.back()->start();
        }
        for (auto& thread : threads)
            thread->wait();
    } else {
        // Refused before any port is opened; every board's record shows the attempt.
        for (std::size_t i = 0; i < boards.size(); ++i)
            results[i] = BoardJob(int(i), boards[i].named, boards[i].device, context).refuse(fileStep(o), *refusal);
    }
    return finish(o, results, *context.reporter);
}

// --version, --help and a usage error: answered before any port or store is looked at.
std::optional<int> answerAtOnce(const Options& o)
{
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
    return std::nullopt;
}

// The boards of the job and how each one's port is opened: the simulated board, or the ports
// -p names; an exit code other than 0 when they are no good.
int chooseBoards(const Options& o, std::vector<Board>* boards, PortFactory* openPort)
{
    if (!o.simulate) {
        *openPort = [](const QString& device) { return platform::makeSystemPort({device, QString()}); };
        return nameBoards(o, boards);
    }
    board::BoardOptions options;
    std::string error;
    if (!board::simulatedBoardOptions(o.simulatedChip.toStdString(), o.pacing, o.adapter.toStdString(),
                                      o.latencyMs.toStdString(), &options, &error))
        return usageError(QString::fromStdString(error) + ".");
    *openPort = [options](const QString&) { return std::make_unique<board::SimulatedPort>(options); };
    const QString name = QString::fromLatin1(board::SimulatedPort::kDeviceName);
    boards->push_back({name, name});
    return 0;
}

// What the job works from, read before any board: the list of serial numbers and the image.
int readJobFiles(const Options& o, JobImage* image)
{
    if (!o.production.plan.listFile.isEmpty()) {
        QString error;
        if (!station::loadSerialList(o.production.plan.listFile, &error)) {
            std::fprintf(stderr, "brindle-cli: %s\n", qPrintable(error));
            return link::exitCode(link::Result::BadImage);
        }
    }
    if (needsFile(o.command)) {
        *image = loadJobImage(o.file, o.binary);
        if (!image->warning.isEmpty())
            std::fprintf(stderr, "brindle-cli: warning: %s\n", qPrintable(image->warning));
    }
    return 0;
}

void setUpReporter(const Options& o, const std::vector<Board>& boards, Reporter* reporter)
{
    std::vector<QString> devices;
    for (const Board& b : boards)
        devices.push_back(b.device);
    reporter->setPortNames(devices);
    reporter->setQuiet(o.quiet);
    reporter->setStdoutTaken(o.command == Command::Read && o.file == QLatin1String("-"));
}

// The store is met before any board: a job that cannot number its chips writes none. The
// refusal every board then reports, if it cannot be met.
std::optional<link::Outcome> meetStore(const Options& o, const station::StoreAddress& store, station::SeriesPlan* plan,
                                       JobContext* context)
{
    if (!o.production.serials && o.production.store.isEmpty())
        return std::nullopt;
    context->store = &store;
    context->station = station::stationName(o.production);
    context->plan = o.production.serials ? plan : nullptr;
    const auto failure = prepareStore(o, store, plan);
    if (!failure)
        return std::nullopt;
    return platform::stopRequested()
               ? link::Outcome::of(link::Result::Interrupted, {}, "Stopped while waiting for the store: nothing was written.")
               : link::Outcome::of(link::Result::StoreError, {}, (*failure + ". Nothing was written.").toStdString());
}

// identify, erase, blank, write, verify, read, lock and auto on every board of the job.
int boardCommand(const Options& o)
{
    std::vector<Board> boards;
    PortFactory openPort;
    JobImage image;
    if (const int code = chooseBoards(o, &boards, &openPort))
        return code;
    if (const int code = readJobFiles(o, &image))
        return code;
    station::OpenedRecord record;
    if (!o.logFile.isEmpty()) {
        record = station::openRecord(o.logFile, QStringLiteral("brindle-cli"));
        if (!record.record) {
            std::fprintf(stderr, "brindle-cli: %s\n", qPrintable(record.problem));
            return link::exitCode(link::Result::BadImage);
        }
    }
    // A refused file needs no board: -p auto is not looked for.
    if (image.error.isEmpty() && boards.front().device == QLatin1String("auto"))
        if (const int code = findAutoBoard(o, &boards))
            return code;

    Reporter reporter(int(boards.size()), o.json, platform::isTerminal(stderr));
    setUpReporter(o, boards, &reporter);
    JobContext context{&o, needsFile(o.command) ? &image : nullptr, &reporter, record.record.get(), &platform::stopFlag(),
                       openPort, nullptr, nullptr, QString()};
    const station::StoreAddress store = station::storeAddress(o.production);
    station::SeriesPlan plan = o.production.plan;
    const std::optional<link::Outcome> refusal = meetStore(o, store, &plan, &context);
    return runJob(o, boards, context, refusal);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const Options o = parseOptions(QCoreApplication::arguments().mid(1));
    if (const std::optional<int> code = answerAtOnce(o))
        return *code;
    silenceQtWarnings();
    platform::watchStopSignals();
    switch (o.command) {
    case Command::Ports: return listPortsCommand(o);
    case Command::Serials: return serialsCommand(o);
    case Command::History: return historyCommand(o);
    default: return boardCommand(o);
    }
}
