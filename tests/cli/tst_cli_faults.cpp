// brindle-cli where the trouble is around the board: a full file system, a stop signal, one
// board under two names; and brindle-board given something that is no trace.
#include "cli_process.h"

#include "port_advice.h"

#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace brindle;
using namespace brindle::cli::test;

namespace {

// Waits until brindle-cli's trace shows what `seen` looks for; false when it did not within 20 s.
bool waitForTrace(QProcess& cli, const std::function<bool(const QString&)>& seen)
{
    cli.setReadChannel(QProcess::StandardError);
    QString trace;
    QDeadlineTimer deadline(20000);
    while (!seen(trace) && !deadline.hasExpired() && cli.state() != QProcess::NotRunning) {
        cli.waitForReadyRead(int(std::clamp<qint64>(deadline.remainingTime(), 1, 100)));
        trace += QString::fromUtf8(cli.readAllStandardError());
    }
    return seen(trace);
}
// The board's second "Q": it asks for the second block of a write.
bool secondBlockAsked(const QString& trace) { return trace.count(QRegularExpression(QStringLiteral("< 51 +\\|Q\\|"))) >= 2; }

// Every lock file kept for the device, by Qt's name for it ("LCK..pts_3") or by its number;
// empty: none is left.
QStringList lockFilesOf(const QString& device)
{
    struct stat st {};
    if (::stat(qPrintable(device), &st) != 0)
        return {"cannot stat " + device};
    QStringList left;
    for (const std::string& folder : platform::defaultLockFolders())
        for (const QString& name : {"LCK.." + device.mid(5).replace('/', '_'),
                                    QString("LCK.brindle.dev.%1.%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev))})
            if (QFile::exists(QString::fromStdString(folder) + '/' + name))
                left << QString::fromStdString(folder) + '/' + name;
    return left;
}

bool ownMountsAllowed() { return QProcess::execute("unshare", {"--mount", "true"}) == 0; }

// What runs a program in a mount namespace of its own after the shell lines `setup`, which may
// use $1 .. for `paths`: startCli's `program`.
QStringList inOwnMounts(const QString& setup, const QStringList& paths)
{
    return QStringList{"unshare", "--mount", "sh", "-c", setup + " && shift " + QString::number(paths.size()) + " && exec \"$@\"", "sh"}
           + paths;
}

} // namespace

struct StopCase {
    std::vector<std::string> board;
    QStringList args;  // brindle-cli's, before -p and --log
    QString sent;      // the command's byte the board is waiting on, once sent; empty: a write's second block asked for
    int signal = 0;
    int second = 0;    // a second signal right behind the first; another, so that the two cannot merge
    QString says;      // the step's line, a pattern
};
Q_DECLARE_METATYPE(StopCase)

struct FullDiskCase {
    QStringList args;  // OUT is the file the run writes: read's, or the record
    QByteArray before; // OUT's content beforehand
    int room = 0;      // bytes a file may grow past OUT's old length; -1: no limit
    QString says;      // the line that tells what failed, OUT standing for the path
    QString done;      // the board's work, reported before
};
Q_DECLARE_METATYPE(FullDiskCase)

class TestCliFaults : public QObject {
    Q_OBJECT

    JobFiles files_;
    const QTemporaryDir& dir_ = files_.dir;

private slots:

    // The process may not make files longer than OUT's old length plus room: a file system
    // that fills up. The file read writes is replaced whole or not at all, a record line is
    // added whole or not at all, and either failure is exit 3 once the board's work is told.
    void fullFileSystem_data()
    {
        QTest::addColumn<FullDiskCase>("c");
        const QByteArray line = "{\"step\":\"identify\"}\n";
        const QString full = "Cannot add the identify line to the record OUT: ";
        // The file system's limit is a signal (SIGXFSZ) too, which must not end the program.
        QTest::newRow("read, a 2 KB chip's HEX held in the write buffer")
            << FullDiskCase{{"--simulate=AT89C2051", "read", "OUT"}, "old\n", 100, "read: Cannot write OUT: File too large.", ""};
        QTest::newRow("record filling up mid-line")
            << FullDiskCase{{"--simulate", "--log", "OUT", "identify"}, line, 100, full + "File too large.", "identify: AT89S52"};
        QTest::newRow("record on a full device")
            << FullDiskCase{{"--simulate", "--log", "/dev/full", "identify"}, {}, -1, "Cannot add the identify line to the record "
                                                                         "/dev/full: No space left on device.", "identify: AT89S52"};
    }
    void fullFileSystem()
    {
        QFETCH(FullDiskCase, c);
        QTemporaryDir dir;
        const QString out = writeFile(dir, "out.hex", c.before);
        QProcess process;
        if (c.room >= 0) {
            const rlim_t limit = rlim_t(c.before.size() + c.room);
            process.setChildProcessModifier([limit] {
                const rlimit r{limit, limit};
                ::setrlimit(RLIMIT_FSIZE, &r);
            });
        }
        startCli(process, QStringList{"--no-pace"} + c.args.replaceInStrings("OUT", out));
        const Run run = finishCli(process);
        QVERIFY2(run.exitCode == 3 && run.contains(QString(c.says).replace("OUT", out)) && run.out.contains(c.done), run.what());
        QVERIFY2(!run.err.contains("QIODevice") && !run.err.contains("QFile"), run.what()); // no toolkit warnings
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), c.before);
    }

    // A stop signal while the board works or is waited for (a write, an erase, a silent board, a
    // blank check) ends the job at once as interrupted, with its line and record, the port's
    // locks gone and 128 + the signal's number; a second signal right behind the first leaves
    // no lock either. A write stops between blocks: the chip holds just the bytes reported.
    void stopSignal_data()
    {
        QTest::addColumn<StopCase>("c");
        QTest::newRow("Ctrl-C mid-write")
            << StopCase{{"--pace", "--chip", "AT89C2051"}, {"write", "FULL"}, "", SIGINT, 0,
                        "write: interrupted after (\\d+) bytes: Stopped before the block at ([0-9A-F]{4})H"};
        QTest::newRow("Ctrl-C while a silent board is given ten times longer")
            << StopCase{{"--silent-after", "I"}, {"--reply-timeout-scale", "10", "identify"}, "49", SIGINT, 0,
                        "identify: interrupted: Stopped while waiting for the identification."};
        QTest::newRow("SIGHUP during a blank check")
            << StopCase{{"--silent-after", "N"}, {"blank"}, "4E", SIGHUP, 0, "blank: interrupted: Stopped during the blank check."};
        QTest::newRow("SIGTERM, then Ctrl-C, during an erase") << StopCase{{"--erase-ms", "3000"}, {"erase"}, "53", SIGTERM, SIGINT, ""};
    }
    void stopSignal()
    {
        QFETCH(StopCase, c);
        const auto b = startBoard(c.board);
        const QString log = dir_.filePath(QString("stop-%1.log").arg(QTest::currentDataTag()));
        QProcess cli;
        startCli(cli, files_.expand(c.args) + QStringList{"-p", pathOf(*b), "--log", log}, true);
        const auto sent = [&c](const QString& trace) { return c.sent.isEmpty() ? secondBlockAsked(trace) : sentBytes(trace).contains(c.sent); };
        QVERIFY2(waitForTrace(cli, sent), "waited 20 s for the command to go out");
        QElapsedTimer sinceSignal;
        sinceSignal.start();
        ::kill(pid_t(cli.processId()), c.signal);
        if (c.second)
            ::kill(pid_t(cli.processId()), c.second);
        QVERIFY2(cli.waitForFinished(10000), "waited 10 s for the end after the signal");
        // Far above the 100 ms it takes; a reply limit (3 s and more here) would show.
        QCOMPARE_LT(sinceSignal.elapsed(), 1500);
        QCOMPARE(lockFilesOf(pathOf(*b)), QStringList());
        if (c.second)
            return; // ended at once by the second signal, record or not
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 128 + c.signal);
        const QString out = QString::fromUtf8(cli.readAllStandardOutput());
        const QRegularExpressionMatch said = QRegularExpression(c.says).match(out);
        QVERIFY2(said.hasMatch(), qPrintable(out));
        QFile record(log);
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QJsonObject last = jsonLines(record.readAll()).last();
        QCOMPARE(last["step"].toString(), c.says.section(':', 0, 0));
        QCOMPARE(last["result"].toString(), QString("interrupted"));
        QCOMPARE(last["exitCode"].toInt(), 128 + c.signal);
        if (!c.sent.isEmpty())
            return;
        const int written = said.captured(1).toInt();
        QVERIFY(written > 0 && written < 2048);
        QCOMPARE(said.captured(2).toInt(nullptr, 16), written);
        const QString chip = dir_.filePath("after-stop.bin");
        const Run next = runCli({"-p", pathOf(*b), "read", chip});
        QVERIFY2(next.exitCode == 0, next.what());
        QFile read(chip);
        QVERIFY(read.open(QIODevice::ReadOnly));
        QCOMPARE(read.readAll(), imageBytes(written, 7, 2048));
    }

    // A file the job cannot have is refused at once, before the board is worked: a pipe no
    // program reads (or writes, as write's file), whose open would wait for ever and take no
    // signal; read's file on a read-only file system.
    void refusedBeforeTheBoard_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::newRow("--log, a pipe") << QStringList{"--log", "PIPE", "identify"} << "Cannot open the record PIPE: no program is reading PIPE.";
        QTest::newRow("read's file, a pipe") << QStringList{"read", "PIPE"} << "read: Cannot write PIPE: no program is reading PIPE.";
        QTest::newRow("write's binary file, a pipe") << QStringList{"--format", "bin", "write", "PIPE"}
                                                     << "Cannot read PIPE: it is not a regular file.";
        QTest::newRow("read's file, read-only") << QStringList{"read", "READONLY/chip.hex"} << "read: Cannot write READONLY/chip.hex: ";
    }
    void refusedBeforeTheBoard()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        const bool readOnly = args.last().startsWith("READONLY");
        if (readOnly && !ownMountsAllowed())
            QSKIP("no mount namespace of its own here");
        const auto b = startBoard();
        QTemporaryDir dir;
        const QString pipe = dir.filePath("pipe");
        QVERIFY(::mkfifo(qPrintable(pipe), 0600) == 0);
        for (const auto& [name, path] : {std::pair{QString("READONLY"), dir.path()}, {QString("PIPE"), pipe}})
            args.replaceInStrings(name, path), says.replace(name, path);
        QProcess cli;
        startCli(cli, QStringList{"-p", pathOf(*b)} + args, true,
                 readOnly ? inOwnMounts("mount -t tmpfs -o ro brindle-ro \"$1\"", {dir.path()}) : QStringList());
        const Run run = finishCli(cli);
        QVERIFY2(run.exitCode == 3 && run.contains(says), run.what());
        QVERIFY2(sentBytes(run.err).isEmpty(), run.what());
    }

    // One board under two names: in one job refused before anything is sent; used by two
    // programs at once, the second is refused whatever name it uses.
    void oneBoardUnderTwoNames_data()
    {
        QTest::addColumn<QString>("alias");
        QTest::newRow("a link to it") << "link";
        QTest::newRow("another node of its device number") << "node";
        QTest::newRow("a bind mount of it") << "bind";
    }
    void oneBoardUnderTwoNames()
    {
        QFETCH(QString, alias);
        const bool bind = alias == "bind"; // seen by the second program only: the job's own check is not asked
        if (bind && !ownMountsAllowed())
            QSKIP("no mount namespace of its own here");
        const auto b = startBoard({"--pace"});
        const QString device = pathOf(*b);
        QTemporaryDir dir;
        QString other = writeFile(dir, alias, {});
        if (alias == "link") {
            QVERIFY(QFile::remove(other) && QFile::link(device, other));
        } else if (alias == "node") {
            struct stat st {};
            QVERIFY(::stat(qPrintable(device), &st) == 0 && QFile::remove(other));
            if (::mknod(qPrintable(other), S_IFCHR | 0600, st.st_rdev) != 0)
                QSKIP("making a device node needs root");
        }
        if (!bind) {
            const Run both = runCli({"-p", device, "-p", other, "identify"}, true);
            QVERIFY2(both.exitCode == 2 && both.err.contains("-p " + device + " and -p " + other + " are one device"), both.what());
            QVERIFY2(sentBytes(both.err).isEmpty(), both.what());
            if (alias == "node")
                return; // a pseudo-terminal opens only through its own file system: the bind mount stands in
        }
        QProcess writer, cli;
        startCli(writer, {"-p", device, "write", files_["BIG"]}, true);
        QVERIFY2(waitForTrace(writer, secondBlockAsked), "waited 20 s for the first program's write to get under way");
        startCli(cli, {"-p", other, "identify"}, true, bind ? inOwnMounts("mount --bind \"$1\" \"$2\"", {device, other}) : QStringList());
        const Run refused = finishCli(cli);
        const qint64 pid = writer.processId();
        ::kill(pid_t(pid), SIGINT);
        QVERIFY2(writer.waitForFinished(10000), "waited 10 s for the first program to end after Ctrl-C");
        QVERIFY2(refused.exitCode == 4 && refused.out.contains("in use by process " + QString::number(pid)), refused.what());
        QVERIFY2(sentBytes(refused.err).isEmpty(), refused.what());
    }

    // -p NAME without a path: a file of that name here, else /dev/NAME, and the message says
    // which was tried.
    void portNamedWithoutAPath()
    {
        const auto b = startBoard();
        QTemporaryDir here;
        QVERIFY(QFile::link(pathOf(*b), here.filePath("board")));
        for (const auto& [name, exitCode, says] :
             {std::tuple<QString, int, QString>{"board", 0, "identify: AT89S52"},
              {"brindle-absent", 4, "Cannot open /dev/brindle-absent (there is no file brindle-absent here): "}}) {
            QProcess process;
            process.setWorkingDirectory(here.path());
            startCli(process, {"-p", name, "identify"});
            const Run run = finishCli(process);
            QVERIFY2(run.exitCode == exitCode && run.out.contains(says), run.what());
        }
    }

    // A folder or a device that never ends is told as such, at once, not read; an empty name
    // is no name.
    void boardRefusesWhatIsNoTrace()
    {
        using Case = std::pair<QStringList, QString>;
        for (const auto& [args, says] : {Case{{"--replay", dir_.path()}, dir_.path() + ": not a trace file but a folder"},
                                         Case{{"--replay", "/dev/zero"}, "/dev/zero: not a trace file but a device or pipe"},
                                         Case{{"--replay", ""}, "option --replay needs a value"},
                                         Case{{"--replay="}, "option --replay needs a value"}}) {
            QProcess board;
            board.start(QStringLiteral(BRINDLE_BOARD_EXE), args);
            QVERIFY2(board.waitForFinished(10000), "waited 10 s for brindle-board to refuse its trace");
            const QString err = QString::fromUtf8(board.readAllStandardError());
            QVERIFY2(board.exitStatus() == QProcess::NormalExit && board.exitCode() == 2 && err.contains(says), qPrintable(err));
        }
    }
};

QTEST_GUILESS_MAIN(TestCliFaults)
#include "tst_cli_faults.moc"
