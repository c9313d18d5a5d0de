// brindle-cli as a program against simulated boards on pseudo-terminals: what the command line
// adds to the board operations (exit codes, lines, --json, the record, several boards).
#include "cli_process.h"

#include <QJsonArray>

#include <unistd.h>

using namespace brindle;
using namespace brindle::cli::test;

struct CommandCase {
    std::vector<std::string> board; // the simulated board's options
    QStringList before;             // run first on the same board; must succeed
    QStringList args;               // "-p BOARD" goes in front unless they name a port
    int exitCode = 0;
    QString says;                   // in the output
    QString never;                  // not in the output
    bool onlyIdentify = false;      // nothing but the identification goes to the board
};
Q_DECLARE_METATYPE(CommandCase)

class TestCliCommands : public QObject {
    Q_OBJECT

    JobFiles files_;

    QStringList expand(const QStringList& args, const QString& port) const
    {
        return args.contains("-p") ? files_.expand(args) : QStringList{"-p", port} + files_.expand(args);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(files_.dir.isValid());
        // Stand-ins for ports: one file under two names, and another file beside it.
        writeFile(files_.dir, "plain", {});
        writeFile(files_.dir, "other", {});
        QVERIFY(::link(qPrintable(files_.dir.filePath("plain")), qPrintable(files_.dir.filePath("plain-link"))) == 0);
    }

    // Each result's exit code and the CLI's own words for it; link's tests judge the exchanges
    // and the board's faults (a silent, hung-up or short-answering board: exit 5 below).
    void command_data()
    {
        QTest::addColumn<CommandCase>("c");
        const QStringList none;
        auto row = [](const char* name, CommandCase c) { QTest::newRow(name) << c; };
        row("blank after a write", {{}, {"write", "SMALL"}, {"blank"}, 1, "blank: the chip is not blank", ""});
        row("write over other data", {{}, {"write", "SMALL"}, {"write", "BIG"}, 1,
                                      "write: The board refused block 0000H (\"w\"): the chip may not be erased: run erase first, or use auto", ""});
        row("write after lock bit 1", {{}, {"lock", "1"}, {"write", "SMALL"}, 1, "refused the write (\"w\")", ""});
        row("verify, chip differs", {{}, {"write", "SMALL"}, {"verify", "BIG"}, 1,
                                     "bytes differ, first at 0001H: file 0E, chip 08", ""});
        row("auto, every step", {{}, none, {"auto", "SMALL", "--steps", "lock,verify,write,blank,erase", "--lock", "1"},
                                 0, "blank: ok\nwrite: ok, 160 bytes written\nwrite: CRC-32 12E885CF, sum 4B70 over 0000H-009FH "
                                    "(160 bytes)\nverify: ok, 8192 bytes match\nverify: CRC-32 7154F0CD, sum 8C10 over 0000H-1FFFH "
                                    "(8192 bytes)\nlock: ok, lock bits 1\nauto: ok, AT89S52, ", ""});
        row("auto, some steps, options after", {{}, none, {"auto", "SMALL", "--steps=lock,erase", "--lock", "3,1"}, 0,
                                                "erase: ok\nlock: ok, lock bits 1,3", "write:"});
        row("auto stops at the failing step", {{"--silent-after", "W"}, none, {"auto", "SMALL"}, 5, "write:", "verify:"});
        row("image as long as the chip", {{"--chip", "AT89C2051"}, none, {"write", "FULL"}, 0, "write: ok, 2048 bytes written", ""});
        row("image a byte longer than the chip", {{"--chip", "AT89C2051"}, none, {"auto", "OVER"}, 3,
                                                  "The image runs to 0800H (2080 bytes), the AT89C2051 holds 2048 bytes", "erase:", true});
        row("reply limits stretched", {{"--silent-after", "I"}, none, {"--reply-timeout-scale", "10", "identify"}, 5,
                                       "did not answer the identification within 3.0 s", ""});
        row("another chip than --chip", {{"--chip", "AT89C2051"}, none, {"--chip", "AT89S52", "erase"}, 6,
                                         "AT89C2051 in the socket, the job expects AT89S52", "erase: ok", true});
        row("identify, another chip than --chip", {{"--chip", "AT89S51"}, none, {"--chip", "AT89S52", "identify"}, 6,
                                                   "AT89S51 in the socket", ""});
        row("chip in any case", {{}, none, {"--chip=at89s52", "identify"}, 0, "identify: AT89S52", ""});
        row("usage: read on two boards", {{}, none, {"-p", "/dev/a", "-p", "/dev/b", "read", "DIR/x.hex"}, 2, "one board", ""});
        row("usage: a hard link to a port", {{}, none, {"-p", "DIR/plain", "-p", "DIR/plain-link", "identify"}, 2, "are one device", ""});
        row("two files in one folder", {{}, none, {"-p", "DIR/plain", "-p", "DIR/other", "identify"}, 4, "Cannot open", "one device"});
        row("--format over the extension", {{}, {"--format", "bin", "write", "RAW"}, {"verify", "SMALL"}, 0, "verify: ok", ""});
    }

    void command()
    {
        QFETCH(CommandCase, c);
        const auto b = startBoard(c.board);
        if (!c.before.isEmpty()) {
            const Run before = runCli(expand(c.before, pathOf(*b)));
            QVERIFY2(before.exitCode == 0, before.what());
        }
        const Run run = runCli(expand(c.args, pathOf(*b)), c.onlyIdentify);
        QVERIFY2(run.exitCode == c.exitCode && run.contains(c.says), run.what());
        QVERIFY2(c.never.isEmpty() || !run.contains(c.never), run.what());
        if (c.onlyIdentify)
            QCOMPARE(sentBytes(run.err), QStringList{"49"}); // "I"
    }

    // The record and --json tell each step alike (the same fields, values and spelling), a
    // failed read names its file, the record adds the file's checksum, and a failed verify
    // lists every differing byte. (The record line's time and host: tst_station.)
    void recordAndJson()
    {
        const auto a = startBoard(), b = startBoard(), cut = startBoard({"--short-block", "2"});
        const QString other = writeHex(files_.dir, "other.hex", 64, 3);
        const QList<QStringList> jobs{{"-p", pathOf(*a), "-p", pathOf(*b), "auto", "SMALL"},
                                      {"-p", pathOf(*a), "verify", other},
                                      {"-p", pathOf(*cut), "read", "DIR/cut.hex"}};
        const int exitCodes[] = {0, 1, 5};
        // The record has fields of its own; several boards' lines may reach the two in another order.
        const QStringList fields{"port", "step", "result", "exitCode", "chip", "chipCode", "file", "imageBytes",
                                 "imageCrc32", "differingBytes", "durationMs", "warning"};
        const auto shared = [&fields](const QList<QJsonObject>& objects) {
            QStringList lines;
            for (const QJsonObject& o : objects) {
                QJsonObject kept;
                for (const QString& field : fields)
                    kept[field] = o[field];
                lines << QJsonDocument(kept).toJson(QJsonDocument::Compact);
                if (o["step"] == "read" && o["file"].isNull())
                    lines << "read without a file";
            }
            lines.sort();
            return lines;
        };
        QList<QList<QJsonObject>> records, json;
        for (int j = 0; j < jobs.size(); ++j) {
            const QString log = files_.dir.filePath(QString("job%1.log").arg(j));
            const Run run = runCli(files_.expand(jobs[j]) + QStringList{"--json", "--log", log});
            QVERIFY2(run.exitCode == exitCodes[j], run.what());
            QFile file(log);
            QVERIFY(file.open(QIODevice::ReadOnly));
            records << jsonLines(file.readAll());
            json << jsonLines(run.out.toUtf8());
            QCOMPARE(shared(records.last()), shared(json.last()));
            QVERIFY2(!shared(json.last()).contains("read without a file"), run.what());
        }

        QCOMPARE(records[0].size(), 2 * 4); // identify, erase, write, verify on each board
        QFile smallFile(files_["SMALL"]);
        QVERIFY(smallFile.open(QIODevice::ReadOnly));
        const QByteArray sha = QCryptographicHash::hash(smallFile.readAll(), QCryptographicHash::Sha256).toHex();
        for (const QJsonObject& o : records[0]) {
            const QString step = o["step"].toString();
            const bool withFile = step == "write" || step == "verify";
            QCOMPARE(o["fileSha256"].toString(), withFile ? QString::fromLatin1(sha) : QString());
            QCOMPARE(o["imageBytes"].toInt(), step == "write" ? 160 : withFile ? 8192 : 0);
        }
        const QByteArray chip = imageBytes(160, 7, 8192), file = imageBytes(64, 3, 8192);
        QJsonArray expected;
        for (int address = 0; address < 8192; ++address)
            if (chip[address] != file[address])
                expected.append(QJsonObject{{"address", address},
                                            {"file", QString::fromLatin1(file.mid(address, 1).toHex().toUpper())},
                                            {"chip", QString::fromLatin1(chip.mid(address, 1).toHex().toUpper())}});
        QCOMPARE(json[1].last()["differences"].toArray(), expected);
        QCOMPARE(records[1].last()["differingBytes"].toInt(), expected.size());
    }

    // read - puts the file alone on stdout and its lines on stderr; -q leaves the errors alone.
    void streams()
    {
        const auto b = startBoard();
        const Run read = runCli({"-p", pathOf(*b), "read", "-"});
        QVERIFY2(read.exitCode == 0 && read.out.startsWith(":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\r\n")
                     && read.out.contains(":00000001FF\r\n") && !read.out.contains("read:"), read.what());
        QVERIFY2(read.err.contains("read: ok, 8192 bytes to standard output\n"
                                   "read: CRC-32 B4293435, sum E000 over 0000H-1FFFH (8192 bytes)"), read.what());
        const Run quiet = runCli({"-p", pathOf(*b), "-q", "write", files_["SMALL"]});
        QVERIFY2(quiet.exitCode == 0 && quiet.out.isEmpty() && quiet.err.isEmpty(), quiet.what());
        const Run failed = runCli({"-p", pathOf(*b), "--quiet", "--chip", "AT89C2051", "erase"});
        QVERIFY2(failed.exitCode == 6 && failed.out.isEmpty()
                     && failed.err.contains("identify: AT89S52 in the socket, the job expects AT89C2051"), failed.what());
    }

    // -p auto takes the one board that answers among the candidates; ports --probe names its chip.
    void autoPortAndProbe()
    {
        const auto real = startBoard(), second = startBoard({"--chip", "AT89C4051"}), mute = startBoard({"--silent-after", "I"});
        using Case = std::tuple<QStringList, int, QString>;
        for (const auto& [candidates, exitCode, says] :
             {Case{{pathOf(*real), pathOf(*mute)}, 0, "-p auto: the board on " + pathOf(*real)},
              Case{{pathOf(*real), pathOf(*second)}, 4, "-p auto found 2 boards"},
              Case{{pathOf(*mute)}, 4, pathOf(*mute) + ": no answer"}}) {
            QStringList args{"-p", "auto"};
            for (const QString& candidate : candidates)
                args << "--candidate" << candidate;
            const Run run = runCli(args << "identify");
            QVERIFY2(run.exitCode == exitCode && run.contains(says), run.what());
            QVERIFY2(exitCode || run.out.contains("identify: AT89S52"), run.what());
        }
        const Run probe = runCli({"ports", "--probe", "--candidate", pathOf(*second)});
        QVERIFY2(probe.exitCode == 0 && probe.out.contains(pathOf(*second) + "  candidate  [board, AT89C4051 in the socket]"),
                 probe.what());
    }

    // The faulty board's failure is the job's exit code; the other two finish their work.
    void threeBoardsOneFaulty()
    {
        const auto a = startBoard(), b = startBoard({"--hang-up-after", "2"}), c = startBoard();
        const QString faulty = pathOf(*b);
        const Run run = runCli({"-p", pathOf(*a), "-p", faulty, "-p", pathOf(*c), "auto", files_["SMALL"]});
        QVERIFY2(run.exitCode == 5, run.what());
        for (const auto* good : {a.get(), c.get()}) {
            QVERIFY2(run.out.contains(pathOf(*good) + ": verify: ok, 8192 bytes match"), run.what());
            QVERIFY2(QRegularExpression("\n" + QRegularExpression::escape(pathOf(*good)) + " +AT89S52 +ok +\\d+\\.\\d s")
                         .match(run.out).hasMatch(), run.what());
        }
        QVERIFY2(run.out.contains(faulty + ": write: The board hung up") && !run.out.contains(faulty + ": verify:"), run.what());
        QVERIFY2(QRegularExpression(QRegularExpression::escape(faulty) + " +AT89S52 +hung-up").match(run.out).hasMatch(), run.what());
    }

    // On a terminal the bar goes to standard error, names its step, and counts the seconds of
    // an erase; standard output gets the lines alone. script(1) lends the terminal; standard
    // output goes to a file.
    void progressOnTheTerminalOnly()
    {
        const auto b = startBoard({"--erase-ms", "400"});
        const QString outFile = files_.dir.filePath("terminal-out.txt");
        QString command = "exec";
        for (const QString& arg : {cliPath(), QString("-p"), pathOf(*b), QString("auto"), files_["SMALL"]})
            command += " '" + arg + "'";
        QProcess script;
        script.start("script", {"-qec", command + " >'" + outFile + "'", "/dev/null"});
        const Run run = finishCli(script); // its out: what the terminal showed
        QFile file(outFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString out = QString::fromUtf8(file.readAll());
        QVERIFY2(run.exitCode == 0, run.what());
        QVERIFY2(run.out.contains("\rerase: waiting for the board, 0 s"), run.what());
        QVERIFY2(run.out.contains("\rwrite [") && run.out.contains(" B  0:"), run.what());
        QVERIFY2(!out.contains('\r') && !out.contains(" left"), qPrintable(out));
        QVERIFY2(out.contains("write: ok, 160 bytes written\n"), qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(TestCliCommands)
#include "tst_cli_commands.moc"
