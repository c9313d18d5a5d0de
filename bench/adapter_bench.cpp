// WRITE, VERIFY and READ of a whole AT89S52 (8 KB) against the simulated board at line rate
// behind each USB adapter model, against the 19200-baud floor: as the program does them, one
// exchange per block, and as it would do them if it sent every block without waiting for the
// board's reply (which the board's protocol does not allow; the difference is what waiting costs).
#include "board_ops.h"
#include "quiet_panel.h"
#include "serial_link.h"
#include "system_port.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <functional>

using namespace brindle;
using namespace brindle::link;
using bench::QuietPanel;

namespace {

constexpr int kSize = 8192;
constexpr int kBlocks = kSize / 32;
constexpr double kCharsPerSecond = 1920.0;
// "I" and its two-character answer, the command letter, per block 65 characters, the status.
constexpr double kFloorSeconds = (3 + 1 + kBlocks * 65 + 1) / kCharsPerSecond;

struct Rig {
    SerialLink& link;
    BoardOps& ops;
    image::HexGrid& grid;
};

// "W", every block at once, then the board's 257 replies.
bool writeWithoutWaiting(Rig& rig)
{
    (void)rig.ops.reset();
    if (!rig.link.open())
        return false;
    rig.link.output("W");
    for (int row = 1; row <= 2 * kBlocks; ++row)
        for (int column = 1; column <= image::kBytesPerRow; ++column)
            rig.link.output(rig.grid.text(row, column));
    bool ok = true;
    for (int reply = 0; reply <= kBlocks && ok; ++reply) {
        // A reply holds everything that had arrived; the letters after the first are carried to
        // the next one.
        ok = rig.link.serialinput(1, Work::Program).text.substr(0, 1) == (reply < kBlocks ? "Q" : "W");
    }
    rig.link.close();
    return ok;
}

// "R" and every "T" at once, then the blocks and the status; with `compare`, each block is
// checked against the grid as VERIFY does.
bool readWithoutWaiting(Rig& rig, bool compare)
{
    (void)rig.ops.reset();
    if (!rig.link.open())
        return false;
    rig.link.output("R" + std::string(kBlocks, 'T'));
    bool ok = true;
    for (int block = 0; block < kBlocks && ok; ++block) {
        const std::string data = rig.link.serialinput(64).text;
        ok = data.size() >= 64;
        for (int cell = 0; cell < 32 && ok && compare; ++cell)
            ok = data.compare(std::size_t(2 * cell), 2, rig.grid.text(2 * block + 1 + cell / 16, 1 + cell % 16)) == 0;
    }
    ok = ok && rig.link.serialinput(1).text.substr(0, 1) == "R";
    rig.link.close();
    return ok;
}

double seconds(const std::function<void()>& run)
{
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // NAME or ftdi:MS, as brindle-board's --adapter and --latency-ms take them.
    QStringList adapters = app.arguments().mid(1);
    if (adapters.isEmpty())
        adapters = {"none", "ftdi:16", "ftdi:1", "ch340"};
    std::printf("floor (19200 baud, every character both ways): %.3f s\n\n", kFloorSeconds);
    std::printf("%-8s %-7s %12s %8s %12s %8s  %s\n", "adapter", "op", "lock-step s", "span %", "no wait s",
                "span %", "result");
    for (const QString& adapter : adapters) {
        QStringList args{"--chip", "AT89S52", "--pace", "--adapter", adapter.section(':', 0, 0)};
        if (adapter.contains(':'))
            args << "--latency-ms" << adapter.section(':', 1);
        QProcess board;
        board.start(BRINDLE_BOARD_EXE, args);
        if (!board.waitForReadyRead(10000)) {
            std::fprintf(stderr, "brindle-board %s did not start: %s\n", qPrintable(args.join(' ')),
                         board.readAllStandardError().constData());
            return 1;
        }
        const QString path = QString::fromLocal8Bit(board.readLine()).trimmed();

        QuietPanel panel;
        const std::unique_ptr<platform::Port> port = platform::makeSystemPort({path, QString()});
        SerialLink link(*port, panel, &panel);
        image::HexGrid grid;
        image::CodeBuffer buffer;
        for (int a = 0; a < kSize; ++a)
            buffer[a] = static_cast<std::uint8_t>(a * 7 + 1);
        grid.redraw(buffer);
        Session session{0, kSize};
        BoardOps ops(link, panel, &panel, grid, session);
        Rig rig{link, ops, grid};

        for (const char* op : {"WRITE", "VERIFY", "READ"}) {
            const char kind = op[0];
            link.beginAction();
            if (kind == 'W')
                (void)ops.erase();
            const double lockStep = seconds([&] {
                link.beginAction();
                if (kind == 'W')
                    (void)ops.program();
                else if (kind == 'V')
                    (void)ops.verify();
                else
                    (void)ops.read();
            });
            const std::string result = panel.lastLog;
            link.beginAction();
            if (kind == 'W')
                (void)ops.erase();
            bool ok = false;
            const double noWait = seconds([&] {
                link.beginAction();
                ok = kind == 'W' ? writeWithoutWaiting(rig) : readWithoutWaiting(rig, kind == 'V');
            });
            std::printf("%-8s %-7s %12.3f %8.1f %12.3f %8.1f  %s%s\n", qPrintable(adapter), op, lockStep,
                        100.0 * (lockStep / kFloorSeconds - 1), noWait, 100.0 * (noWait / kFloorSeconds - 1),
                        result.c_str(), ok ? "" : "; without waiting: FAILED");
            std::fflush(stdout);
        }
        board.terminate();
        board.waitForFinished(3000);
    }
    return 0;
}
