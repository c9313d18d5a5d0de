// Every command of brindle-cli as a program against simulated boards on pseudo-terminals.
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
        qputenv("TZ", "XYZ-14"); // the programs started from here run 14 hours ahead of UTC
    }

    void command_data()
    {
        QTest::addColumn<CommandCase>("c");
        const QStringList none;
        auto row = [](const char* name, CommandCase c) { QTest::newRow(name) << c; };
        row("identify", {{}, none, {"identify"}, 0, "identify: AT89S52 (code 62, 8192 bytes)", ""});
        row("identify, empty socket", {{"--chip", "none"}, none, {"identify"}, 6, "No chip", ""});
        row("erase, board silent", {{"--silent-after", "S"}, none, {"erase"}, 5, "did not answer the erase", ""});
        row("erase, empty socket", {{"--chip", "none"}, none, {"erase"}, 6, "No chip", "erase: ok"}); // "S" goes all the same
        row("write, empty socket", {{"--chip", "none"}, none, {"write", "SMALL"}, 6, "No chip", "write: ok", true});
        row("erase, answer outside the protocol", {{"--wrong-reply", "S=X"}, none, {"erase"}, 5, "protocol does not know", ""});
        row("blank after a write", {{}, {"write", "SMALL"}, {"blank"}, 1, "blank: the chip is not blank", ""});
        row("write over other data", {{}, {"write", "SMALL"}, {"write", "BIG"}, 1,
                                      "write: The board refused block 0000H (\"w\"): the chip may not be erased: run erase first, or use auto", ""});
        row("write after lock bit 1", {{}, {"lock", "1"}, {"write", "SMALL"}, 1, "refused the write (\"w\")", ""});
        // One name for one fault, in read and verify alike.
        row("read, short block", {{"--short-block", "2"}, none, {"read", "DIR/short.hex"}, 5, "block at 0040H came back short", ""});
        row("verify, short block", {{"--short-block", "2"}, {"write", "SMALL"}, {"verify", "SMALL"}, 5, "block at 0040H came back short", ""});
        row("read, read-protected", {{}, {"lock", "2"}, {"read", "DIR/locked.hex"}, 1, "read-protected (lock bit 2 or 3)", ""});
        row("verify, read-protected", {{}, {"lock", "2"}, {"verify", "SMALL"}, 1, "erase it to read or verify it again", ""});
        row("identify, code not hexadecimal", {{"--wrong-reply", "I=21XY"}, none, {"identify"}, 5, "\"21XY\", which is no chip code", ""});
        row("verify, chip differs", {{}, {"write", "SMALL"}, {"verify", "BIG"}, 1,
                                     "bytes differ, first at 0001H: file 0E, chip 08", ""});
        row("lock", {{}, none, {"lock", "1,2,3"}, 0, "lock: ok, lock bits 1,2,3", ""});
        row("auto, every step", {{}, none, {"auto", "SMALL", "--steps", "lock,verify,write,blank,erase", "--lock", "1"},
                                 0, "blank: ok\nwrite: ok, 160 bytes written\nwrite: CRC-32 12E885CF, sum 4B70 over 0000H-009FH "
                                    "(160 bytes)\nverify: ok, 8192 bytes match\nverify: CRC-32 7154F0CD, sum 8C10 over 0000H-1FFFH "
                                    "(8192 bytes)\nlock: ok, lock bits 1\nauto: ok, AT89S52, ", ""});
        row("auto stops at the failing step", {{"--silent-after", "W"}, none, {"auto", "SMALL"}, 5, "write:", "verify:"});
        row("read", {{}, none, {"read", "DIR/read.hex"}, 0, "read: ok, 8192 bytes to", ""});
        row("read, board hangs up", {{"--hang-up-after", "3"}, none, {"read", "DIR/hung.hex"}, 5, "hung up", ""});
        row("port absent", {{}, none, {"-p", "/dev/brindle-absent", "identify"}, 4, "Cannot open /dev/brindle-absent", ""});
        row("malformed file", {{}, none, {"write", "BAD"}, 3, "line 2", "identify:"});
        row("missing file", {{}, none, {"verify", "DIR/nothing.hex"}, 3, "nothing.hex", "identify:"});
        row("image longer than the chip", {{"--chip", "AT89C2051"}, none, {"auto", "BIG"}, 3,
                                           "the AT89C2051 holds 2048 bytes: nothing was sent", "erase:", true});
        row("image as long as the chip", {{"--chip", "AT89C2051"}, none, {"write", "FULL"}, 0, "write: ok, 2048 bytes written", ""});
        row("image a byte longer than the chip", {{"--chip", "AT89C2051"}, none, {"write", "OVER"}, 3,
                                                  "The image runs to 0800H (2080 bytes), the AT89C2051 holds 2048 bytes", "write: ok", true});
        row("reply limits stretched", {{"--silent-after", "I"}, none, {"--reply-timeout-scale", "10", "identify"}, 5,
                                       "did not answer the identification within 3.0 s", ""});
        row("another chip than --chip", {{"--chip", "AT89C2051"}, none, {"--chip", "AT89S52", "erase"}, 6,
                                         "AT89C2051 in the socket, the job expects AT89S52", "erase: ok", true});
        row("identify, another chip than --chip", {{"--chip", "AT89S51"}, none, {"--chip", "AT89S52", "identify"}, 6,
                                                   "AT89S51 in the socket", ""});
        row("usage: read on two boards", {{}, none, {"-p", "/dev/a", "-p", "/dev/b", "read", "DIR/x.hex"}, 2, "one board", ""});
        row("usage: a hard link to a port", {{}, none, {"-p", "DIR/plain", "-p", "DIR/plain-link", "identify"}, 2, "are one device", ""});
        row("two files in one folder", {{}, none, {"-p", "DIR/plain", "-p", "DIR/other", "identify"}, 4, "Cannot open", "one device"});
        row("--format over the extension", {{}, {"--format", "bin", "write", "RAW"}, {"verify", "SMALL"}, 0, "verify: ok", ""});
        row("chip by code", {{"--chip", "AT89C2051"}, none, {"--chip", "21", "identify"}, 0, "identify: AT89C2051", ""});
        row("chip in any case", {{}, none, {"--chip=at89s52", "identify"}, 0, "identify: AT89S52", ""});
        row("auto, some steps, options after", {{}, none, {"auto", "SMALL", "--steps=lock,erase", "--lock", "3,1"}, 0,
                                                "erase: ok\nlock: ok, lock bits 1,3", "write:"});
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
        QVERIFY2(run.exitCode == c.exitCode, run.what());
        QVERIFY2(run.contains(c.says), run.what());
        QVERIFY2(c.never.isEmpty() || !run.contains(c.never), run.what());
        if (c.onlyIdentify)
            QCOMPARE(sentBytes(run.err), QStringList{"49"}); // "I"
    }

    // The record and --json tell each step alike: the same fields, values and spelling.
    void recordAgreesWithJson_data() { command_data(); }
    void recordAgreesWithJson()
    {
        QFETCH(CommandCase, c);
        const auto b = startBoard(c.board);
        if (!c.before.isEmpty())
            QCOMPARE(runCli(expand(c.before, pathOf(*b))).exitCode, 0);
        QTemporaryDir dir;
        const QString log = dir.filePath("record.log");
        const Run run = runCli(expand(c.args, pathOf(*b)) + QStringList{"--json", "--log", log});
        QVERIFY2(run.exitCode == c.exitCode, run.what());
        QFile file(log); // none after a usage error
        const QByteArray recorded = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        // Several boards' lines may reach the two in another order; the record has fields of its own.
        const QStringList fields{"port", "step", "result", "exitCode", "chip", "chipCode", "file", "imageBytes",
                                 "imageCrc32", "differingBytes", "durationMs", "warning"};
        const auto lines = [&fields](const QByteArray& text) {
            QStringList shared;
            for (const QJsonObject& o : jsonLines(text)) {
                QJsonObject kept;
                for (const QString& field : fields)
                    kept[field] = o[field];
                shared << QJsonDocument(kept).toJson(QJsonDocument::Compact);
                if (o["step"] == "read" && o["file"].isNull()) // a failed read names its file too
                    shared << "read without a file";
            }
            shared.sort();
            return shared;
        };
        QCOMPARE(lines(recorded), lines(run.out.toUtf8()));
        QVERIFY2(!lines(run.out.toUtf8()).contains("read without a file"), run.what());
    }

    // Where each line goes: a file on stdout for read -, only errors with -q, and the image's
    // checksums (worked out here with Python's zlib, not by the code under test).
    void streams_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("outStart"); // what stdout begins with; "" for nothing at all
        QTest::addColumn<QString>("outEnd");
        QTest::addColumn<QString>("err");      // in stderr
        QTest::newRow("read - on stdout") << QStringList{"read", "-"} << 0 << ":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\r\n"
                                          << ":00000001FF\r\n"
                                          << "read: ok, 8192 bytes to standard output\nread: CRC-32 B4293435, sum E000 over 0000H-1FFFH (8192 bytes)";
        QTest::newRow("quiet, success") << QStringList{"-q", "write", "SMALL"} << 0 << "" << "" << "";
        QTest::newRow("quiet, failure") << QStringList{"--quiet", "--chip", "AT89C2051", "erase"} << 6 << "" << ""
                                        << "identify: AT89S52 in the socket, the job expects AT89C2051";
    }
    void streams()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, outStart);
        QFETCH(QString, outEnd);
        QFETCH(QString, err);
        const auto b = startBoard();
        const Run run = runCli(expand(args, pathOf(*b)));
        QVERIFY2(run.exitCode == exitCode, run.what());
        QVERIFY2(outStart.isEmpty() ? run.out.isEmpty() : run.out.startsWith(outStart), run.what());
        QVERIFY2(run.out.contains(outEnd), run.what());
        QVERIFY2(run.err.contains(err) && (!err.isEmpty() || run.err.isEmpty()), run.what());
        if (args.contains("-"))
            QVERIFY2(!run.out.contains("read:"), run.what());
    }

    void autoPort_data()
    {
        QTest::addColumn<int>("boards");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        QTest::newRow("one board") << 1 << false << 0 << "-p auto: the board on BOARD";
        QTest::newRow("one board, a silent device beside it") << 1 << true << 0 << "identify: AT89S52";
        QTest::newRow("two boards") << 2 << false << 4 << "-p auto found 2 boards";
        QTest::newRow("only a silent device") << 0 << true << 4 << "found no board";
    }

    void autoPort()
    {
        QFETCH(int, boards);
        QFETCH(bool, silent);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        QStringList args{"-p", "auto"};
        const auto real = startBoard(), second = startBoard();
        const auto mute = startBoard({"--silent-after", "I"});
        if (boards > 0)
            args << "--candidate" << pathOf(*real);
        if (boards > 1)
            args << "--candidate" << pathOf(*second);
        if (silent)
            args << "--candidate" << pathOf(*mute);
        const Run run = runCli(args << "identify");
        QVERIFY2(run.exitCode == exitCode, run.what());
        QVERIFY2(run.contains(says.replace("BOARD", pathOf(*real))), run.what());
        if (silent && !boards)
            QVERIFY2(run.err.contains(pathOf(*mute) + ": no answer"), run.what());
    }

    void portsProbeNamesTheBoard()
    {
        const auto b = startBoard({"--chip", "AT89C4051"});
        const Run run = runCli({"ports", "--probe", "--candidate", pathOf(*b)});
        QVERIFY2(run.exitCode == 0, run.what());
        QVERIFY2(run.out.contains(pathOf(*b) + "  candidate  [board, AT89C4051 in the socket]"), run.what());
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
        QVERIFY2(run.out.contains(faulty + ": write: The board hung up"), run.what());
        QVERIFY2(!run.out.contains(faulty + ": verify:"), run.what());
        QVERIFY2(QRegularExpression(QRegularExpression::escape(faulty) + " +AT89S52 +hung-up").match(run.out).hasMatch(), run.what());
    }

    // The record parsed back: every board and step with the file's hash, and every differing
    // address of a failed verify (--json says the same: recordAgreesWithJson).
    void jsonAndRecord()
    {
        const auto a = startBoard(), b = startBoard();
        const QString log = files_.dir.filePath("flash.log");
        QFile::remove(log);
        const Run first = runCli({"-p", pathOf(*a), "-p", pathOf(*b), "--log", log, "auto", files_["SMALL"]});
        QVERIFY2(first.exitCode == 0, first.what());
        const Run differ = runCli({"-p", pathOf(*a), "--json", "--log", log, "verify", writeHex(files_.dir, "other.hex", 64, 3)});
        QVERIFY2(differ.exitCode == 1, differ.what());
        const QByteArray chip = imageBytes(160, 7, 8192), file = imageBytes(64, 3, 8192);
        QJsonArray expected;
        for (int address = 0; address < 8192; ++address)
            if (chip[address] != file[address])
                expected.append(QJsonObject{{"address", address},
                                            {"file", QString::fromLatin1(file.mid(address, 1).toHex().toUpper())},
                                            {"chip", QString::fromLatin1(chip.mid(address, 1).toHex().toUpper())}});
        QCOMPARE(jsonLines(differ.out.toUtf8()).last()["differences"].toArray(), expected);

        QFile record(log);
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QList<QJsonObject> lines = jsonLines(record.readAll());
        QCOMPARE(lines.size(), 2 * 4 + 2); // identify, erase, write, verify on each board; identify, verify
        QFile smallFile(files_["SMALL"]);
        QVERIFY(smallFile.open(QIODevice::ReadOnly));
        const QByteArray sha = QCryptographicHash::hash(smallFile.readAll(), QCryptographicHash::Sha256).toHex();
        for (const QJsonObject& o : lines.mid(0, 8)) {
            QCOMPARE(o["result"].toString(), QString("ok"));
            QCOMPARE(o["version"].toString(), QString("3.6"));
            QCOMPARE(o["chipCode"].toString(), QString("62"));
            QVERIFY(!o["host"].toString().isEmpty());
            // In UTC, whatever the machine's zone (set 14 hours ahead in initTestCase).
            const QDateTime time = QDateTime::fromString(o["time"].toString(), Qt::ISODateWithMs);
            QVERIFY2(time.isValid() && time.timeSpec() == Qt::UTC, qPrintable(o["time"].toString()));
            QVERIFY2(std::abs(time.secsTo(QDateTime::currentDateTimeUtc())) < 600, qPrintable(o["time"].toString()));
            const QString step = o["step"].toString();
            const bool withFile = step == "write" || step == "verify";
            QCOMPARE(o["fileSha256"].toString(), withFile ? QString::fromLatin1(sha) : QString());
            QCOMPARE(o["imageBytes"].toInt(), step == "write" ? 160 : step == "verify" ? 8192 : 0);
            QCOMPARE(o["file"].isNull(), !withFile);
        }
        QCOMPARE(lines.last()["result"].toString(), QString("chip-failed"));
        QCOMPARE(lines.last()["differingBytes"].toInt(), expected.size());
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
