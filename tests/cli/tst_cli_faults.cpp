// brindle-cli where the trouble is around the board: a file system that fills up, a signal in
// the middle of a write, one board under two names, a port named without a path; and
// brindle-board given something that is no trace.
#include "cli_rig.h"

#include "port_advice.h"

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace brindle;
using namespace brindle::cli::test;

namespace {

// The replies "Q" the trace shows: each asks for the next block of a write.
int blockRequests(const QString& trace)
{
    static const QRegularExpression q(QStringLiteral("< 51 +\\|Q\\|"));
    return int(trace.count(q));
}

// Starts a write of `image` through `port` and waits until its second block has been asked
// for, so that it is under way; false when that did not come within 20 s.
bool startWrite(QProcess& cli, const QString& port, const QString& image, const QStringList& more = {})
{
    startCli(cli, more + QStringList{"-p", port, "write", image}, true);
    cli.setReadChannel(QProcess::StandardError);
    QString trace;
    QDeadlineTimer deadline(20000);
    while (blockRequests(trace) < 2 && !deadline.hasExpired() && cli.state() != QProcess::NotRunning) {
        cli.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)));
        trace += QString::fromUtf8(cli.readAllStandardError());
    }
    return blockRequests(trace) >= 2;
}

// Qt's name for a device's lock file: "LCK..pts_3" for /dev/pts/3.
QString lockFileName(const QString& device) { return "LCK.." + device.mid(5).replace('/', '_'); }

} // namespace

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

    QTemporaryDir dir_;
    QString big_, small_; // as long as an AT89S52, as an AT89C2051

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        big_ = writeHex(dir_, "big.hex", 8192);
        small_ = writeHex(dir_, "small.hex", 2048);
    }

    // The process may not make files longer than OUT's old length plus room: a file system
    // that fills up. The file read writes is replaced whole or not at all, a record line is
    // added whole or not at all, and either failure is exit 3 once the board's work is told.
    void fullFileSystem_data()
    {
        QTest::addColumn<FullDiskCase>("c");
        const QByteArray line = "{\"step\":\"identify\"}\n";
        const QString full = "Cannot add the identify line to the record OUT: ";
        QTest::newRow("read, a 2 KB chip's HEX held in the write buffer")
            << FullDiskCase{{"--simulate=AT89C2051", "read", "OUT"}, "old\n", 100, "read: Cannot write OUT: File too large.", ""};
        QTest::newRow("read, an 8 KB chip's HEX") << FullDiskCase{{"read", "OUT"}, "old\n", 4000, "read: Cannot write OUT: File too large.", ""};
        QTest::newRow("read, binary") << FullDiskCase{{"--format", "bin", "read", "OUT"}, "old\n", 4000,
                                                      "read: Cannot write OUT: File too large.", ""};
        QTest::newRow("record filling up mid-line")
            << FullDiskCase{{"--log", "OUT", "identify"}, line, 100, full + "File too large.", "identify: AT89S52"};
        QTest::newRow("record on a full device")
            << FullDiskCase{{"--log", "/dev/full", "identify"}, {}, -1, "Cannot add the identify line to the record "
                                                                         "/dev/full: No space left on device.", "identify: AT89S52"};
    }
    void fullFileSystem()
    {
        QFETCH(FullDiskCase, c);
        QTemporaryDir dir;
        const QString out = writeFile(dir, "out.hex", c.before);
        QStringList args{"--simulate", "--no-pace"};
        for (const QString& arg : c.args) {
            if (arg.startsWith("--simulate="))
                args[0] = arg;
            else
                args << (arg == "OUT" ? out : arg);
        }
        QProcess process;
        if (c.room >= 0) {
            const rlim_t limit = rlim_t(c.before.size() + c.room);
            process.setChildProcessModifier([limit] {
                const rlimit r{limit, limit};
                ::setrlimit(RLIMIT_FSIZE, &r);
            });
        }
        startCli(process, args);
        const Run run = finishCli(process);
        QVERIFY2(run.exitCode == 3, run.what());
        QVERIFY2(run.contains(QString(c.says).replace("OUT", out)), run.what());
        QVERIFY2(run.out.contains(c.done), run.what());
        QVERIFY2(!run.err.contains("QIODevice") && !run.err.contains("QFile"), run.what()); // no toolkit warnings
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), c.before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.hex"}); // no temporary left
    }

    // A signal mid-write ends the job as Ctrl-C does: between blocks, with how far it got, the
    // record's line, the port closed and its lock gone, and 128 + the signal's number. The
    // chip holds just the bytes reported, and the next job works.
    void signalMidWrite_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("Ctrl-C") << SIGINT;
        QTest::newRow("a supervisor's SIGTERM") << SIGTERM;
        QTest::newRow("a closed terminal's SIGHUP") << SIGHUP;
    }
    void signalMidWrite()
    {
        QFETCH(int, signal);
        const auto b = startBoard({"--pace", "--chip", "AT89C2051"});
        const QString log = dir_.filePath(QString("signal-%1.log").arg(signal));
        QProcess cli;
        QVERIFY2(startWrite(cli, pathOf(*b), small_, {"--log", log}), "waited 20 s for the write's second block");
        ::kill(pid_t(cli.processId()), signal);
        QVERIFY2(cli.waitForFinished(10000), "waited 10 s for the end after the signal");
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 128 + signal);
        const QString out = QString::fromUtf8(cli.readAllStandardOutput());
        const QRegularExpressionMatch done =
            QRegularExpression("write: interrupted after (\\d+) bytes: Stopped before the block at ([0-9A-F]{4})H").match(out);
        QVERIFY2(done.hasMatch(), qPrintable(out));
        const int written = done.captured(1).toInt();
        QVERIFY(written > 0 && written < 2048);
        QCOMPARE(done.captured(2).toInt(nullptr, 16), written);

        QFile record(log);
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QJsonObject last = jsonLines(record.readAll()).last();
        QCOMPARE(last["step"].toString(), QString("write"));
        QCOMPARE(last["result"].toString(), QString("interrupted"));
        QCOMPARE(last["exitCode"].toInt(), 128 + signal);
        for (const std::string& folder : link::defaultLockFolders())
            QVERIFY2(!QFile::exists(QString::fromStdString(folder) + '/' + lockFileName(pathOf(*b))), folder.c_str());

        const QString chip = dir_.filePath(QString("after-%1.bin").arg(signal));
        const Run next = runCli({"-p", pathOf(*b), "read", chip});
        QVERIFY2(next.exitCode == 0, next.what());
        QFile read(chip);
        QVERIFY(read.open(QIODevice::ReadOnly));
        QCOMPARE(read.readAll(), imageBytes(written, 7, 2048));
    }

    // One board under two names: in one job refused before anything is sent; used by two
    // programs at once, whichever comes second is refused, whatever name each uses.
    void oneBoardUnderTwoNames_data()
    {
        QTest::addColumn<QString>("alias");
        QTest::newRow("a link to it") << "link";
        QTest::newRow("another spelling") << "spelling";
        QTest::newRow("another node of its device number") << "node";
    }
    void oneBoardUnderTwoNames()
    {
        QFETCH(QString, alias);
        const auto b = startBoard({"--pace"});
        const QString device = pathOf(*b);
        QTemporaryDir dir;
        QString other = dir.filePath(alias);
        if (alias == "link") {
            QVERIFY(QFile::link(device, other));
        } else if (alias == "spelling") {
            other = "/dev/pts/../pts/" + device.section('/', -1);
        } else {
            struct stat st {};
            QVERIFY(::stat(qPrintable(device), &st) == 0);
            if (::mknod(qPrintable(other), S_IFCHR | 0600, st.st_rdev) != 0)
                QSKIP("making a device node needs root");
        }
        const Run both = runCli({"-p", device, "-p", other, "identify"}, true);
        QVERIFY2(both.exitCode == 2, both.what());
        QVERIFY2(both.err.contains("-p " + device + " and -p " + other + " are one device"), both.what());
        QVERIFY2(sentBytes(both.err).isEmpty(), both.what());
        if (alias == "node")
            return; // its lock is the node's, not the device's: only the job's own check sees it

        for (const auto& [first, second] : {std::pair{device, other}, std::pair{other, device}}) {
            QProcess writer;
            QVERIFY2(startWrite(writer, first, big_), "waited 20 s for the first program's write to get under way");
            const Run refused = runCli({"-p", second, "identify"}, true);
            const qint64 pid = writer.processId();
            ::kill(pid_t(pid), SIGINT);
            QVERIFY2(writer.waitForFinished(10000), "waited 10 s for the first program to end after Ctrl-C");
            QVERIFY2(refused.exitCode == 4, refused.what());
            QVERIFY2(refused.out.contains("in use by process " + QString::number(pid)), refused.what());
            QVERIFY2(sentBytes(refused.err).isEmpty(), refused.what());
        }
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

    // A folder or a device that never ends is told as such, at once, not read.
    void boardRefusesWhatIsNoTrace()
    {
        for (const auto& [file, says] : {std::pair<QString, QString>{dir_.path(), "not a trace file but a folder"},
                                         {"/dev/zero", "not a trace file but a device or pipe"}}) {
            QProcess board;
            board.start(QStringLiteral(BRINDLE_BOARD_EXE), {"--replay", file});
            QVERIFY2(board.waitForFinished(10000), "waited 10 s for brindle-board to refuse the file");
            const QString err = QString::fromUtf8(board.readAllStandardError());
            QVERIFY2(board.exitStatus() == QProcess::NormalExit && board.exitCode() == 2, qPrintable(err));
            QVERIFY2(err.contains(file + ": " + says), qPrintable(err));
        }
    }
};

QTEST_GUILESS_MAIN(TestCliFaults)
#include "tst_cli_faults.moc"
