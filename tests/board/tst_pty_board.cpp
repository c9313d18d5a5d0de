// The simulated board over a real pseudo-terminal, reached as the program reaches a port.
#include "pty_board.h"

#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using brindle::board::BoardOptions;
using brindle::board::PtyBoard;

namespace {

// The program's end of the line, opened and closed like its serial port (the board has
// made the line raw already).
struct Port {
    int fd;
    bool failed = false;

    explicit Port(const std::string& path) : fd(::open(path.c_str(), O_RDWR | O_NOCTTY)) {}
    ~Port()
    {
        if (fd >= 0)
            ::close(fd);
    }
    void send(const std::string& text) { QCOMPARE(::write(fd, text.data(), text.size()), ssize_t(text.size())); }
    // Up to n characters; fewer when the line stays quiet for quietMs or fails.
    std::string receive(std::size_t n, int quietMs = 5000)
    {
        std::string got;
        char buffer[256];
        pollfd p{fd, POLLIN, 0};
        while (got.size() < n && ::poll(&p, 1, quietMs) > 0) {
            const ssize_t k = ::read(fd, buffer, sizeof buffer);
            if ((failed = k <= 0))
                break;
            got.append(buffer, std::size_t(k));
        }
        return got;
    }
};

BoardOptions options(const char* chip, int hangUpAfterBlocks = -1)
{
    BoardOptions o;
    o.chip = chip;
    o.hangUpAfterBlocks = hangUpAfterBlocks;
    return o;
}

} // namespace

class TestPtyBoard : public QObject {
    Q_OBJECT
private slots:
    void answersAcrossPortOpenings()
    {
        PtyBoard board;
        std::string error;
        QVERIFY(board.start(options("AT89C2051"), &error));
        {
            Port port(board.devicePath());
            port.send("I");
            QCOMPARE(port.receive(2), std::string("21"));
            port.send("W" + std::string(64, '0') + "Z");
            QCOMPARE(port.receive(3), std::string("QQW"));
        }
        Port again(board.devicePath()); // closing the port did not end the board
        again.send("N");
        QCOMPARE(again.receive(1), std::string("n"));
    }

    void hangsUpDuringAWrite()
    {
        PtyBoard board;
        std::string error;
        QVERIFY(board.start(options("AT89C2051", 1), &error));
        Port port(board.devicePath());
        port.send("W" + std::string(64, '0'));
        QCOMPARE(port.receive(2), std::string("Q"));
        QVERIFY(port.failed); // the program's read fails rather than waiting
        QTRY_VERIFY(!board.isServing());
        QVERIFY(Port(board.devicePath()).fd < 0);
    }

    void pacesAndStopsWhileBusy()
    {
        BoardOptions o = options("AT89C1051");
        o.pacing = true;
        o.eraseDelayMs = 600000;
        PtyBoard board;
        std::string error;
        QVERIFY(board.start(o, &error));
        Port port(board.devicePath());
        QElapsedTimer timer;
        timer.start();
        port.send("RT");
        QCOMPARE(port.receive(64).size(), std::size_t(64));
        // 66 characters at 1920 a second take 34 ms; only a floor can be relied on.
        QVERIFY2(timer.elapsed() >= 30, qPrintable(QString::number(timer.elapsed())));
        port.send("S");
        QCOMPARE(port.receive(1, 50), std::string());
        board.stop(); // would hang here for the ten-minute erase if stop() did not wake it
        QVERIFY(!board.isServing());
    }
};

QTEST_APPLESS_MAIN(TestPtyBoard)
#include "tst_pty_board.moc"
