// brindle-cli finding its board, working several at once, its JSON and its record.
#include "cli_rig.h"
#include "terminal_run.h"

#include "chips.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <csignal>
#include <thread>

using namespace brindle;
using namespace brindle::cli::test;

namespace {

// Bit by bit, so that it cannot share a mistake with the table-driven one under test.
quint32 referenceCrc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFF;
    for (char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

} // namespace

class TestCliBoards : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString small_;

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        small_ = writeHex(dir_, "small.hex", 160);
        qputenv("TZ", "XYZ-14"); // the programs started from here run 14 hours ahead of UTC
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
        QTest::newRow("nothing") << 0 << false << 4 << "found no board";
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
        const Run run = runCli({"-p", pathOf(*a), "-p", faulty, "-p", pathOf(*c), "auto", small_});
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

    // --json and --log parsed back: every board and step, the file's hash, the image's CRC and
    // every differing address.
    void jsonAndRecord()
    {
        const auto a = startBoard(), b = startBoard();
        const QString log = dir_.filePath("flash.log");
        QFile::remove(log);
        const Run first = runCli({"-p", pathOf(*a), "-p", pathOf(*b), "--json", "--log", log, "auto", small_});
        QVERIFY2(first.exitCode == 0, first.what());
        const QStringList steps{"identify", "erase", "write", "verify"};
        const QList<QJsonObject> shown = jsonLines(first.out.toUtf8());
        QCOMPARE(shown.size(), 2 * steps.size());
        for (const QJsonObject& o : shown) {
            QCOMPARE(o["result"].toString(), QString("ok"));
            QCOMPARE(o["chip"].toString(), QString("AT89S52"));
            QCOMPARE(o["chipCode"].toString(), QString("62"));
            QVERIFY(steps.contains(o["step"].toString()));
        }

        const auto other = writeHex(dir_, "other.hex", 64, 3);
        const Run differ = runCli({"-p", pathOf(*a), "--json", "--log", log, "verify", other});
        QVERIFY2(differ.exitCode == 1, differ.what());
        const QJsonObject verify = jsonLines(differ.out.toUtf8()).last();
        const QByteArray chip = imageBytes(160, 7, 8192), file = imageBytes(64, 3, 8192);
        QJsonArray expected;
        for (int address = 0; address < 8192; ++address)
            if (chip[address] != file[address])
                expected.append(QJsonObject{{"address", address},
                                            {"file", QString::fromLatin1(file.mid(address, 1).toHex().toUpper())},
                                            {"chip", QString::fromLatin1(chip.mid(address, 1).toHex().toUpper())}});
        QCOMPARE(verify["differences"].toArray(), expected);
        QCOMPARE(verify["differingBytes"].toInt(), expected.size());
        QCOMPARE(verify["exitCode"].toInt(), 1);

        QFile record(log);
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QList<QJsonObject> lines = jsonLines(record.readAll());
        QCOMPARE(lines.size(), 2 * steps.size() + 2);
        QFile smallFile(small_);
        QVERIFY(smallFile.open(QIODevice::ReadOnly));
        const QByteArray sha = QCryptographicHash::hash(smallFile.readAll(), QCryptographicHash::Sha256).toHex();
        for (const QJsonObject& o : lines.mid(0, 2 * steps.size())) {
            QCOMPARE(o["version"].toString(), QString("3.6"));
            QCOMPARE(o["chipCode"].toString(), QString("62"));
            QVERIFY(!o["host"].toString().isEmpty());
            // In UTC, whatever the machine's zone (set 14 hours ahead in initTestCase).
            const QDateTime time = QDateTime::fromString(o["time"].toString(), Qt::ISODateWithMs);
            QVERIFY2(time.isValid() && time.timeSpec() == Qt::UTC, qPrintable(o["time"].toString()));
            QVERIFY2(std::abs(time.secsTo(QDateTime::currentDateTimeUtc())) < 600, qPrintable(o["time"].toString()));
            const QString step = o["step"].toString();
            if (step == "write" || step == "verify") {
                const int bytes = step == "write" ? 160 : 8192;
                QCOMPARE(o["fileSha256"].toString(), QString::fromLatin1(sha));
                QCOMPARE(o["fileSize"].toInteger(), smallFile.size());
                QCOMPARE(o["imageBytes"].toInt(), bytes);
                QCOMPARE(o["imageCrc32"].toString(), QString::asprintf("%08X", referenceCrc32(chip.left(bytes))));
            } else {
                QVERIFY(o["file"].isNull());
            }
        }
        QCOMPARE(lines.last()["result"].toString(), QString("chip-failed"));
        QCOMPARE(lines.last()["differingBytes"].toInt(), expected.size());
        QCOMPARE(lines.last()["imageCrc32"].toString(), QString::asprintf("%08X", referenceCrc32(file)));
    }

    // On a terminal the bar goes to standard error, names its step, and counts the seconds of
    // an erase; standard output gets the lines alone.
    void progressOnTheTerminalOnly()
    {
        const auto b = startBoard({"--erase-ms", "400"});
        const TerminalRun run = runWithTerminal({"-p", pathOf(*b), "auto", small_});
        QVERIFY2(run.exitCode == 0, run.what());
        QVERIFY2(run.terminal.contains("\rerase: waiting for the board, 0 s"), run.what());
        QVERIFY2(run.terminal.contains("\rwrite [") && run.terminal.contains(" B  0:"), run.what());
        QVERIFY2(!run.out.contains('\r') && !run.out.contains(" left"), run.what());
        QVERIFY2(run.out.contains("write: ok, 160 bytes written\n"), run.what());
    }

    // Another program appends to the record all the while: each of brindle-cli's lines still
    // arrives whole, because it goes out in one append.
    void recordLinesStayWholeBesideAnotherWriter()
    {
        const auto a = startBoard(), b = startBoard(), c = startBoard();
        const QString log = dir_.filePath("shared.log");
        QFile::remove(log);
        std::atomic<bool> done{false};
        std::thread other([&] {
            const int fd = ::open(QFile::encodeName(log).constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            while (fd >= 0 && !done)
                (void)!::write(fd, "{}\n", 3);
            ::close(fd);
        });
        const Run run = runCli({"-p", pathOf(*a), "-p", pathOf(*b), "-p", pathOf(*c), "--log", log, "auto", small_,
                                "--steps", "erase,blank,write,verify"});
        done = true;
        other.join();
        QVERIFY2(run.exitCode == 0, run.what());
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        int ours = 0;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.isEmpty() || line == "{}")
                continue;
            QJsonParseError error{};
            QVERIFY2(QJsonDocument::fromJson(line, &error).isObject(), line.left(200).constData());
            ++ours;
        }
        QCOMPARE(ours, 3 * 5); // identify, erase, blank, write, verify on each board
    }
};

QTEST_GUILESS_MAIN(TestCliBoards)
#include "tst_cli_boards.moc"
