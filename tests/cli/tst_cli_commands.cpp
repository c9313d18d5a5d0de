// Every command of brindle-cli, run as a program against the simulated board on a
// pseudo-terminal: its exit code, its words, what its command line means and refuses, and
// what it refuses to send.
#include "cli_rig.h"

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
};
Q_DECLARE_METATYPE(CommandCase)

class TestCliCommands : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString small_, big_, bad_, bin_, raw_, full_, over_;

    QStringList expand(QStringList args, const QString& port) const
    {
        for (QString& arg : args)
            arg = arg == "BIN" ? bin_ : arg == "RAW" ? raw_ : arg == "FULL" ? full_ : arg == "OVER" ? over_
                : arg.replace("SMALL", small_).replace("BIG", big_).replace("BAD", bad_).replace("DIR", dir_.path());
        return args.contains("-p") ? args : QStringList{"-p", port} + args;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        small_ = writeHex(dir_, "small.hex", 160);
        big_ = writeHex(dir_, "big.hex", 8192, 13);
        bad_ = writeFile(dir_, "bad.hex", hexRecord(0, "\x01\x02") + ":10001000XX\r\n");
        // small.hex's bytes as a binary file, named as one and named as a HEX file.
        bin_ = writeFile(dir_, "small.BIN", imageBytes(160));
        raw_ = writeFile(dir_, "raw.hex", imageBytes(160));
        full_ = writeHex(dir_, "full.hex", 2048); // an AT89C2051's size, and one byte more
        over_ = writeHex(dir_, "over.hex", 2049);
        // Stand-ins for ports: one file under two names, and another file beside it.
        writeFile(dir_, "plain", {});
        writeFile(dir_, "other", {});
        QVERIFY(::link(qPrintable(dir_.filePath("plain")), qPrintable(dir_.filePath("plain-link"))) == 0);
    }

    void command_data()
    {
        QTest::addColumn<CommandCase>("c");
        const QStringList none;
        auto row = [](const char* name, CommandCase c) { QTest::newRow(name) << c; };
        row("identify", {{}, none, {"identify"}, 0, "identify: AT89S52 (code 62, 8192 bytes)", ""});
        row("identify, empty socket", {{"--chip", "none"}, none, {"identify"}, 6, "No chip", ""});
        row("erase", {{}, none, {"erase"}, 0, "erase: ok", ""});
        row("erase, board silent", {{"--silent-after", "S"}, none, {"erase"}, 5, "did not answer the erase", ""});
        row("erase, empty socket", {{"--chip", "none"}, none, {"erase"}, 6, "No chip", "erase: ok"});
        row("erase, answer outside the protocol", {{"--wrong-reply", "S=X"}, none, {"erase"}, 5, "protocol does not know", ""});
        row("blank, fresh chip", {{}, none, {"blank"}, 0, "blank: ok", ""});
        row("blank after a write", {{}, {"write", "SMALL"}, {"blank"}, 1, "blank: the chip is not blank", ""});
        row("write", {{}, none, {"write", "SMALL"}, 0, "write: ok, 160 bytes written", ""});
        row("write over other data", {{}, {"write", "SMALL"}, {"write", "BIG"}, 1,
                                      "write: The board refused block 0000H (\"w\"): the chip may not be erased: run erase first, or use auto", ""});
        row("write after lock bit 1", {{}, {"lock", "1"}, {"write", "SMALL"}, 1, "refused the write (\"w\")", ""});
        // One name for one fault, in read and verify alike.
        row("read, short block", {{"--short-block", "2"}, none, {"read", "DIR/short.hex"}, 5, "block at 0040H came back short", ""});
        row("verify, short block", {{"--short-block", "2"}, {"write", "SMALL"}, {"verify", "SMALL"}, 5, "block at 0040H came back short", ""});
        row("read, read-protected", {{}, {"lock", "2"}, {"read", "DIR/locked.hex"}, 1, "read-protected (lock bit 2 or 3)", ""});
        row("verify, read-protected", {{}, {"lock", "2"}, {"verify", "SMALL"}, 1, "erase it to read or verify it again", ""});
        row("identify, code not hexadecimal", {{"--wrong-reply", "I=21XY"}, none, {"identify"}, 5, "\"21XY\", which is no chip code", ""});
        row("verify after write", {{}, {"write", "SMALL"}, {"verify", "SMALL"}, 0, "verify: ok, 8192 bytes match", ""});
        row("verify, chip differs", {{}, {"write", "SMALL"}, {"verify", "BIG"}, 1,
                                     "bytes differ, first at 0001H: file 0E, chip 08", ""});
        row("lock", {{}, none, {"lock", "1,2,3"}, 0, "lock: ok, lock bits 1,2,3", ""});
        row("auto", {{}, none, {"auto", "SMALL"}, 0, "verify: ok", ""});
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
                                           "the AT89C2051 holds 2048 bytes: nothing was sent", "erase:"});
        row("image as long as the chip", {{"--chip", "AT89C2051"}, none, {"write", "FULL"}, 0, "write: ok, 2048 bytes written", ""});
        row("image a byte longer than the chip", {{"--chip", "AT89C2051"}, none, {"write", "OVER"}, 3,
                                                  "The image runs to 0800H (2080 bytes), the AT89C2051 holds 2048 bytes", "write: ok"});
        row("reply limits stretched", {{"--silent-after", "I"}, none, {"--reply-timeout-scale", "10", "identify"}, 5,
                                       "did not answer the identification within 3.0 s", ""});
        row("another chip than --chip", {{"--chip", "AT89C2051"}, none, {"--chip", "AT89S52", "erase"}, 6,
                                         "AT89C2051 in the socket, the job expects AT89S52", "erase: ok"});
        row("identify, another chip than --chip", {{"--chip", "AT89S51"}, none, {"--chip", "AT89S52", "identify"}, 6,
                                                   "AT89S51 in the socket", ""});
        row("usage: read on two boards", {{}, none, {"-p", "/dev/a", "-p", "/dev/b", "read", "DIR/x.hex"}, 2, "one board", ""});
        row("usage: unknown option", {{}, none, {"--fast", "erase"}, 2, "Unknown option --fast", ""});
        row("usage: a hard link to a port", {{}, none, {"-p", "DIR/plain", "-p", "DIR/plain-link", "identify"}, 2, "are one device", ""});
        row("two files in one folder", {{}, none, {"-p", "DIR/plain", "-p", "DIR/other", "identify"}, 4, "Cannot open", "one device"});
        // What the forms mean shows in what the board was made to do.
        row(".BIN is binary", {{}, {"write", "BIN"}, {"verify", "SMALL"}, 0, "verify: ok, 8192 bytes match", ""});
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
        const Run run = runCli(expand(c.args, pathOf(*b)));
        QVERIFY2(run.exitCode == c.exitCode, run.what());
        QVERIFY2(run.contains(c.says), run.what());
        QVERIFY2(c.never.isEmpty() || !run.contains(c.never), run.what());
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
        QFile file(log);
        const QList<QJsonObject> json = jsonLines(run.out.toUtf8());
        QList<QJsonObject> record = file.open(QIODevice::ReadOnly) ? jsonLines(file.readAll()) : QList<QJsonObject>();
        QCOMPARE(record.size(), json.size());
        // Several boards' lines may reach the two in another order.
        const auto key = [](const QJsonObject& o) { return o["port"].toString() + ' ' + o["step"].toString(); };
        for (int i = 0; i < json.size(); ++i) {
            for (int j = i; j < record.size(); ++j)
                if (key(record[j]) == key(json[i]))
                    record.swapItemsAt(i, j);
            for (const char* field : {"port", "step", "result", "exitCode", "chip", "chipCode", "file", "imageBytes",
                                      "imageCrc32", "differingBytes", "durationMs", "warning"})
                QVERIFY2(json[i].value(field) == record[i].value(field),
                         qPrintable(QString("%1 of line %2: --json %3, record %4").arg(field).arg(i + 1)
                                        .arg(QJsonDocument(json[i]).toJson(), QJsonDocument(record[i]).toJson())));
            // A failed read names its file too.
            if (json[i]["step"] == "read")
                QVERIFY2(!json[i]["file"].isNull(), QJsonDocument(json[i]).toJson().constData());
        }
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
        QTest::newRow("write, checksums and closing line")
            << QStringList{"write", "SMALL"} << 0 << "identify: AT89S52"
            << "write: ok, 160 bytes written\nwrite: CRC-32 12E885CF, sum 4B70 over 0000H-009FH (160 bytes)\nwrite: ok, AT89S52, " << "";
        QTest::newRow("read - on stdout") << QStringList{"read", "-"} << 0 << ":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\r\n"
                                          << ":00000001FF\r\n" << "read: CRC-32 B4293435, sum E000 over 0000H-1FFFH (8192 bytes)";
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

    // A job refused for the chip or the image sends the identification and nothing else.
    void refusalSendsOnlyIdentification_data()
    {
        QTest::addColumn<QString>("chip");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("erase, other chip") << "AT89C2051" << QStringList{"--chip", "AT89S52", "erase"} << 6;
        QTest::newRow("write, other chip") << "AT89C2051" << QStringList{"--chip", "AT89S52", "write", "SMALL"} << 6;
        QTest::newRow("auto, other chip") << "AT89S51" << QStringList{"--chip", "AT89S52", "auto", "SMALL"} << 6;
        QTest::newRow("write, image too long") << "AT89C2051" << QStringList{"write", "BIG"} << 3;
        QTest::newRow("verify, image too long") << "AT89C4051" << QStringList{"verify", "BIG"} << 3;
        QTest::newRow("write, empty socket") << "none" << QStringList{"write", "SMALL"} << 6;
    }

    void refusalSendsOnlyIdentification()
    {
        QFETCH(QString, chip);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        const auto b = startBoard({"--chip", chip.toStdString()});
        const Run run = runCli(expand(args, pathOf(*b)), true);
        QVERIFY2(run.exitCode == exitCode, run.what());
        QCOMPARE(sentBytes(run.err), QStringList{"49"}); // "I"
    }

    // read writes SAVE's HEX for the chip's size, or the raw bytes; a failed read leaves the
    // file that was there.
    void readWritesFiles()
    {
        const auto b = startBoard();
        const QString port = pathOf(*b);
        QCOMPARE(runCli(expand({"write", "SMALL"}, port)).exitCode, 0);

        const Run hex = runCli(expand({"read", "DIR/chip.hex"}, port));
        QVERIFY2(hex.exitCode == 0, hex.what());
        QFile hexFile(dir_.filePath("chip.hex"));
        QVERIFY(hexFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = hexFile.readAll().split('\n');
        QCOMPARE(lines.size(), 8192 / 16 + 3); // records, end record, empty line, nothing after its end
        QCOMPARE(lines[0], hexRecord(0, QByteArray::fromHex("01080F161D242B323940474E555C636A"), 0, "\r"));
        QCOMPARE(lines[8192 / 16], QByteArray(":00000001FF\r"));
        const Run again = runCli(expand({"verify", "DIR/chip.hex"}, port));
        QVERIFY2(again.exitCode == 0, again.what());

        const Run bin = runCli(expand({"read", "DIR/chip.bin"}, port));
        QVERIFY2(bin.exitCode == 0, bin.what());
        QFile binFile(dir_.filePath("chip.bin"));
        QVERIFY(binFile.open(QIODevice::ReadOnly));
        const QByteArray bytes = binFile.readAll();
        QCOMPARE(bytes, imageBytes(160, 7, 8192));

        const auto hanging = startBoard({"--hang-up-after", "2"});
        const Run failed = runCli(expand({"--json", "read", "DIR/chip.bin"}, pathOf(*hanging)));
        QVERIFY2(failed.exitCode == 5, failed.what());
        const QJsonObject read = jsonLines(failed.out.toUtf8()).last();
        QCOMPARE(read["file"].toString(), dir_.filePath("chip.bin"));
        QCOMPARE(read["imageBytes"].toInt(), 64); // the two blocks that came in
        QVERIFY(binFile.seek(0));
        QCOMPARE(binFile.readAll(), bytes);
    }
};

QTEST_GUILESS_MAIN(TestCliCommands)
#include "tst_cli_commands.moc"
