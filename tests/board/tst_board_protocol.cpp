// The board's protocol and chip model, character by character, without any I/O.
#include "board_protocol.h"

#include <QtTest>

#include <string>

using namespace brindle::board;

namespace {

// Everything the board answers to the characters of text, run together.
std::string feed(BoardProtocol& board, const std::string& text)
{
    std::string out;
    for (char c : text)
        out += board.receive(c).reply;
    return out;
}

// One 32-byte block of the given byte as it goes over the line.
std::string block(const char* byte)
{
    return QByteArray(byte).repeated(32).toStdString();
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

} // namespace

class TestBoardProtocol : public QObject {
    Q_OBJECT
private slots:
    // (The lock bits, and an erase clearing them, are taken one by one below.)
    void eraseBlankAndAnUnerasedWrite()
    {
        BoardProtocol board(findChipType("AT89C1051"));
        QCOMPARE(feed(board, "N"), std::string("N"));
        QCOMPARE(writeImage(board, 1, "5A"), std::string("QQW"));
        QCOMPARE(feed(board, "N"), std::string("n"));
        QCOMPARE(feed(board, "W" + block("FF")), std::string("Qw")); // not erased: a 0 cannot go back to 1
        QCOMPARE(feed(board, "S"), std::string("S"));
        QCOMPARE(feed(board, "N"), std::string("N"));
    }

    // The program stops sending at the status letter, so a longer image looks the same as a full one.
    void writeHandshake()
    {
        const std::string full = std::string(32, 'Q') + "W"; // 32 blocks fill an AT89C1051
        for (const auto& [blocks, answers] :
             {std::pair<int, std::string>{0, "QW"}, {3, "QQQQW"}, {32, full}, {40, full}}) {
            BoardProtocol board(findChipType("AT89C1051"));
            QCOMPARE(writeImage(board, blocks, "3C"), answers);
            for (int a = 0; a < 1024; ++a)
                QCOMPARE(board.chip()->cell(a), a < std::min(blocks, 32) * 32 ? 0x3C : 0xFF);
            QCOMPARE(feed(board, "I"), std::string("11")); // back to commands
        }
    }

    // Each lock bit alone on a programmed chip: what a read, a blank check and a further write
    // then meet, and that an erase clears it. Lock bit 2 hides the data (FF blocks, then "r");
    // lock bit 3 leaves reading and writing as they were.
    void lockBitsOneByOne_data()
    {
        QTest::addColumn<QString>("letter");
        QTest::addColumn<QString>("firstBlock");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("rewrite");
        QTest::newRow("LB1") << "A" << "5A" << "R" << "w";
        QTest::newRow("LB2") << "B" << "FF" << "r" << "QQW";
        QTest::newRow("LB3") << "C" << "5A" << "R" << "QQW";
    }
    void lockBitsOneByOne()
    {
        QFETCH(QString, letter);
        QFETCH(QString, firstBlock);
        QFETCH(QString, status);
        QFETCH(QString, rewrite);
        BoardProtocol board(findChipType("AT89C1051"));
        QCOMPARE(writeImage(board, 1, "5a"), std::string("QQW")); // lower-case data is taken too
        QCOMPARE(feed(board, letter.toStdString()), letter.toStdString());
        const int bit = letter.at(0).toLatin1() - 'A' + 1;
        for (int b = 1; b <= 3; ++b)
            QCOMPARE(board.chip()->lockBit(b), b == bit);

        const std::string ff = block("FF");
        std::string read = feed(board, "R"), last, expected = block(firstBlock.toLatin1().constData());
        QCOMPARE(read, std::string());
        for (int b = 0; b < 32; ++b)
            read += last = feed(board, "T");
        for (int b = 1; b < 32; ++b)
            expected += ff;
        QCOMPARE(read, expected + status.toStdString());
        QCOMPARE(last, ff + status.toStdString()); // the status comes in the last block's reply
        QCOMPARE(feed(board, "T"), std::string("r")); // the read is over
        QCOMPARE(feed(board, "N"), std::string("n")); // the flash itself still holds the data
        QCOMPARE(writeImage(board, 1, "00"), rewrite.toStdString());

        QCOMPARE(feed(board, "S"), std::string("S"));
        for (int b = 1; b <= 3; ++b)
            QVERIFY(!board.chip()->lockBit(b));
        QCOMPARE(feed(board, "N"), std::string("N"));
        QCOMPARE(feed(board, "RT"), ff);
    }
};

QTEST_APPLESS_MAIN(TestBoardProtocol)
#include "tst_board_protocol.moc"
