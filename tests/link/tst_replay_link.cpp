// A bench problem brought to the desk: a run of the board operations traced through the real
// serial code, then the simulated board answering from that trace alone.
#include "link_rig.h"

#include "pty_board.h"
#include "stderr_to_file.h"
#include "trace_replay.h"

#include <mutex>

using namespace brindle;
using namespace brindle::link::test;

namespace {

// WRITE of a 2 KB image, every byte the given one.
void writeAll(OpRig& rig, const char* byte)
{
    for (int row = 1; row <= 128; ++row)
        for (int column = 1; column <= 16; ++column)
            rig.grid.setText(row, column, byte);
    rig.programLength = 2048;
    (void)rig.ops.program(); // judged by what the panel was told
}

} // namespace

class TestReplayLink : public QObject {
    Q_OBJECT

private slots:
    // A chip programmed once and written again without an erase: the second WRITE fails with
    // "w" at its first block. The replay must lead the program to the same failure.
    void failedWriteReplayed()
    {
        QTemporaryDir dir;
        const QString tracePath = dir.filePath("trace.txt");
        board::PtyBoard bench;
        std::string error;
        board::BoardOptions o;
        o.chip = "AT89C2051";
        QVERIFY2(bench.start(o, &error), error.c_str());
        // Limits far beyond the recorded delays, so a loaded machine cannot turn a late reply
        // in the replay into a silence that the bench run did not see.
        const std::chrono::milliseconds generous(2000);
        OpRig recorded(bench.devicePath());
        recorded.link.setTimeout(generous);
        recorded.link.setTrace(true);
        {
            const StderrToFile trace(tracePath);
            writeAll(recorded, "00");
            writeAll(recorded, "A5");
        }
        const Events refused{logged("Write Error !"),
                             box(link::Icon::Exclamation, "", "Write ERROR\n\nThe board refused block 0000H (\"w\"): the chip may not be erased."),
                             closed, beeped};
        QVERIFY2(recorded.panel.events.size() > 4 && matchAll(refused, Events(recorded.panel.events.end() - 4, recorded.panel.events.end())),
                 qPrintable(shown(recorded.panel.events)));

        QFile file(tracePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const board::ParsedTrace trace = board::parseTrace(file.readAll().toStdString());
        QVERIFY2(trace.error.empty(), trace.error.c_str());

        // The board answering from the trace alone, and what it tells the operator.
        std::mutex mutex;
        QStringList notices;
        const auto told = [&] { const std::lock_guard<std::mutex> lock(mutex); return notices.join('|'); };
        board::PtyBoard desk;
        QVERIFY2(desk.startReplay(trace.exchanges, [&](const std::string& line) {
            const std::lock_guard<std::mutex> lock(mutex);
            notices << QString::fromStdString(line);
        }, &error), error.c_str());
        OpRig replayed(desk.devicePath());
        replayed.link.setTimeout(generous);
        writeAll(replayed, "00");
        writeAll(replayed, "A5");
        QCOMPARE(shown(replayed.panel.events), shown(recorded.panel.events));
        QCOMPARE(replayed.port.wire, recorded.port.wire);
        QCOMPARE(replayed.panel.title, QString("w"));
        QTRY_VERIFY2_WITH_TIMEOUT(told() == QString("replay: all %1 exchanges of the trace answered").arg(trace.exchanges.size()),
                                  qPrintable("the replay's end notice; told: " + told()), 5000);
    }

    // The replay answers at the recorded delays: an erase that took 700 ms on the bench takes
    // as long at the desk (a lower bound only, which a loaded machine cannot break).
    void recordedDelaysKept()
    {
        QTemporaryDir dir;
        const QString tracePath = dir.filePath("trace.txt");
        board::BoardOptions o;
        o.eraseDelayMs = 700;
        board::PtyBoard bench;
        std::string error;
        QVERIFY2(bench.start(o, &error), error.c_str());
        OpRig recorded(bench.devicePath());
        recorded.link.setTimeout(std::chrono::milliseconds(3000));
        recorded.link.setTrace(true);
        {
            const StderrToFile trace(tracePath);
            QVERIFY(recorded.ops.erase().ok());
        }
        QFile file(tracePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const board::ParsedTrace trace = board::parseTrace(file.readAll().toStdString());
        QVERIFY2(trace.error.empty(), trace.error.c_str());
        board::PtyBoard desk;
        QVERIFY2(desk.startReplay(trace.exchanges, [](const std::string&) {}, &error), error.c_str());
        OpRig replayed(desk.devicePath());
        replayed.link.setTimeout(std::chrono::milliseconds(3000));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(replayed.ops.erase().ok());
        QCOMPARE_GE(clock.elapsed(), 650);
    }
};

QTEST_GUILESS_MAIN(TestReplayLink)
#include "tst_replay_link.moc"
