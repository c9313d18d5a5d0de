#include "app_icon.h"
#include "command_line.h"
#include "job_record.h"
#include "main_window.h"
#include "qt_operator.h"
#include "qt_serial_port.h"

#include <QApplication>

#include <cstdio>
#include <memory>

#ifdef BRINDLE_HAS_SIMULATOR
#include "pty_board.h"

namespace {

// The simulated board, served on a pseudo-terminal from a thread of this process.
std::unique_ptr<brindle::board::PtyBoard> startSimulator(const brindle::app::CommandLine& commandLine,
                                                         std::string* error)
{
    brindle::board::BoardOptions options;
    if (!brindle::board::parseBoardOptions({"--chip", commandLine.simulatedChip.toStdString()}, &options, error))
        return nullptr;
    options.pacing = commandLine.pacing;
    auto board = std::make_unique<brindle::board::PtyBoard>();
    if (!board->start(options, error))
        return nullptr;
    return board;
}

} // namespace
#endif

int main(int argc, char* argv[])
{
    brindle::app::CommandLine commandLine;
    {
        // Options first, without a display: --help and mistakes need none.
        QCoreApplication probe(argc, argv);
        commandLine = brindle::app::parseCommandLine(QCoreApplication::arguments());
    }
    if (!commandLine.error.isEmpty()) {
        std::fprintf(stderr, "%s\n\n%s", qPrintable(commandLine.error), qPrintable(commandLine.helpText));
        return 2;
    }
    if (commandLine.showVersion) {
        std::puts("brindle " BRINDLE_VERSION);
        return 0;
    }
    if (commandLine.showHelp) {
        std::fputs(qPrintable(commandLine.helpText), stdout);
        return 0;
    }

#ifdef BRINDLE_HAS_SIMULATOR
    std::unique_ptr<brindle::board::PtyBoard> simulator;
    if (commandLine.simulate) {
        std::string error;
        simulator = startSimulator(commandLine, &error);
        if (!simulator) {
            std::fprintf(stderr, "The simulated board did not start: %s\n", error.c_str());
            return 1;
        }
    }
#else
    if (commandLine.simulate) {
        std::fputs("The simulated board needs pseudo-terminals, which this platform does not have.\n", stderr);
        return 1;
    }
#endif

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brindle"));
    QApplication::setApplicationVersion(QStringLiteral(BRINDLE_VERSION));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brindle.brindle"));

    auto devices = brindle::app::applyOverrides(brindle::link::defaultComDevices(), commandLine);
#ifdef BRINDLE_HAS_SIMULATOR
    if (simulator)
        devices[0] = QString::fromStdString(simulator->devicePath());
#endif

    // The record is opened before anything is worked: an operator who asked for one must not
    // find out afterwards that it was never kept.
    std::unique_ptr<brindle::link::JobRecord> record;
    if (!commandLine.logFile.isEmpty()) {
        record = std::make_unique<brindle::link::JobRecord>(commandLine.logFile, QStringLiteral("brindle"),
                                                            QStringLiteral(BRINDLE_VERSION));
        if (const std::optional<QString> failure = record->open()) {
            std::fprintf(stderr, "Cannot open the record %s: %s.\n", qPrintable(commandLine.logFile), qPrintable(*failure));
            return 3;
        }
    }

    brindle::link::QtSerialPort port(devices);
    brindle::app::QtOperator op;
    brindle::app::Form1 window(port, op, devices);
    op.setWindow(&window);
    window.setJobRecord(record.get());
    window.serialLink().setTimeoutScale(commandLine.replyTimeoutScale);
    window.setWindowIcon(brindle::app::appIcon());
    window.show();
    return QApplication::exec();
}
