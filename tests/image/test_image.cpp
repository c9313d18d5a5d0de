// The code image: Intel HEX files (what LOAD stores and how far, why it rejects a file whole,
// the exact file SAVE writes, that a failed write leaves the old file) and the grid's cells.
#include "code_image.h"
#include "hex_file.h"
#include "hex_record.h"

#include <QtTest>

#ifdef BRINDLE_POSIX_TESTS
#include "file_size_limit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace brindle::image;

namespace {

QByteArray bytesOf(int n, int first = 0)
{
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b += static_cast<char>((first + i) & 0xFF);
    return b;
}

const QByteArray kEnd = ":00000001FF";

HexReadResult parse(const QByteArray& text)
{
    return parseHex(std::string_view(text.constData(), static_cast<std::size_t>(text.size())), "T.HEX");
}

} // namespace

class TestImage : public QObject {
    Q_OBJECT

private slots:
    // Each row loads 16 bytes A0.. at 0000 and 16 bytes B0.. at 0010 as far as loadedEnd, nothing
    // else; a file without its end record loads with a warning. (LOAD's titles and rounding are
    // tested in the window.)
    void accepted_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("loadedEnd");
        QTest::addColumn<QString>("warning");
        const QByteArray a = hexRecord(0, bytesOf(16, 0xA0), 0, "");
        const QByteArray b = hexRecord(16, bytesOf(16, 0xB0), 0, "");
        const QByteArray crlf = a + "\r\n" + b + "\r\n" + kEnd + "\r\n";
        const QString cut = "T.HEX: no end record (:00000001FF) after line %1: the file may have been cut off.";
        QTest::newRow("end record only") << kEnd + "\r\n" << 0 << "";
        QTest::newRow("LF alone") << a + "\n" + b + "\n" + kEnd + "\n" << 32 << "";
        QTest::newRow("CR alone") << a + "\r" + b + "\r" + kEnd + "\r" << 32 << "";
        QTest::newRow("blank lines, lower case") << "\r\n\n  \r\n" + a.toLower() + "\r\n\t\r\n" + b + "\n\n" << 32 << cut.arg(6);
        QTest::newRow("later records win") << hexRecord(8, bytesOf(16, 0x55), 0, "\n") + b + "\n" + a << 32 << cut.arg(3);
        QTest::newRow("zero-base 02 and 04") << hexRecord(0, QByteArray(2, 0), 2, "\n") +
                                                    hexRecord(0, QByteArray(2, 0), 4, "\n") + crlf << 32 << "";
        QTest::newRow("start addresses 03 and 05") << a + "\n" + hexRecord(0, "\x12\x34\x56\x78", 3, "\n") +
                                                          hexRecord(0, "\x9A\xBC\xDE\xF0", 5, "\n") + b << 32 << cut.arg(4);
        QTest::newRow("byte-order mark, DOS end marks") << "\xEF\xBB\xBF" + crlf + "\x1A\x1A" << 32 << "";
        QTest::newRow("anything after the end") << crlf + ":ZZ\r\n" + hexRecord(0, bytesOf(16)) + QByteArray("\0\xFF", 2) << 32 << "";
    }
    void accepted()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, loadedEnd);
        QFETCH(QString, warning);
        const HexReadResult r = parse(text);
        QVERIFY2(!r.problem, r.problem ? qPrintable(r.problem->message) : "");
        QCOMPARE(r.warning, warning);
        QCOMPARE(r.data.loadedEnd, loadedEnd);
        CodeBuffer b;
        applyHex(r.data, b);
        for (int i = 0; i < kImageSize; ++i) {
            const int expected = i >= loadedEnd ? 0xFF : i < 16 ? 0xA0 + i : 0xB0 + i - 16;
            if (b[i] != expected)
                QFAIL(qPrintable(QString("address %1: %2, expected %3").arg(i).arg(b[i]).arg(expected)));
        }
    }

    void rejected_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<HexError>("error");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("reason");
        const QByteArray ff = ":10001000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF";
        const QByteArray good = hexRecord(0, bytesOf(16));
        const QString onlyZero = "; the code memory ends at FFFF, so only 0000 fits.";
        QTest::newRow("checksum") << good + ff + "3F" << HexError::BadChecksum << 2
                                  << "checksum is 3F, the record needs F0.";
        QTest::newRow("digit") << good + ":10001000FFFFFFFFFFFFFFFGFFFFFFFFFFFFFFFFF0" << HexError::BadDigit << 2
                               << "position 25 holds 'G', not a hexadecimal digit.";
        QTest::newRow("length") << good + ff << HexError::BadLength << 2
                                << "the line has 41 characters; its byte count 10 needs 43.";
        QTest::newRow("no ':'") << good + ff.mid(1) + "F0" << HexError::NoStartMark << 2
                                << "the line starts with '1' instead of ':'.";
        QTest::newRow("past FFFF") << good + hexRecord(0xFFF8, bytesOf(16)) << HexError::PastEnd << 2
                                   << "16 bytes at FFF8 would run past FFFF.";
        QTest::newRow("type 06") << good + hexRecord(0, "", 6) << HexError::BadRecordType << 2
                                 << "record type 06 is not one of 00 to 05.";
        QTest::newRow("02 non-zero") << good + hexRecord(0, QByteArray("\x10\x00", 2), 2) << HexError::NonZeroBase << 2
                                     << "record type 02 sets the base 1000" + onlyZero;
        QTest::newRow("04 non-zero") << good + hexRecord(0, QByteArray("\x00\x01", 2), 4) << HexError::NonZeroBase << 2
                                     << "record type 04 sets the base 0001" + onlyZero;
        QTest::newRow("binary") << good + QByteArray(":10\0", 4) << HexError::NotText << 2
                                << "position 4 holds the byte 00, which is not text: this is not an Intel HEX file.";
        // Both marks are passed over only where editors put them.
        QTest::newRow("DOS end mark inside") << good.chopped(2) + "\x1A\r\n" + good << HexError::NotText << 1
                                             << "position 44 holds the byte 1A, which is not text: this is not an Intel HEX file.";
        QTest::newRow("byte-order mark on line 2") << good + "\xEF\xBB\xBF" + good << HexError::NotText << 2
                                                   << "position 1 holds the byte EF, which is not text: this is not an Intel HEX file.";
        QTest::newRow("lines counted over all endings") << "\r\n\n\r" + good + "\n" + kEnd.mid(1)
                                                        << HexError::NoStartMark << 6
                                                        << "the line starts with '0' instead of ':'.";
        // An empty file is most often a build that failed; WRITE after it would write nothing.
        for (const QByteArray& empty : {QByteArray(), QByteArray("\r\n \n\t\r\n"), QByteArray("\xEF\xBB\xBF\x1A")})
            QTest::addRow("no records: %s", empty.toHex().constData())
                << empty << HexError::NoRecords << 0 << "the file holds no records (did its build fail?).";
    }
    void rejected()
    {
        QFETCH(QByteArray, text);
        QFETCH(HexError, error);
        QFETCH(int, line);
        QFETCH(QString, reason);
        const HexReadResult r = parse(text);
        QVERIFY(r.problem.has_value());
        QCOMPARE(r.problem->error, error);
        QCOMPARE(r.problem->line, line);
        QCOMPARE(r.problem->message, (line ? QString("T.HEX, line %1: ").arg(line) : QString("T.HEX: ")) + reason);
        QVERIFY(r.data.runs.empty() && r.data.bytes.empty());
        QCOMPARE(r.data.loadedEnd, 0);
    }

    void saveExampleLines()
    {
        CodeBuffer buffer;
        buffer[0x20] = 0x01; // 0x10 + 0x20 + 0x01 + 15 * 0xFF = 0xF22: checksum DE
        HexGrid grid;
        grid.redraw(buffer);
        grid.setText(4, 1, "ab"); // the cell text as it stands, counted as AB
        const QList<QByteArray> lines = QByteArray::fromStdString(hexRecords(grid, 4)).split('\n');
        QCOMPARE(lines.value(0), QByteArray(":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\r"));
        QCOMPARE(lines.value(1), QByteArray(":10001000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF0\r"));
        QCOMPARE(lines.value(2), QByteArray(":1000200001FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFDE\r"));
        QCOMPARE(lines.value(3), QByteArray(":10003000abFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF24\r"));
    }

    void saveSizeAndLoadBack()
    {
        CodeBuffer original;
        for (int a = 0; a < kImageSize; ++a)
            original[a] = static_cast<std::uint8_t>((a * 7 + a / 256) & 0xFF);
        HexGrid grid;
        grid.redraw(original);
        for (const auto& [rows, size] : {std::pair{0, 15}, {64, 2895}, {4096, 184335}}) {
            const std::string file = hexRecords(grid, rows);
            const QByteArray bytes = QByteArray::fromStdString(file);
            QCOMPARE(bytes.size(), size);
            QVERIFY(bytes.endsWith(":00000001FF\r\n\r\n"));
            QCOMPARE(bytes.count("\r\n"), rows + 2);
            QCOMPARE(bytes.count('\n'), rows + 2);
            const HexReadResult r = parseHex(file, "ROUND.HEX");
            QVERIFY(!r.problem);
            QCOMPARE(r.data.loadedEnd, rows * 16);
            CodeBuffer back;
            applyHex(r.data, back);
            QVERIFY(std::equal(back.data(), back.data() + rows * 16, original.data()));
            QVERIFY(std::all_of(back.data() + rows * 16, back.data() + kImageSize, [](auto b) { return b == 0xFF; }));
        }
    }

    // A write that cannot be done leaves the old file whole: to a missing folder, and (Unix) one
    // failing half-way over an existing file on a full file system, both one that fills the
    // write buffer and one that only fails once flushed.
    void failedWriteKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("OUT.HEX");
        const std::string old(3000, 'o');
        QCOMPARE(writeFileAtomically(path, std::string(5000, 'x')), std::nullopt);
        QCOMPARE(writeFileAtomically(path, old), std::nullopt); // a shorter file leaves no tail
        std::optional<QString> reason = writeFileAtomically(dir.filePath("no/such/OUT.HEX"), "data");
        QVERIFY(reason.has_value() && !reason->isEmpty());
#ifdef BRINDLE_POSIX_TESTS
        std::optional<QString> buffered;
        {
            const FileSizeLimit full(4096);
            QVERIFY(full.isSet());
            buffered = writeFileAtomically(path, std::string(6000, 'n'));
            reason = writeFileAtomically(path, std::string(100000, 'n'));
        }
        QVERIFY2(buffered && buffered->contains("large"), "a write failing at its flush was reported as done");
        QVERIFY2(reason && reason->contains("large"), "a write past the size limit was reported as done");
#endif
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().toStdString(), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"OUT.HEX"});
    }

#ifdef BRINDLE_POSIX_TESTS
    // A pipe or device (read FILE to /dev/stdout) is written to, not replaced by a file, which
    // root could do even in /dev.
    void pipeIsWrittenNotReplaced()
    {
        QTemporaryDir dir;
        const QString pipe = dir.filePath("pipe.hex");
        QCOMPARE(::mkfifo(qPrintable(pipe), 0600), 0);
        const int reader = ::open(qPrintable(pipe), O_RDONLY | O_NONBLOCK); // the writer does not wait
        QVERIFY(reader >= 0);
        QCOMPARE(writeFileAtomically(pipe, "data"), std::nullopt);
        char got[8] = {};
        const auto n = ::read(reader, got, sizeof got);
        ::close(reader);
        QCOMPARE(QByteArray(got, int(std::max<ssize_t>(n, 0))), QByteArray("data"));
        QVERIFY(!QFileInfo(pipe).isFile());
    }
#endif

    // Only regular files are read: opening a named pipe would wait for a writer for ever.
    void unreadableFilesAreRejected()
    {
        QTemporaryDir dir;
        QStringList paths = {dir.path(), dir.filePath("gone.hex")};
#ifdef BRINDLE_POSIX_TESTS
        QCOMPARE(QProcess::execute("mkfifo", {dir.filePath("pipe.hex")}), 0);
        paths << dir.filePath("pipe.hex");
#endif
        for (const QString& path : paths) {
            const HexReadResult r = readHexFile(path);
            QVERIFY(r.problem && r.problem->error == HexError::CannotOpen);
            QVERIFY(r.problem->message.startsWith(QDir::toNativeSeparators(path) + ": cannot open the file: "));
        }
    }

    // Each cell shows its address's byte after every redraw (saveSizeAndLoadBack reads them all
    // back); the header row is the caller's.
    void gridAfterRedraw()
    {
        CodeBuffer buffer;
        HexGrid grid;
        grid.setText(0, 3, "kept");
        grid.redraw(buffer);
        buffer[1] = 0x0A;
        buffer[0xFFFF] = 0x5C;
        grid.redraw(buffer);
        QCOMPARE(grid.text(1, 1) + grid.text(1, 2) + grid.text(4096, 0) + grid.text(4096, 16) + grid.text(0, 3),
                 std::string("FF0AFFF05Ckept"));
    }

    // Odd cell texts count in SAVE's checksum as their leading hexadecimal digits.
    void texts()
    {
        QCOMPARE(readHexField(" 1\t2\n3"), 0x123u);
        QCOMPARE(readHexField("1G2"), 0x1u);
        QCOMPARE(readHexField(""), 0u);
    }

    void firstMalformedCell()
    {
        const struct { int row, column; const char* text; int lastRow, expected; } cases[] = {
            {1, 1, "ab", 4096, -1},    {292, 5, "F", 4096, 0x1234}, {2, 1, "", 4096, 0x10},
            {1, 2, " F", 4096, 1},     {4096, 16, "FFF", 4096, 0xFFFF},
            {65, 1, "XX", 64, -1},     {64, 16, "XX", 64, 0x3FF}, // only rows up to lastRow count
        };
        for (const auto& c : cases) {
            HexGrid grid;
            grid.redraw(CodeBuffer());
            grid.setText(c.row, c.column, c.text);
            QCOMPARE(grid.firstMalformedCell(c.lastRow), c.expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestImage)
#include "test_image.moc"
