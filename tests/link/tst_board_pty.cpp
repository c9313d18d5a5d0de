// The board operations through the real serial code against the simulated board on a
// pseudo-terminal: what a real tty adds (hang-up, the reply limits), a port held by another
// process, and a traced run replayed.
#include "link_rig.h"

#include "pty_board.h"
#include "stderr_to_file.h"
#include "trace_replay.h"

#include <QProcess>

#include <mutex>

using namespace brindle;
using namespace brindle::link::test;

namespace {

bool started(board::PtyBoard& board, const board::BoardOptions& options)
{
    std::string error;
    const bool ok = board.start(options, &error);
    if (!ok)
        qWarning("the board did not start: %s", error.c_str());
    return ok;
}

} // namespace

class TestBoardPty : public QObject {
    Q_OBJECT

private slots:
    // The real port's hang-up, during a write and during a verify's read: the port closes
    // itself, and the operation says so instead of waiting out a limit on a dead device.
    void hangUp()
    {
        board::BoardOptions options = onChip("21");
        options.hangUpAfterBlocks = 3;
        for (const link::Operation op : {link::Operation::Write, link::Operation::Verify}) {
            board::PtyBoard board;
            QVERIFY(started(board, options));
            OpRig rig(board.devicePath());
            rig.programLength = 2048;
            const link::Outcome outcome = runOperation(rig.ops, op);
            QCOMPARE(nameOf(outcome.result), QString("hung-up"));
            QCOMPARE(outcome.bytesDone, 96);
            QCOMPARE(rig.panel.title, QString("The programmer on COM1 (DEV) was disconnected"));
        }
    }

    // The reply limits follow the board's work: a slow erase is waited for, a silent board is
    // found out fast. The bounds are far above what the operations need (about 0.6 s, 2.6 s
    // for ERASE) and far below what a single fixed limit of seconds per reply gave.
    void replyLimits()
    {
        board::BoardOptions slowErase;
        slowErase.eraseDelayMs = 1200; // more than a block's allowance, well within an erase's
        board::PtyBoard erasing;
        QVERIFY(started(erasing, slowErase));
        OpRig slow(erasing.devicePath());
        QElapsedTimer clock;
        clock.start();
        QVERIFY(slow.ops.erase().ok());
        QCOMPARE_GE(clock.elapsed(), 1200); // the board did take its time

        // A block's programming is waited for, the write's first answer is not: here 1.8 s,
        // between the two allowances scaled by 4 (1.2 s and 2.4 s).
        board::BoardOptions slowBlocks;
        slowBlocks.blockDelayMs = 1800;
        board::PtyBoard programming;
        QVERIFY(started(programming, slowBlocks));
        OpRig writer(programming.devicePath());
        writer.link.setTimeoutScale(4);
        writer.programLength = 64;
        clock.restart();
        QCOMPARE(nameOf(writer.ops.program().result), QString("ok"));
        QCOMPARE_GE(clock.elapsed(), 1800);

        board::BoardOptions silent;
        silent.silentAfter = 'I';
        board::PtyBoard quiet;
        QVERIFY(started(quiet, silent));
        OpRig unanswered(quiet.devicePath());
        clock.restart();
        QCOMPARE(unanswered.ops.erase().result, link::Result::NoAnswer);
        QCOMPARE_LT(clock.elapsed(), 3000);

        // stop() wakes a board in the middle of a ten-minute erase.
        board::BoardOptions endless;
        endless.eraseDelayMs = 600000;
        board::PtyBoard busy;
        QVERIFY(started(busy, endless));
        OpRig impatient(busy.devicePath());
        impatient.link.setTimeout(std::chrono::milliseconds(300));
        QCOMPARE(impatient.ops.erase().result, link::Result::NoAnswer);
        busy.stop();
        QVERIFY(!busy.isServing());
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
        QVERIFY(started(board, {}));
        QProcess holder;
        holder.start(program, QStringList{QString::fromStdString(board.devicePath())} + args);
        QVERIFY2(holder.waitForReadyRead(10000), "waited 10 s for the holder to hold the port");
        QCOMPARE(holder.readLine(), QByteArray("held\n"));
        OpRig rig(board.devicePath());
        const link::Result result = rig.ops.blank().result;
        holder.closeWriteChannel(); // the holder ends when its input closes
        QVERIFY(holder.waitForFinished(10000));
        QCOMPARE(result, link::Result::PortError);
        QVERIFY2(matchAll({box(link::Icon::Critical, "PORT", "Cannot open COM1 (DEV): ")}, rig.panel.events)
                     && rig.panel.events[0].text.contains("Close the other program"),
                 shown(rig.panel.events).constData());
    }

    // A bench run traced (a 700 ms erase, then a WRITE whose first block fails), then the board
    // answering from the trace alone: the same failure, at the recorded delays.
    void failedWriteReplayedAtItsDelays()
    {
        QTemporaryDir dir;
        const QString tracePath = dir.filePath("trace.txt");
        board::BoardOptions o = onChip("AT89C2051");
        o.eraseDelayMs = 700;
        o.failBlock = 0;
        board::PtyBoard bench;
        QVERIFY(started(bench, o));
        // Limits far beyond the recorded delays, so a loaded machine cannot turn a late reply
        // in the replay into a silence that the bench run did not see.
        const std::chrono::milliseconds generous(3000);
        const auto run = [&](OpRig& rig) {
            rig.link.setTimeout(generous);
            QVERIFY(rig.ops.erase().ok());
            rig.programLength = 2048;
            QCOMPARE(rig.ops.program().result, link::Result::ChipFailed);
        };
        OpRig recorded(bench.devicePath());
        recorded.link.setTrace(true);
        {
            const StderrToFile trace(tracePath);
            run(recorded);
        }
        QFile file(tracePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const board::ParsedTrace trace = board::parseTrace(file.readAll().toStdString());
        QVERIFY2(trace.error.empty(), trace.error.c_str());

        std::mutex mutex;
        QStringList notices;
        const auto told = [&] { const std::lock_guard<std::mutex> lock(mutex); return notices.join('|'); };
        board::PtyBoard desk;
        std::string error;
        QVERIFY2(desk.startReplay(trace.exchanges, [&](const std::string& line) {
            const std::lock_guard<std::mutex> lock(mutex);
            notices << QString::fromStdString(line);
        }, &error), error.c_str());
        OpRig replayed(desk.devicePath());
        QElapsedTimer clock;
        clock.start();
        run(replayed);
        QCOMPARE_GE(clock.elapsed(), 650);
        QVERIFY2(replayed.panel.events == recorded.panel.events, shown(replayed.panel.events).constData());
        QCOMPARE(replayed.panel.title, QString("w"));
        QTRY_VERIFY2_WITH_TIMEOUT(told() == QString("replay: all %1 exchanges of the trace answered").arg(trace.exchanges.size()),
                                  qPrintable("the replay's end notice; told: " + told()), 5000);
    }
};

QTEST_GUILESS_MAIN(TestBoardPty)
#include "tst_board_pty.moc"
