// The simulated board over a real pseudo-terminal, reached as the program reaches a port.
#include "pty_board.h"

#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using brindle::board::BoardOptions;
using brindle::board::PtyBoard;

namespace {

// The program's end of the line, opened and closed like its serial port.
class Port {
public:
    explicit Port(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY))
    {
        termios raw{};
        if (fd_ >= 0 && ::tcgetattr(fd_, &raw) == 0) {
            ::cfmakeraw(&raw);
            ::tcsetattr(fd_, TCSANOW, &raw);
        }
    }
    ~Port()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool isOpen() const { return fd_ >= 0; }
    void send(const std::string& text) { QCOMPARE(::write(fd_, text.data(), text.size()), ssize_t(text.size())); }
    // Up to n characters; fewer when the line stays quiet for quietMs or fails.
    std::string receive(std::size_t n, int quietMs = 5000)
    {
        std::string got;
        char buffer[256];
        while (got.size() < n) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, quietMs) <= 0)
                break;
            const ssize_t k = ::read(fd_, buffer, sizeof buffer);
            if (k <= 0) {
                failed_ = true;
                break;
            }
            got.append(buffer, std::size_t(k));
        }
        return got;
    }
    bool failed() const { return failed_; }

private:
    int fd_;
    bool failed_ = false;
};

BoardOptions options(const char* chip)
{
    BoardOptions o;
    o.chip = chip;
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
        QVERIFY(board.devicePath().rfind("/dev/", 0) == 0);
        {
            Port port(board.devicePath());
            QVERIFY(port.isOpen());
            port.send("I");
            QCOMPARE(port.receive(2), std::string("21"));
            port.send("W" + std::string(64, '0') + "Z");
            QCOMPARE(port.receive(3), std::string("QQW"));
        }
        Port again(board.devicePath()); // closing the port did not end the board
        again.send("N");
        QCOMPARE(again.receive(1), std::string("n"));
        QVERIFY(!board.start(options("AT89C2051"), &error));
        PtyBoard unknown;
        QVERIFY(!unknown.start(options("Z80"), &error));
        QVERIFY(!error.empty());
    }

    void hangsUpDuringAWrite()
    {
        BoardOptions o = options("AT89C2051");
        o.hangUpAfterBlocks = 1;
        PtyBoard board;
        std::string error;
        QVERIFY(board.start(o, &error));
        Port port(board.devicePath());
        port.send("W" + std::string(64, '0'));
        QCOMPARE(port.receive(2), std::string("Q"));
        QVERIFY(port.failed()); // the program's read fails rather than waiting
        QTRY_VERIFY(!board.isServing());
        QVERIFY(!Port(board.devicePath()).isOpen());
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
