// Serial numbers through the real brindle-cli against the real engines: a SQLite file and the
// throw-away PostgreSQL cluster the test command starts. Every number once, whatever happens.
#include "cli_process.h"
#include "serial_format.h"

#include <QElapsedTimer>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#ifdef BRINDLE_SILENT_SERVER
#include <QTcpServer>
#endif
#ifdef BRINDLE_POSIX_TESTS
#include <unistd.h>
#endif

using namespace brindle::cli::test;

namespace {

// The cluster's address, as its start script left it; empty without a cluster.
QString postgresUrl()
{
#ifdef BRINDLE_PG_DIR
    QFile file(QStringLiteral(BRINDLE_PG_DIR "/url"));
    if (file.open(QIODevice::ReadOnly))
        return QString::fromUtf8(file.readAll()).trimmed();
#endif
    return {};
}

// Polls `serials` until its listing holds `text` (at most 20 s); the listing last seen, which the caller checks.
QString waitForListing(const QStringList& store, const QString& text)
{
    QString listing;
    (void)QTest::qWaitFor([&] { return (listing = runCli(QStringList{"serials"} + store).out).contains(text); }, 20000);
    return listing;
}

} // namespace

class SerialStoreTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString hex_;
    int series_ = 0;

    // A series of its own for each case: the PostgreSQL database is shared by them all.
    QString newSeries() { return QStringLiteral("s%1-%2").arg(QCoreApplication::applicationPid()).arg(++series_); }

    void addEngines()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("sqlite") << "sqlite:" + dir_.filePath("line.sqlite");
#ifdef BRINDLE_PG_DIR
        QTest::newRow("postgresql") << postgresUrl();
#endif
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        qputenv("XDG_DATA_HOME", dir_.path().toLocal8Bit()); // no store of the user's own is touched
        hex_ = writeHex(dir_, "fw.hex", 300);
#ifdef BRINDLE_PG_DIR
        QVERIFY2(!postgresUrl().isEmpty(), "the PostgreSQL cluster's url file is missing: did its start fail?");
#endif
    }

#ifdef BRINDLE_PTY_BOARDS
    // Several stations at once, each with two boards, take from one series: no number is
    // handed out twice, none is skipped, and each chip holds the last number it was given.
    void stationsTakeEachNumberOnce_data() { addEngines(); }
    void stationsTakeEachNumberOnce()
    {
        QFETCH(QString, url);
        constexpr int programs = 4, perProgram = 2, rounds = 3, boardCount = programs * perProgram;
        const QString series = newSeries();
        const brindle::station::SerialFormat be4{brindle::station::SerialFormat::Kind::Big, 4};
        std::vector<std::unique_ptr<brindle::board::PtyBoard>> boards;
        QHash<QString, int> indexOf;
        for (int i = 0; i < boardCount; ++i) {
            boards.push_back(startBoard({"--no-pace"}));
            indexOf[pathOf(*boards.back())] = i;
        }
        QSet<qint64> numbers;
        QHash<int, qint64> lastOnBoard;
        for (int round = 0; round < rounds; ++round) {
            std::vector<std::unique_ptr<QProcess>> running;
            for (int p = 0; p < programs; ++p) {
                // Reply limits stretched: on a loaded machine the boards served from here answer late,
                // which is no concern of this case.
                QStringList args{"--json", "--reply-timeout-scale", "10", "--store", url, "--series", series, "--serial-at", "0x1FF0",
                                 "--serial-format", "be:4", "--serial-start", "1000", "--station", QString("st%1").arg(p)};
                for (int b = 0; b < perProgram; ++b)
                    args << "-p" << pathOf(*boards[std::size_t(perProgram * p + b)]);
                running.push_back(std::make_unique<QProcess>());
                startCli(*running.back(), args << "auto" << hex_);
            }
            for (const auto& program : running) {
                const Run run = finishCli(*program);
                QVERIFY2(run.exitCode == 0, run.what());
                for (const QJsonObject& step : jsonLines(run.out.toUtf8())) {
                    if (step["step"].toString() != "write")
                        continue;
                    const qint64 number = step["serial"].toVariant().toLongLong();
                    QVERIFY2(!numbers.contains(number), qPrintable(QString("%1 handed out twice").arg(number)));
                    numbers << number;
                    QCOMPARE(step["serialBytes"].toString(), QString::fromLatin1(brindle::station::encodeNumber(number, be4)->toHex().toUpper()));
                    lastOnBoard[indexOf.value(step["port"].toString())] = number;
                }
            }
        }
        const int total = boardCount * rounds;
        QCOMPARE(numbers.size(), total);
        QCOMPARE(*std::min_element(numbers.begin(), numbers.end()), qint64(1000));
        QCOMPARE(*std::max_element(numbers.begin(), numbers.end()), qint64(1000 + total - 1)); // none skipped
        // What two chips hold, read back: each its last number, big-endian at 1FF0H.
        for (const int b : {0, boardCount - 1}) {
            const QString out = dir_.filePath(QString("chip%1.bin").arg(b));
            const Run read = runCli({"-p", pathOf(*boards[std::size_t(b)]), "read", out});
            QVERIFY2(read.exitCode == 0, read.what());
            QFile chip(out);
            QVERIFY(chip.open(QIODevice::ReadOnly));
            QCOMPARE(chip.readAll().mid(0x1FF0, 4), *brindle::station::encodeNumber(lastOnBoard[b], be4));
        }
        const QString listing = runCli({"serials", "--store", url, "--series", series}).out;
        QVERIFY2(listing.contains(QString("next %1 (step 1); %2 programmed, 0 failed, 0 reserved").arg(1000 + total, 6, 10, QChar('0')).arg(total)),
                 qPrintable(listing));
    }

    // A chip that failed gives its number back only with --reuse-failed, and then only once.
    void reusesFailedNumbersWhenAsked()
    {
        auto board = startBoard({"--no-pace"});
        const QStringList job{"-p", pathOf(*board), "--json", "--store", "sqlite:" + dir_.filePath("reuse.sqlite"),
                              "--series", newSeries(), "--serial-at", "0x10", "--serial-format", "le:2"};
        QCOMPARE(runCli(job + QStringList{"write", hex_}).exitCode, 0);
        const Run unerased = runCli(job + QStringList{"write", hex_}); // 2 over 1: bits would have to rise
        QVERIFY2(unerased.exitCode == 1 && unerased.out.contains("\"serial\":2"), unerased.what());
        QVERIFY2(runCli(job + QStringList{"auto", hex_}).out.contains("\"serial\":3"), "a failed number came back unasked");
        const Run reused = runCli(job + QStringList{"--reuse-failed", "auto", hex_});
        QVERIFY2(reused.exitCode == 0 && reused.out.contains("\"serial\":2"), reused.what());
        QVERIFY(runCli(job + QStringList{"--reuse-failed", "auto", hex_}).out.contains("\"serial\":4"));
    }

    // The server goes away while a chip is being written: the chip keeps its number and is
    // reported written with it (a store that cannot be reached at the start: storeFailures; a
    // number whose fate was never told stays reserved: killedAfterTaking).
    void serverStoppedMidJob()
    {
#ifndef BRINDLE_PG_DIR
        QSKIP("no PostgreSQL cluster in this build");
#else
        const QString url = postgresUrl(), series = newSeries();
        const QStringList store{"--store", url, "--series", series};
        const QStringList serial = store + QStringList{"--serial-at", "0x1FF0", "--serial-format", "le:2"};
        auto board = startBoard({"--pace"});
        QProcess job;
        startCli(job, serial + QStringList{"-p", pathOf(*board), "write", hex_});
        QVERIFY(waitForListing(store, "1 reserved").contains("1 reserved"));
        const auto cluster = [](const char* what) {
            return QProcess::execute("bash", {BRINDLE_PG_CLUSTER, what, BRINDLE_PG_DIR});
        };
        QCOMPARE(cluster("stop-server"), 0);
        const Run cut = finishCli(job);
        QCOMPARE(cut.exitCode, 7);
        QVERIFY2(cut.out.contains("write: ok") && cut.out.contains("write: serial 000001"), cut.what());
        QVERIFY2(cut.err.contains("could not mark 000001") && !cut.err.contains(url.section(':', 2, 2).section('@', 0, 0)),
                 cut.what());
        QCOMPARE(cluster("start-server"), 0);
#endif
    }
#endif

    // A program killed after taking its number leaves it reserved; the next takes the next one.
    void killedAfterTaking_data() { addEngines(); }
    void killedAfterTaking()
    {
        QFETCH(QString, url);
        const QStringList store{"--store", url, "--series", newSeries()};
        // At the chip's end, so that the write runs for seconds at the line rate.
        const QStringList serial = store + QStringList{"--serial-at", "0x1FF0", "--serial-format", "ascii:6", "--serial-start", "41"};
        QProcess job;
        startCli(job, QStringList{"--simulate"} + serial + QStringList{"write", hex_});
        const QString listing = waitForListing(store, "1 reserved");
        QVERIFY2(listing.contains("reserved 000041: station"), qPrintable(listing));
        job.kill();
        QVERIFY(job.waitForFinished(5000));
        const Run next = runCli(QStringList{"--simulate", "--no-pace", "--json"} + serial + QStringList{"write", hex_});
        QVERIFY2(next.exitCode == 0 && next.out.contains("\"serial\":42,\"serialBytes\":\"303030303432\""), next.what());
        const QString after = runCli(QStringList{"serials"} + store).out;
        QVERIFY2(after.contains("1 programmed, 0 failed, 1 reserved") && after.contains("reserved 000041"), qPrintable(after));
    }

    // Store failures: exit 7, one clear line naming the store and never its password, no hang,
    // nothing written. Stopped while it waits for another program's lock: 143 at once.
    void storeFailures_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("reason");
#ifdef BRINDLE_PG_DIR
        QString wrong = postgresUrl();
        wrong.replace(QRegularExpression(":[^:@/]+@"), ":wrong-password@");
        QTest::newRow("wrong password") << wrong << "password authentication failed";
#endif
#ifdef BRINDLE_SILENT_SERVER
        QTest::newRow("server never answers") << "silent" << "cannot be reached";
#endif
        QTest::newRow("sqlite locked") << "locked" << "locked";
        QTest::newRow("a newer Brindle's store") << "newer" << "schema is version 2, this program knows version 1";
#ifdef BRINDLE_POSIX_TESTS
        QTest::newRow("sqlite file read-only") << "readonly" << "readonly database";
        QTest::newRow("SIGTERM while another program holds the file") << "stopped" << "write: interrupted";
#endif
    }
    void storeFailures()
    {
        QFETCH(QString, url);
        QFETCH(QString, reason);
        const QString kind = url;
        Run run;
        QByteArray trace;
        QElapsedTimer timer;
        {
            QSqlDatabase lock = QSqlDatabase::addDatabase("QSQLITE", "lock");
#ifdef BRINDLE_SILENT_SERVER
            QTcpServer silent; // accepts the connection, then says nothing
            if (kind == "silent") {
                QVERIFY(silent.listen(QHostAddress::LocalHost));
                url = QString("postgresql://brindle@127.0.0.1:%1/brindle").arg(silent.serverPort());
            }
#endif
            if (!url.contains(':')) {
                url = "sqlite:" + dir_.filePath(kind + ".sqlite");
                const Run made = runCli({"serials", "--store", url}); // makes the tables
                QVERIFY2(made.exitCode == 0, made.what());
                lock.setDatabaseName(url.mid(7));
                if (kind == "readonly") {
                    QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
                    QFile::setPermissions(url.mid(7), QFile::ReadOwner | QFile::ReadOther);
                } else {
                    QVERIFY(lock.open());
                    QVERIFY(QSqlQuery(lock).exec(kind == "newer" ? "UPDATE brindle_meta SET value = '2'" : "BEGIN EXCLUSIVE"));
                }
            }
            const QStringList args{"--simulate", "--no-pace", "--store", url, "--serial-at", "0", "--serial-format", "le:2", "write", hex_};
            QStringList asNobody; // root may write whatever the permissions say
#ifdef BRINDLE_POSIX_TESTS
            if (kind == "readonly" && ::geteuid() == 0)
                asNobody = QStringList{"runuser", "-u", "nobody", "--"};
#endif
            QProcess job;
            timer.start();
            startCli(job, args, kind == "stopped", asNobody);
            if (kind == "stopped") {
                QVERIFY2(QTest::qWaitFor([&] { return (trace += job.readAllStandardError()).contains("waiting for another program"); }, 5000),
                         "brindle-cli did not start waiting for the file within 5 s");
                timer.start();
                job.terminate();
            }
            run = finishCli(job);
            lock.close();
        }
        QSqlDatabase::removeDatabase("lock");
        QVERIFY2(run.exitCode == (kind == "stopped" ? 143 : 7), run.what());
        QVERIFY2(timer.elapsed() < (kind == "stopped" ? 2000 : 20000), "a store failure took longer than its limits");
        QVERIFY2(run.out.contains(reason) && run.out.contains("nothing was written", Qt::CaseInsensitive)
                     && !run.contains("wrong-password") && !(trace + run.err.toUtf8()).contains("> 57"), // no "W" went out
                 run.what());
    }

    // The field's end against the identified chip, and the series' end (the field against
    // --chip and the format: tst_cli_options).
    void fieldsAndEnds_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode"); // of the last of two runs where the row says "twice"
        QTest::addColumn<QString>("said");
        QTest::newRow("field at the chip's last byte") << QStringList{"--serial-at", "0x1FFF", "--serial-format", "le:1"} << 0 << "at 1FFFH";
        QTest::newRow("field past the chip") << QStringList{"--serial-at", "0x1FFF", "--serial-format", "le:2"} << 3
                                             << "does not lie inside the AT89S52's 8192 bytes";
        QTest::newRow("series runs out, twice") << QStringList{"--serial-at", "0", "--serial-format", "le:1", "--serial-start", "255"}
                                                << 7 << "has run out: 256 does not fit le:1";
    }
    void fieldsAndEnds()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        const QString log = dir_.filePath(QString(QTest::currentDataTag()) + ".log");
        const QStringList job = QStringList{"--simulate", "--no-pace", "--store", "sqlite:" + dir_.filePath("ends.sqlite"),
                                            "--series", newSeries(), "--log", log} + args + QStringList{"auto", hex_};
        if (QString(QTest::currentDataTag()).endsWith("twice"))
            QCOMPARE(runCli(job).exitCode, 0);
        const Run run = runCli(job);
        QVERIFY2(run.exitCode == exitCode && run.contains(said), run.what());
        // Every step names the chip the job identified, a write refused before it was sent too.
        QFile record(log);
        if (record.open(QIODevice::ReadOnly))
            for (const QJsonObject& line : jsonLines(record.readAll()))
                QCOMPARE(line["chip"].toString(), QString("AT89S52"));
    }

    // A list is handed out in file order, loaded once; another file under its name is refused.
    void lists_data() { addEngines(); }
    void lists()
    {
        QFETCH(QString, url);
        const QString macs = writeFile(dir_, "macs.txt", "00:1A:2B:3C:4D:5E\n001A2B3C4D5F\n");
        const QString other = writeFile(dir_, "other.txt", "00:1A:2B:3C:4D:60\n");
        const QString bad = writeFile(dir_, "bad.txt", "00:1A:2B:3C:4D:61\nnot a value\n");
        const QStringList store{"--store", url, "--series", newSeries()};
        const auto take = [&](const QString& list) {
            return runCli(QStringList{"--simulate", "--no-pace", "--json", "--serial-at", "0x20", "--serial-list", list} + store
                               + QStringList{"write", hex_});
        };
        const Run first = take(macs), second = take(macs), spent = take(macs);
        QVERIFY2(first.exitCode == 0 && first.out.contains("\"serial\":\"00:1A:2B:3C:4D:5E\",\"serialBytes\":\"001A2B3C4D5E\""),
                 first.what());
        QVERIFY2(second.exitCode == 0 && second.out.contains("\"serial\":\"00:1A:2B:3C:4D:5F\""), second.what());
        // The CRC is of what went to the chip: the image with its own value in it.
        const auto writeCrc = [](const Run& run) { return jsonLines(run.out.toUtf8()).value(1)["imageCrc32"].toString(); };
        QVERIFY(!writeCrc(first).isEmpty() && writeCrc(first) != writeCrc(second));
        QVERIFY2(spent.exitCode == 7 && spent.out.contains("run out"), spent.what());
        const Run refused = take(other);
        QVERIFY2(refused.exitCode == 7 && refused.out.contains("loaded from another list"), refused.what());
        const Run malformed = take(bad);
        QVERIFY2(malformed.exitCode == 3 && malformed.err.contains("line 2"), malformed.what());
        const Run history = runCli(QStringList{"history", "--json", "--serial", "001A2B3C4D5F"} + store);
        QVERIFY2(history.exitCode == 0 && jsonLines(history.out.toUtf8()).size() == 1, history.what());
    }
};

QTEST_GUILESS_MAIN(SerialStoreTest)
#include "tst_serial_store.moc"
