// brindle-cli with --simulate: the board inside the program, as a user without hardware (or
// without pseudo-terminals, on Windows) first meets it. Each run gets a freshly erased chip.
#include "cli_process.h"

using namespace brindle::cli::test;

struct SimulatedCase {
    QStringList args; // JobFiles' names stand for its files
    int exitCode = 0;
    QStringList says;
};
Q_DECLARE_METATYPE(SimulatedCase)

class TestCliSimulated : public QObject {
    Q_OBJECT

    JobFiles files_;
    const QTemporaryDir& dir_ = files_.dir;

private slots:

    void command_data()
    {
        QTest::addColumn<SimulatedCase>("c");
        auto row = [](const char* name, SimulatedCase c) { QTest::newRow(name) << c; };
        row("auto", {{"--no-pace", "auto", "SMALL"}, 0,
                     {"identify: AT89S52 (code 62, 8192 bytes)", "erase: ok", "write: ok, 160 bytes written",
                      "verify: ok, 8192 bytes match"}});
        row("another chip", {{"--simulate=AT89C2051", "--no-pace", "identify"}, 0, {"AT89C2051 (code 21, 2048 bytes)"}});
        row("empty socket", {{"--simulate=none", "--no-pace", "identify"}, 6, {"No chip"}});
        row("unknown chip", {{"--simulate=AT89X", "identify"}, 2, {"brindle-cli: --simulate=AT89X: no such chip."}});
        row("json names the board", {{"--no-pace", "--json", "identify"}, 0, {"\"port\":\"simulated board\""}});
        row("behind an FTDI adapter", {{"--adapter", "ftdi", "--latency-ms", "1", "blank"}, 0, {"blank: ok"}});
        row("timer of another adapter", {{"--adapter", "ch340", "--latency-ms", "1", "blank"}, 2, {"--adapter ftdi"}});
    }

    void command()
    {
        QFETCH(SimulatedCase, c);
        QStringList args = files_.expand(c.args);
        if (!args.first().startsWith("--simulate"))
            args.prepend("--simulate");
        const Run run = runCli(args);
        QVERIFY2(run.exitCode == c.exitCode, run.what());
        for (const QString& text : c.says)
            QVERIFY2(run.contains(text), qPrintable("missing \"" + text + "\" in\n" + run.what()));
    }

    // A file refused before anything is sent is recorded all the same, as the step that would
    // have sent it.
    void refusedFileIsRecorded_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // none: a folder of that name
        QTest::addColumn<QString>("says");
        QTest::newRow("malformed") << "bad.hex" << QByteArray(":00000001FE\r\n") << "bad.hex, line 1: checksum";
        QTest::newRow("a folder") << "folder.hex" << QByteArray() << "it is not a regular file";
        QTest::newRow("too big") << "huge.bin" << QByteArray(65537, '\0') << "65537 bytes long; the code image holds 65536";
    }
    void refusedFileIsRecorded()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, says);
        const QString path = content.isEmpty() ? dir_.filePath(name) : writeFile(dir_, name, content);
        if (content.isEmpty())
            QVERIFY(QDir(dir_.path()).mkpath(name));
        const QString log = dir_.filePath(name + ".log");
        const Run run = runCli({"--simulate", "--no-pace", "--json", "--log", log, "auto", path});
        QVERIFY2(run.exitCode == 3, run.what());
        QFile record(log);
        QVERIFY(record.open(QIODevice::ReadOnly));
        for (const QJsonObject& o : {jsonLines(run.out.toUtf8()).value(0), jsonLines(record.readAll()).value(0)}) {
            QCOMPARE(o["step"].toString(), QString("write"));
            QCOMPARE(o["result"].toString(), QString("bad-image"));
            QCOMPARE(o["exitCode"].toInt(), 3);
            QCOMPARE(o["file"].toString(), path);
        }
        QVERIFY2(run.out.contains(says) && !run.out.contains("identify"), run.what());
    }

    // A HEX file cut off before its end record still loads, and that is told and recorded.
    void fileWithoutItsEndIsWarnedOf()
    {
        QByteArray cut;
        for (int address = 0; address < 64; address += 16)
            cut += hexRecord(address, imageBytes(64).mid(address, 16));
        const QString path = writeFile(dir_, "cut.hex", cut);
        const QString log = dir_.filePath("cut.log");
        const Run run = runCli({"--simulate", "--no-pace", "--json", "--log", log, "write", path});
        QVERIFY2(run.exitCode == 0, run.what());
        const QString warning = QDir::toNativeSeparators(path) + ": no end record (:00000001FF) after line 4: the file may "
                                                                 "have been cut off.";
        QVERIFY2(run.err.contains("warning: " + warning), run.what());
        QFile record(log);
        QVERIFY(record.open(QIODevice::ReadOnly));
        QCOMPARE(jsonLines(run.out.toUtf8()).last()["warning"].toString(), warning);
        QCOMPARE(jsonLines(record.readAll()).last()["warning"].toString(), warning);
    }
};

QTEST_GUILESS_MAIN(TestCliSimulated)
#include "tst_cli_simulated.moc"
