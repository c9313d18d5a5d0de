#include "app_icon.h"
#include "command_line.h"
#include "console.h"
#include "step_record.h"
#include "main_window.h"
#include "production.h"
#include "port_map.h"
#include "qt_operator.h"
#include "serial_ports.h"
#include "simulated_port.h"
#include "stop_signals.h"
#include "system_menu.h"
#include "system_port.h"

#include <QApplication>
#include <QTimer>

#include <memory>
#include <optional>

namespace brindle::app {
namespace {

// Options first, without a display: --help and mistakes need none.
CommandLine readCommandLine(int& argc, char* argv[])
{
    QCoreApplication probe(argc, argv);
    return parseCommandLine(QCoreApplication::arguments());
}

// A mistake, --version and --help are answered without a window: the status to end with.
std::optional<int> answerWithoutWindow(const CommandLine& commandLine)
{
    if (!commandLine.error.isEmpty()) {
        tellUser(commandLine.error + QStringLiteral("\n\n") + commandLine.helpText, true);
        return 2;
    }
    if (commandLine.showVersion) {
        tellUser(QStringLiteral("brindle " BRINDLE_VERSION "\n"), false);
        return 0;
    }
    if (commandLine.showHelp) {
        tellUser(commandLine.helpText, false);
        return 0;
    }
    return std::nullopt;
}

void nameApplication()
{
    QApplication::setApplicationName(QStringLiteral("Brindle"));
    QApplication::setApplicationVersion(QStringLiteral(BRINDLE_VERSION));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brindle.brindle"));
}

// The port the window works: the system's serial ports, or with --simulate the simulated
// board inside the program on COM1 and the system's second port on COM2.
std::unique_ptr<platform::Port> makePort(const CommandLine& commandLine, std::array<QString, 2>* devices)
{
    std::unique_ptr<platform::Port> system = platform::makeSystemPort(*devices);
    if (!commandLine.simulate)
        return system;
    board::BoardOptions options;
    std::string error; // told when the command line was read
    (void)board::simulatedBoardOptions(commandLine.simulatedChip.toStdString(), commandLine.pacing,
                                       commandLine.adapter.toStdString(), commandLine.latencyMs.toStdString(), &options,
                                       &error);
    (*devices)[0] = QString::fromLatin1(board::SimulatedPort::kDeviceName);
    return std::make_unique<board::SimulatedPort>(options, std::move(system));
}

// The record is opened before anything is worked: an operator who asked for one must not
// find out afterwards that it was never kept. Returns the status to end with when it cannot be.
std::optional<int> openRecord(const CommandLine& commandLine, station::OpenedRecord* record)
{
    if (commandLine.logFile.isEmpty())
        return std::nullopt;
    *record = station::openRecord(commandLine.logFile, QStringLiteral("brindle"));
    if (record->record)
        return std::nullopt;
    tellUser(record->problem + QStringLiteral("\n"), true);
    return 3;
}

// What the command line asks of the window beyond its ports: the record, the store and the
// serial numbers, the reply limits. Returns the production the window then works for, if any.
std::unique_ptr<Production> configureWindow(Form1& window, const CommandLine& commandLine,
                                                 station::JobRecord* record)
{
    window.setJobRecord(record);
    std::unique_ptr<Production> production;
    if (commandLine.production.serials || !commandLine.production.store.isEmpty()) {
        production = std::make_unique<Production>(commandLine.production);
        window.setProduction(production.get());
    }
    window.serialLink().setTimeoutScale(commandLine.replyTimeoutScale);
    window.setWindowIcon(appIcon());
    return production;
}

// A supervisor's SIGTERM, a closed session's SIGHUP: the operation stops between blocks or
// ends its exchange, the port is closed, then the program quits. The flag is looked at
// from the event loop, which also runs while the board works.
void closeOnStopSignals(Form1& window, QTimer& stopWatch)
{
    platform::watchStopSignals(false);
    window.setStopFlag(&platform::stopFlag());
    QObject::connect(&stopWatch, &QTimer::timeout, &window, [&window] {
        if (platform::stopRequested())
            window.closeOnStop();
    });
    stopWatch.start(50);
}

void showWindow(Form1& window, const QString& file)
{
    window.show();
    addSystemMenuEntry(&window, window.portAction->text(), [&window] { window.choosePorts(); });
    if (!file.isEmpty()) {
        // From the event loop, so that a box about a bad file has the window to stand on.
        QTimer::singleShot(0, &window, [&window, file] { window.openFile(file); });
    }
}

} // namespace
} // namespace brindle::app

int main(int argc, char* argv[])
{
    using namespace brindle;
    const app::CommandLine commandLine = app::readCommandLine(argc, argv);
    if (const std::optional<int> status = app::answerWithoutWindow(commandLine))
        return *status;

    QApplication application(argc, argv);
    app::nameApplication();
    auto devices = app::applyOverrides(platform::defaultComDevices(), commandLine);
    const std::unique_ptr<platform::Port> port = app::makePort(commandLine, &devices);
    // "Serial port…" maps a button to another device for as long as the window runs.
    app::PortMap portMap(*port, devices, [](const QString& device) { return platform::makeSystemPort({device, device}); });
    station::OpenedRecord record;
    if (const std::optional<int> status = app::openRecord(commandLine, &record))
        return *status;

    app::QtOperator op;
    app::Form1 window(portMap, op, devices);
    op.setWindow(&window);
    const QString simulatedBoard = commandLine.simulate ? devices[0] : QString();
    window.setPortMap(&portMap, [simulatedBoard] { return app::systemSerialPorts(simulatedBoard); });
    const std::unique_ptr<app::Production> production = app::configureWindow(window, commandLine, record.record.get());
    QTimer stopWatch;
    app::closeOnStopSignals(window, stopWatch);
    app::showWindow(window, commandLine.file);
    const int status = QApplication::exec();
    return platform::stopRequested() ? platform::stopExitCode() : status;
}
