// The board operations through the real serial code against the simulated board on a
// pseudo-terminal, a port held by another process, and a traced run replayed.
#include "link_rig.h"

#include "pty_board.h"
#include "stderr_to_file.h"
#include "trace_replay.h"

#include <QProcess>

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

class TestBoardPty : public QObject {
    Q_OBJECT

private slots:
    // The full table runs on the scripted port; here the rows the real serial code adds to:
    // a smoke row, silence, a hang-up, reads as they fall, a missing device.
    void operation_data()
    {
        const QStringList rows{"reset AT89C51", "erase silent", "write 2 KB", "write hang-up", "verify hang-up",
                               "read lower case", "read short block", "write"};
        OpRow::only = &rows;
        addOpRows();
        OpRow::only = nullptr;
    }

    void operation()
    {
        QFETCH(OpCase, c);
        board::PtyBoard board;
        std::string error;
        QVERIFY2(board.start(c.board, &error), error.c_str());
        OpRig rig(c.absent ? "/dev/brindle-absent" : board.devicePath());
        prepare(rig, c);
        runRow(rig, c);
    }

    // A letter too many behind a read's status, in a read of its own a moment later: the same
    // fault gets the same name in every run, however the reads fall.
    void oneNameEveryRun()
    {
        board::BoardOptions options;
        options.chip = "AT89C1051"; // the smallest chip: a paced read of it takes about a second
        options.pacing = true;
        options.readStatus = "RR";
        board::PtyBoard board;
        std::string error;
        QVERIFY2(board.start(options, &error), error.c_str());
        QStringList names;
        for (int run = 0; run < 20; ++run) {
            OpRig rig(board.devicePath());
            rig.link.setTimeout(std::chrono::milliseconds(0)); // the limits by the board's work
            names << nameOf(rig.ops.read().result);
        }
        QCOMPARE(names, QStringList(20, "bad-reply"));
    }

    // The reply limits follow the board's work: a slow erase is waited for, a silent board is
    // found out fast. The bounds are far above what the operations need (about 0.6 s, 2.3 s
    // for ERASE) and far below what a single fixed limit of seconds per reply gave.
    void replyLimits()
    {
        board::BoardOptions slowErase;
        slowErase.eraseDelayMs = 1200; // more than a block's allowance, well within an erase's
        board::PtyBoard board;
        std::string error;
        QVERIFY2(board.start(slowErase, &error), error.c_str());
        OpRig slow(board.devicePath());
        slow.link.setTimeout(std::chrono::milliseconds(0)); // the limits by the board's work
        QVERIFY(slow.ops.erase().ok());

        // A block's programming is waited for, the write's first answer is not: here 1.8 s,
        // between the two allowances scaled by 4 (1.2 s and 2.4 s).
        board::BoardOptions slowBlocks;
        slowBlocks.blockDelayMs = 1800;
        board::PtyBoard programming;
        QVERIFY2(programming.start(slowBlocks, &error), error.c_str());
        OpRig writer(programming.devicePath());
        writer.link.setTimeout(std::chrono::milliseconds(0));
        writer.link.setTimeoutScale(4);
        writer.programLength = 64;
        QCOMPARE(nameOf(writer.ops.program().result), QString("ok"));

        board::BoardOptions silent;
        silent.silentAfter = 'I';
        board::PtyBoard quiet;
        QVERIFY2(quiet.start(silent, &error), error.c_str());
        link::Result result = link::Result::Ok;
        const auto timed = [&](auto operation) {
            OpRig rig(quiet.devicePath());
            rig.link.setTimeout(std::chrono::milliseconds(0));
            QElapsedTimer clock;
            clock.start();
            result = operation(rig).result;
            return clock.elapsed();
        };
        QCOMPARE_LT(timed([](OpRig& r) { return r.ops.blank(); }), 3000);
        QCOMPARE(result, link::Result::NoAnswer);
        QCOMPARE_LT(timed([](OpRig& r) { return r.ops.verify(); }), 3000);
        QCOMPARE(result, link::Result::NoAnswer);
        QCOMPARE_LT(timed([](OpRig& r) { return r.ops.lock(true, true, true); }), 3000);
        QCOMPARE(result, link::Result::NoAnswer);
        QCOMPARE_LT(timed([](OpRig& r) { return r.ops.erase(); }), 5000);
        QCOMPARE(result, link::Result::NoAnswer);
    }

    // Another program holds the port: one that opens it as this program does (lock file and
    // exclusive open), or one that only locks the device itself (flock).
    void portHeldByAnotherProcess_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("a serial port program") << QCoreApplication::applicationDirPath() + "/link_port_holder" << QStringList();
        QTest::newRow("a program locking the device") << "flock" << QStringList{"sh", "-c", "echo held; cat"};
    }
    void portHeldByAnotherProcess()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        board::PtyBoard board;
        std::string error;
        QVERIFY2(board.start({}, &error), error.c_str());
        QProcess holder;
        holder.start(program, QStringList{QString::fromStdString(board.devicePath())} + args);
        QVERIFY2(holder.waitForReadyRead(10000), "waited 10 s for the holder to hold the port");
        QCOMPARE(holder.readLine(), QByteArray("held\n"));
        OpRig rig(board.devicePath());
        const link::Result result = rig.ops.blank().result;
        holder.closeWriteChannel(); // the holder ends when its input closes
        QVERIFY(holder.waitForFinished(10000));
        QCOMPARE(result, link::Result::PortError);
        QVERIFY2(rig.panel.events.size() == 1 && box(link::Icon::Critical, "PORT", "Cannot open COM1 (DEV): ").matches(rig.panel.events[0])
                     && rig.panel.events[0].text.find("Close the other program") != std::string::npos,
                 qPrintable(shown(rig.panel.events)));
        QCOMPARE(rig.port.wire, std::string());
    }

    // A bench run traced (a 700 ms erase, then a WRITE over a written chip failing with "w"),
    // then the board answering from the trace alone: the same failure, at the recorded delays.
    void failedWriteReplayedAtItsDelays()
    {
        QTemporaryDir dir;
        const QString tracePath = dir.filePath("trace.txt");
        board::PtyBoard bench;
        std::string error;
        board::BoardOptions o;
        o.chip = "AT89C2051";
        o.eraseDelayMs = 700;
        QVERIFY2(bench.start(o, &error), error.c_str());
        // Limits far beyond the recorded delays, so a loaded machine cannot turn a late reply
        // in the replay into a silence that the bench run did not see.
        const std::chrono::milliseconds generous(3000);
        OpRig recorded(bench.devicePath());
        recorded.link.setTimeout(generous);
        recorded.link.setTrace(true);
        {
            const StderrToFile trace(tracePath);
            QVERIFY(recorded.ops.erase().ok());
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
        QElapsedTimer clock;
        clock.start();
        QVERIFY(replayed.ops.erase().ok());
        QCOMPARE_GE(clock.elapsed(), 650);
        writeAll(replayed, "00");
        writeAll(replayed, "A5");
        QCOMPARE(shown(replayed.panel.events), shown(recorded.panel.events));
        QCOMPARE(replayed.port.wire, recorded.port.wire);
        QCOMPARE(replayed.panel.title, QString("w"));
        QTRY_VERIFY2_WITH_TIMEOUT(told() == QString("replay: all %1 exchanges of the trace answered").arg(trace.exchanges.size()),
                                  qPrintable("the replay's end notice; told: " + told()), 5000);
    }
};

QTEST_GUILESS_MAIN(TestBoardPty)
#include "tst_board_pty.moc"
