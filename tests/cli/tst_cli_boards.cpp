// brindle-cli finding its board, working several at once, its JSON and its record.
#include "cli_rig.h"

#include "chips.h"

#include <QJsonArray>

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
    }

    void autoPort_data()
    {
        QTest::addColumn<bool>("board");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        QTest::newRow("one board") << true << false << 0 << "identify: AT89S52";
        QTest::newRow("one board, a silent device beside it") << true << true << 0 << "identify: AT89S52";
        QTest::newRow("only a silent device") << false << true << 4 << "found no board";
        QTest::newRow("nothing") << false << false << 4 << "found no board";
    }

    void autoPort()
    {
        QFETCH(bool, board);
        QFETCH(bool, silent);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        QStringList args{"-p", "auto"};
        const auto real = startBoard();
        const auto mute = startBoard({"--silent-after", "I"});
        if (board)
            args << "--candidate" << pathOf(*real);
        if (silent)
            args << "--candidate" << pathOf(*mute);
        const Run run = runCli(args << "identify");
        QVERIFY2(run.exitCode == exitCode, run.what());
        QVERIFY2(run.contains(says), run.what());
        if (silent && !board)
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
            QVERIFY(QDateTime::fromString(o["time"].toString(), Qt::ISODateWithMs).isValid());
            const QString step = o["step"].toString();
            if (step == "write" || step == "verify") {
                const int bytes = step == "write" ? 160 : 8192;
                QCOMPARE(o["fileSha256"].toString(), QString::fromLatin1(sha));
                QCOMPARE(o["fileSize"].toInteger(), smallFile.size());
                QCOMPARE(o["imageBytes"].toInt(), bytes);
                QCOMPARE(o["imageCrc32"].toString(), QString::asprintf("%08x", referenceCrc32(chip.left(bytes))));
            } else {
                QVERIFY(o["file"].isNull());
            }
        }
        QCOMPARE(lines.last()["result"].toString(), QString("chip-failed"));
        QCOMPARE(lines.last()["differingBytes"].toInt(), expected.size());
        QCOMPARE(lines.last()["imageCrc32"].toString(), QString::asprintf("%08x", referenceCrc32(file)));
    }
};

QTEST_GUILESS_MAIN(TestCliBoards)
#include "tst_cli_boards.moc"
