// WRITE, READ and VERIFY of 2 KB (AT89C2051) and 20 KB (AT89C55WD) against the simulated
// board at line rate. The board runs as a child process, so the CPU time measured here is
// the program's own.
#include "board_ops.h"
#include "quiet_panel.h"
#include "system_port.h"
#include "serial_link.h"

#include <QCoreApplication>
#include <QProcess>

#include <chrono>
#include <cstdio>
#include <ctime>

using namespace brindle;
using namespace brindle::link;
using bench::QuietPanel;

namespace {

constexpr double kCharsPerSecond = 1920.0;

// Every character both ways: "I" and its two-character answer, then the operation's own.
double floorSeconds(const char* op, int size)
{
    const int blocks = size / 32;
    double chars = 3; // identification
    if (std::string(op) == "WRITE")
        chars += 1 + blocks * (1 + 64) + 1; // "W", per block "Q" and 64 characters, the status
    else
        chars += 1 + blocks * (1 + 64) + 1; // "R", per block "T" and 64 characters, the status
    return chars / kCharsPerSecond;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::printf("%-6s %-10s %9s %9s %8s %8s  %s\n", "op", "chip", "wall s", "floor s", "ratio", "CPU %", "result");
    for (const auto& [chip, size] : {std::pair{"AT89C2051", 2048}, std::pair{"AT89C55WD", 20480}}) {
        QProcess board;
        board.start(BRINDLE_BOARD_EXE, {"--chip", chip, "--pace"});
        if (!board.waitForReadyRead(10000)) {
            std::fprintf(stderr, "brindle-board did not start\n");
            return 1;
        }
        const QString path = QString::fromLocal8Bit(board.readLine()).trimmed();

        QuietPanel panel;
        const std::unique_ptr<platform::Port> port = platform::makeSystemPort({path, QString()});
        SerialLink link(*port, panel, &panel);
        image::HexGrid grid;
        image::CodeBuffer buffer;
        for (int a = 0; a < size; ++a)
            buffer[a] = static_cast<std::uint8_t>(a * 7);
        grid.redraw(buffer);
        Session session{0, size};
        BoardOps ops(link, panel, &panel, grid, session);

        for (const char* op : {"WRITE", "VERIFY", "READ"}) {
            link.beginAction();
            const auto wall0 = std::chrono::steady_clock::now();
            const std::clock_t cpu0 = std::clock();
            const Outcome outcome = op[0] == 'W' ? ops.program() : op[0] == 'V' ? ops.verify() : ops.read();
            const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
            const double floor = floorSeconds(op, size);
            std::printf("%-6s %-10s %9.3f %9.3f %8.4f %8.2f  %s %s\n", op, chip, wall, floor, wall / floor,
                        100.0 * cpu / wall, panel.lastLog.c_str(), std::string(resultName(outcome.result)).c_str());
        }
        board.terminate();
        board.waitForFinished(3000);
    }
    return 0;
}
