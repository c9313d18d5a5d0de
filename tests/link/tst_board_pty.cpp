// The board operations through the real serial code against the simulated board on a
// pseudo-terminal, and a port held by another process.
#include "link_rig.h"

#include "pty_board.h"

#include <QProcess>

using namespace brindle;
using namespace brindle::link::test;

class TestBoardPty : public QObject {
    Q_OBJECT

private slots:
    void operation_data() { addOpRows(); }

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
};

QTEST_GUILESS_MAIN(TestBoardPty)
#include "tst_board_pty.moc"
