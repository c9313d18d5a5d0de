// brindle-cli with --simulate: the board inside the program, as a user without hardware (or
// without pseudo-terminals, on Windows) first meets it. Each run gets a freshly erased chip.
#include "cli_process.h"

using namespace brindle::cli::test;

class TestCliSimulated : public QObject {
    Q_OBJECT

    JobFiles files_;

private slots:
    void command_data()
    {
        QTest::addColumn<QStringList>("args"); // JobFiles' names stand for its files
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("says");
        QTest::newRow("auto") << QStringList{"--simulate", "--no-pace", "auto", "SMALL"} << 0
                              << QStringList{"identify: AT89S52 (code 62, 8192 bytes)", "erase: ok", "write: ok, 160 bytes written",
                                             "verify: ok, 8192 bytes match"};
        QTest::newRow("another chip") << QStringList{"--simulate=AT89C2051", "--no-pace", "identify"} << 0
                                      << QStringList{"AT89C2051 (code 21, 2048 bytes)"};
        QTest::newRow("empty socket") << QStringList{"--simulate=none", "--no-pace", "identify"} << 6 << QStringList{"No chip"};
        QTest::newRow("unknown chip") << QStringList{"--simulate=AT89X", "identify"} << 2
                                      << QStringList{"brindle-cli: --simulate=AT89X: no such chip."};
        QTest::newRow("behind an FTDI adapter") << QStringList{"--simulate", "--adapter", "ftdi", "--latency-ms", "1", "blank"} << 0
                                                << QStringList{"blank: ok"};
    }
    void command()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QStringList, says);
        const Run run = runCli(files_.expand(args));
        QVERIFY2(run.exitCode == exitCode, run.what());
        for (const QString& text : says)
            QVERIFY2(run.contains(text), qPrintable("missing \"" + text + "\" in\n" + run.what()));
    }

    // The write's file in --json and the record alike: one refused before anything is sent as
    // the step that would have sent it; a HEX file cut off before its end record loads, warned of.
    void fileFactsAreRecorded_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says"); // WARNING: the warning, which the lines carry too
        QByteArray cut;
        for (int address = 0; address < 64; address += 16)
            cut += hexRecord(address, imageBytes(64).mid(address, 16));
        QTest::newRow("malformed") << "bad.hex" << QByteArray(":00000001FE\r\n") << 3 << "bad.hex, line 1: checksum";
        QTest::newRow("too big") << "huge.bin" << QByteArray(65537, '\0') << 3 << "65537 bytes long; the code image holds 65536";
        QTest::newRow("no end record") << "cut.hex" << cut << 0 << "warning: WARNING";
    }
    void fileFactsAreRecorded()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        const QString path = writeFile(files_.dir, name, content), log = files_.dir.filePath(name + ".log");
        const QString warning = !exitCode ? QDir::toNativeSeparators(path) + ": no end record (:00000001FF) after line 4: the "
                                                                             "file may have been cut off." : QString();
        const Run run = runCli({"--simulate", "--no-pace", "--json", "--log", log, "auto", path});
        QVERIFY2(run.exitCode == exitCode && run.contains(says.replace("WARNING", warning)), run.what());
        QVERIFY2(exitCode == 0 || !run.out.contains("identify"), run.what());
        QFile record(log);
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QList<QJsonObject> recorded = jsonLines(record.readAll()), json = jsonLines(run.out.toUtf8());
        QCOMPARE(recorded.size(), json.size());
        for (const QList<QJsonObject>& lines : {json, recorded}) {
            const auto write = std::find_if(lines.begin(), lines.end(), [](const QJsonObject& o) { return o["step"] == "write"; });
            QVERIFY(write != lines.end());
            QCOMPARE((*write)["result"].toString(), QString(exitCode ? "bad-image" : "ok"));
            QCOMPARE((*write)["exitCode"].toInt(), exitCode);
            QCOMPARE((*write)["file"].toString(), path);
            QCOMPARE((*write)["warning"].toString(), warning);
        }
    }
};

QTEST_GUILESS_MAIN(TestCliSimulated)
#include "tst_cli_simulated.moc"
