// The board's protocol and chip model, character by character, without any I/O.
#include "board_protocol.h"

#include <QtTest>

#include <random>
#include <string>

using brindle::board::BoardProtocol;
using brindle::board::ChipType;
using brindle::board::chipTypes;
using brindle::board::findChipType;

namespace {

// Everything the board answers to the characters of text, run together.
std::string feed(BoardProtocol& board, const std::string& text)
{
    std::string out;
    for (char c : text)
        out += board.receive(c).reply;
    return out;
}

std::string block(const char* byte)
{
    std::string b;
    for (int i = 0; i < 32; ++i)
        b += byte;
    return b;
}

// Writes blocks of the given byte, each answer collected; the image ends with "Z" when its
// length differs from the chip's, as the program does.
std::string writeImage(BoardProtocol& board, int blocks, const char* byte)
{
    std::string answers = feed(board, "W");
    for (int i = 0; i < blocks && answers.back() == 'Q'; ++i)
        answers += feed(board, block(byte));
    if (answers.back() == 'Q')
        answers += feed(board, "Z");
    return answers;
}

const ChipType& chip(const char* name)
{
    return *findChipType(name);
}

} // namespace

class TestBoardProtocol : public QObject {
    Q_OBJECT
private slots:
    void identifiesEachChip()
    {
        for (const ChipType& type : chipTypes()) {
            BoardProtocol board(&type);
            QCOMPARE(feed(board, "I"), std::string(type.code));
            QCOMPARE(board.chip()->size(), type.size);
        }
        QCOMPARE(chip("at89c2051").size, 2048);
        QCOMPARE(chip("55").name, std::string_view("AT89C55WD"));
    }

    void emptySocketFailsEveryCommand()
    {
        BoardProtocol board(nullptr);
        QCOMPARE(feed(board, "I"), std::string("00"));
        QCOMPARE(feed(board, "SNABCWZ"), std::string("snabcww"));
        QCOMPARE(feed(board, "R"), std::string("r"));
        QCOMPARE(feed(board, "T"), std::string("r"));
    }

    void eraseBlankAndLockBits()
    {
        BoardProtocol board(&chip("AT89C1051"));
        QCOMPARE(feed(board, "N"), std::string("N"));
        QCOMPARE(writeImage(board, 1, "5A"), std::string("QQW"));
        QCOMPARE(feed(board, "N"), std::string("n"));
        QCOMPARE(feed(board, "ABC"), std::string("ABC"));
        QVERIFY(board.chip()->lockBit(1) && board.chip()->lockBit(3));
        QCOMPARE(feed(board, "S"), std::string("S"));
        QCOMPARE(feed(board, "N"), std::string("N"));
        QVERIFY(!board.chip()->lockBit(1) && !board.chip()->lockBit(2));
    }

    void writeHandshake_data()
    {
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QString>("answers");
        const QString full = "Q" + QString(31, 'Q') + "W"; // 32 blocks fill an AT89C1051
        QTest::newRow("nothing, then Z") << 0 << "QW";
        QTest::newRow("shorter, then Z") << 3 << "QQQQW";
        QTest::newRow("exactly the chip") << 32 << full;
        QTest::newRow("longer: status once full") << 40 << full;
    }
    void writeHandshake()
    {
        QFETCH(int, blocks);
        QFETCH(QString, answers);
        BoardProtocol board(&chip("AT89C1051"));
        QCOMPARE(QString::fromStdString(writeImage(board, blocks, "3C")), answers);
        const int written = std::min(blocks, 32) * 32;
        for (int a = 0; a < 1024; ++a)
            QCOMPARE(board.chip()->cell(a), a < written ? 0x3C : 0xFF);
        QCOMPARE(feed(board, "I"), std::string("11")); // back to commands
    }

    void failedBlocksAnswerLowerCase_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("answers");
        const QString zeros = QString::fromStdString(block("00"));
        const QString ones = QString::fromStdString(block("FF"));
        QTest::newRow("not erased") << "W" + zeros + "Z" << ones << "Qw";
        QTest::newRow("lock bit 1") << "A" << zeros << "w";
        QTest::newRow("not hexadecimal") << "" << "G" + zeros.mid(1) << "Qw";
        QTest::newRow("line end inside") << "" << "00\r\n" + zeros.mid(4) << "Qw";
    }
    void failedBlocksAnswerLowerCase()
    {
        QFETCH(QString, before);
        QFETCH(QString, data);
        QFETCH(QString, answers);
        BoardProtocol board(&chip("AT89S52"));
        feed(board, before.toStdString());
        const std::string wire = data.toStdString();
        QCOMPARE(QString::fromStdString(feed(board, "W" + wire)), answers);
        QCOMPARE(feed(board, "I"), std::string("62")); // the write is over
    }

    void readSendsBlocksThenStatusInTheSameReply()
    {
        BoardProtocol board(&chip("AT89C1051"));
        feed(board, "W" + block("a5") + "Z"); // lower-case data is taken too
        QCOMPARE(feed(board, "R"), std::string());
        QCOMPARE(feed(board, "T"), block("A5"));
        for (int b = 1; b < 31; ++b)
            QCOMPARE(feed(board, "T"), block("FF"));
        QCOMPARE(feed(board, "T"), block("FF") + "R");
        QCOMPARE(feed(board, "T"), std::string("r")); // the read is over
    }

    void lockBit2HidesTheCode()
    {
        BoardProtocol board(&chip("AT89C1051"));
        feed(board, "W" + block("12") + "ZB");
        std::string read = feed(board, "R");
        for (int b = 0; b < 32; ++b)
            read += feed(board, "T");
        QCOMPARE(read, std::string(2048, 'F') + "r");
    }

    void strayCharactersAreIgnored()
    {
        BoardProtocol board(&chip("AT89C2051"));
        QCOMPARE(feed(board, "\r\nxyz?I\r\n"), std::string("21"));
        // Between blocks: a line end is skipped, a new command abandons the write.
        QCOMPARE(feed(board, "W" + block("00") + "\n" + block("11") + "I"), std::string("QQQ21"));
        // Between read blocks: junk is skipped, a command other than "T" ends the read.
        QCOMPARE(feed(board, "R\r\nx") + feed(board, "N"), std::string("n"));
        // A block that never completes is dropped when the line falls idle.
        feed(board, "SW0000");
        QVERIFY(board.inMiddleOfBlock());
        board.lineIdle();
        QCOMPARE(feed(board, "I"), std::string("21"));
    }

    void survivesAnyBytes()
    {
        std::mt19937 random(7);
        BoardProtocol board(&chip("AT89C55WD"));
        const std::string alphabet = "WRTZSNIABC0123456789ABCDEF\r\nxq";
        for (int i = 0; i < 200000; ++i) {
            const bool anyByte = random() % 4 == 0;
            const char c = anyByte ? static_cast<char>(random() % 256)
                                   : alphabet[random() % alphabet.size()];
            QVERIFY(board.receive(c).reply.size() <= 65);
        }
    }
};

QTEST_APPLESS_MAIN(TestBoardProtocol)
#include "tst_board_protocol.moc"
