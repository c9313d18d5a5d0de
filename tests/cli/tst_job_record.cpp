// The record writer: whole lines from several threads at once, and the checksums it records.
#include "file_lock.h"
#include "job_record.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>
#include <thread>

using namespace brindle;

class TestJobRecord : public QObject {
    Q_OBJECT

private slots:
    void crc32MatchesTheStandardCheckValue()
    {
        QCOMPARE(station::JobRecord::crc32("123456789", 9), 0xCBF43926u);
        QCOMPARE(station::JobRecord::crc32("56789", 5, station::JobRecord::crc32("1234", 4)), 0xCBF43926u);
    }

    // The CRC is of the bytes the board takes from the cells, over exactly the range given.
    void gridCrcReadsCellsAsBytes()
    {
        image::CodeBuffer buffer;
        for (int a = 0; a < 9; ++a)
            buffer[a] = std::uint8_t('1' + a);
        image::HexGrid grid;
        grid.redraw(buffer);
        QCOMPARE(station::JobRecord::gridCrc32(grid, 9), 0xCBF43926u);
        grid.setText(1, 10, "FF"); // address 9: outside the range
        QCOMPARE(station::JobRecord::gridCrc32(grid, 9), 0xCBF43926u);
        grid.setText(1, 1, "3"); // a half-filled cell is not the byte 03 nor 31
        QVERIFY(station::JobRecord::gridCrc32(grid, 9) != 0xCBF43926u);
    }

    // The line spells the chip and the step from the entry, and an interrupted step's exit
    // status is the one the entry brings, whatever this process was asked.
    void lineSpellsTheEntry_data()
    {
        QTest::addColumn<int>("chip");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("stopStatus");
        QTest::addColumn<QString>("json");
        QTest::newRow("write ok") << 7 << int(link::Result::Ok) << 143
                                  << R"("chip":"AT89S52","chipCode":"62",.*"exitCode":0,.*"step":"write")";
        QTest::newRow("stopped by SIGTERM") << 0 << int(link::Result::Interrupted) << 143
                                            << R"("chip":"AT89C1051","chipCode":"11",.*"exitCode":143,.*"result":"interrupted","step":"write")";
        QTest::newRow("no chip") << -1 << int(link::Result::NoAnswer) << 130
                                 << R"("chip":null,"chipCode":null,.*"exitCode":5,.*"step":"write")";
    }
    void lineSpellsTheEntry()
    {
        QFETCH(int, chip);
        QFETCH(int, result);
        QFETCH(int, stopStatus);
        QFETCH(QString, json);
        station::RecordEntry entry;
        entry.chip = chip < 0 ? nullptr : &protocol::kChips[std::size_t(chip)];
        entry.step = link::Operation::Write;
        entry.result = link::Result(result);
        entry.stopStatus = stopStatus;
        const QString line = QString::fromUtf8(station::JobRecord(QString(), "brindle-test", "9.9").line(entry));
        QVERIFY2(QRegularExpression(json).match(line).hasMatch(), qPrintable(line));
    }

    // Four threads append at once, two through one record and two through records of their
    // own, as other programs do: every line arrives whole and parses, none is lost.
    void concurrentAppendsStayWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("record.log");
        std::vector<std::unique_ptr<station::JobRecord>> records;
        for (int r = 0; r < 3; ++r) {
            records.push_back(std::make_unique<station::JobRecord>(path, "brindle-test", "9.9"));
            QVERIFY(!records.back()->open());
        }
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&record = *records[std::size_t(std::max(t - 1, 0))], t] {
                station::RecordEntry entry;
                entry.port = "/dev/board" + std::to_string(t);
                entry.chip = &protocol::kChips[7];
                entry.step = link::Operation::Write;
                entry.file.path = QString(300, QChar('a' + t)); // long lines, so a torn write would show
                for (int i = 0; i < 200; ++i)
                    if (record.append(entry))
                        return;
            });
        for (std::thread& thread : threads)
            thread.join();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 4 * 200 + 1);
        QVERIFY(lines.last().isEmpty());
        for (const QByteArray& line : lines.mid(0, 800)) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            const QString port = o["port"].toString();
            QVERIFY2(port.startsWith("/dev/board"), line.constData());
            QCOMPARE(o["file"].toString(), QString(300, QChar('a' + port.right(1).toInt())));
            QCOMPARE(o["chip"].toString(), QString("AT89S52"));
            QCOMPARE(o["program"].toString(), QString("brindle-test"));
        }
    }

    // Each line is added under the record's lock: while another program holds it, the line
    // waits for it rather than landing between that program's length and its cut-back.
    void appendWaitsForTheLock()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("record.log");
        station::JobRecord record(path, "brindle-test", "9.9");
        QVERIFY(!record.open());
        QFile holder(path);
        QVERIFY(holder.open(QIODevice::ReadWrite));
        QVERIFY(platform::lockFile(holder.handle(), false));
        std::atomic<bool> appended{false};
        std::thread writer([&] {
            station::RecordEntry entry;
            entry.step = link::Operation::Identify;
            (void)record.append(entry);
            appended = true;
        });
        QElapsedTimer held;
        held.start();
        while (held.elapsed() < 200 && !appended) // watched for 200 ms: nothing may be added
            QThread::msleep(5);
        const bool early = appended;
        platform::unlockFile(holder.handle());
        QVERIFY2(!early, "the line was added while another held the record's lock");
        QTRY_VERIFY2_WITH_TIMEOUT(appended, "waited 5 s for the line once the lock was let go", 5000);
        writer.join();
        QVERIFY(QFileInfo(path).size() > 0);
    }

    // (A pipe without a reader, a full device and a full file system: tst_cli_faults, through
    // the program.)
    void unwritableRecordSaysWhy()
    {
        station::JobRecord record("/nonexistent-folder/record.log", "brindle-test", "9.9");
        QVERIFY(record.open().has_value());
        QVERIFY(record.append({}).has_value());
    }

    // A line never starts on the tail of one torn before (by a program killed mid-line, or a
    // version that left the tail).
    void lineAfterATornOneStartsAfresh()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("record.log");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("{\"time\":") == 8);
        file.close();
        station::JobRecord record(path, "brindle-test", "9.9");
        QVERIFY(!record.open());
        const std::optional<QString> failure = record.append({});
        QVERIFY2(!failure, qPrintable(failure.value_or(QString())));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray line = file.readAll().mid(8);
        QVERIFY2(line.startsWith("\n{") && line.endsWith("}\n"), line.constData());
        QCOMPARE(QJsonDocument::fromJson(line.trimmed()).object()["program"].toString(), QString("brindle-test"));
    }
};

QTEST_GUILESS_MAIN(TestJobRecord)
#include "tst_job_record.moc"
