#include "app_icon.h"
#include "command_line.h"
#include "console.h"
#include "main_window.h"
#include "production.h"
#include "port_map.h"
#include "qt_operator.h"
#include "serial_ports.h"
#include "simulated_port.h"
#include "step_record.h"
#include "stop_signals.h"
#include "system_menu.h"
#include "system_port.h"

#include <QApplication>
#include <QTimer>

#include <memory>

namespace {

// The port the window works: the system's serial ports, or with --simulate the simulated
// board inside the program on COM1 and the system's second port on COM2.
std::unique_ptr<brindle::link::Port> makePort(const brindle::app::CommandLine& commandLine,
                                              std::array<QString, 2>* devices)
{
    std::unique_ptr<brindle::link::Port> system = brindle::link::makeSystemPort(*devices);
    if (!commandLine.simulate)
        return system;
    brindle::board::BoardOptions options;
    std::string error; // told when the command line was read
    (void)brindle::board::simulatedBoardOptions(commandLine.simulatedChip.toStdString(), commandLine.pacing,
                                                commandLine.adapter.toStdString(), commandLine.latencyMs.toStdString(),
                                                &options, &error);
    (*devices)[0] = QString::fromLatin1(brindle::board::SimulatedPort::kDeviceName);
    return std::make_unique<brindle::board::SimulatedPort>(options, std::move(system));
}

} // namespace

int main(int argc, char* argv[])
{
    brindle::app::CommandLine commandLine;
    {
        // Options first, without a display: --help and mistakes need none.
        QCoreApplication probe(argc, argv);
        commandLine = brindle::app::parseCommandLine(QCoreApplication::arguments());
    }
    if (!commandLine.error.isEmpty()) {
        brindle::app::tellUser(commandLine.error + QStringLiteral("\n\n") + commandLine.helpText, true);
        return 2;
    }
    if (commandLine.showVersion) {
        brindle::app::tellUser(QStringLiteral("brindle " BRINDLE_VERSION "\n"), false);
        return 0;
    }
    if (commandLine.showHelp) {
        brindle::app::tellUser(commandLine.helpText, false);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brindle"));
    QApplication::setApplicationVersion(QStringLiteral(BRINDLE_VERSION));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brindle.brindle"));

    auto devices = brindle::app::applyOverrides(brindle::link::defaultComDevices(), commandLine);
    const std::unique_ptr<brindle::link::Port> port = makePort(commandLine, &devices);
    // "Serial port…" maps a button to another device for as long as the window runs.
    brindle::app::PortMap portMap(*port, devices, [](const QString& device) {
        return brindle::link::makeSystemPort({device, device});
    });

    // The record is opened before anything is worked: an operator who asked for one must not
    // find out afterwards that it was never kept.
    brindle::station::OpenedRecord record;
    if (!commandLine.logFile.isEmpty()) {
        record = brindle::station::openRecord(commandLine.logFile, QStringLiteral("brindle"));
        if (!record.record) {
            brindle::app::tellUser(record.problem + QStringLiteral("\n"), true);
            return 3;
        }
    }

    brindle::app::QtOperator op;
    brindle::app::Form1 window(portMap, op, devices);
    op.setWindow(&window);
    const QString simulatedBoard = commandLine.simulate ? devices[0] : QString();
    window.setPortMap(&portMap, [simulatedBoard] { return brindle::app::systemSerialPorts(simulatedBoard); });
    window.setJobRecord(record.record.get());
    std::unique_ptr<brindle::app::Production> production;
    if (commandLine.production.serials || !commandLine.production.store.isEmpty()) {
        production = std::make_unique<brindle::app::Production>(commandLine.production);
        window.setProduction(production.get());
    }
    window.serialLink().setTimeoutScale(commandLine.replyTimeoutScale);
    window.setWindowIcon(brindle::app::appIcon());

    // A supervisor's SIGTERM, a closed session's SIGHUP: the operation stops between blocks or
    // ends its exchange, the port is closed, then the program quits. The flag is looked at
    // from the event loop, which also runs while the board works.
    brindle::link::watchStopSignals(false);
    window.setStopFlag(&brindle::link::stopFlag());
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, &window, [&window] {
        if (brindle::link::stopRequested())
            window.closeOnStop();
    });
    stopWatch.start(50);

    window.show();
    brindle::app::addSystemMenuEntry(&window, window.portAction->text(), [&window] { window.choosePorts(); });
    if (!commandLine.file.isEmpty()) {
        // From the event loop, so that a box about a bad file has the window to stand on.
        QTimer::singleShot(0, &window, [&window, file = commandLine.file] { window.openFile(file); });
    }
    const int status = QApplication::exec();
    return brindle::link::stopRequested() ? brindle::link::stopExitCode() : status;
}
