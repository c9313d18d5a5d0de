#include "app_icon.h"
#include "command_line.h"
#include "main_window.h"
#include "qt_operator.h"
#include "qt_serial_port.h"

#include <QApplication>

#include <cstdio>

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
    if (commandLine.showHelp) {
        std::fputs(qPrintable(commandLine.helpText), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brindle"));

    const auto devices = brindle::app::applyOverrides(brindle::link::defaultComDevices(), commandLine);
    brindle::link::QtSerialPort port(devices);
    brindle::app::QtOperator op;
    brindle::app::Form1 window(port, op, devices);
    op.setWindow(&window);
    window.setWindowIcon(brindle::app::appIcon());
    window.show();
    return QApplication::exec();
}
