// The simulated board over a real pseudo-terminal, reached as the program reaches a port. (The
// adapter models' timing is tested in-process; the pty shares its line.)
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
            if (k <= 0)
                break;
            got.append(buffer, std::size_t(k));
        }
        return got;
    }
};

} // namespace

class TestPtyBoard : public QObject {
    Q_OBJECT
private slots:
    void servesAcrossPortOpeningsAndStopsWhileBusy()
    {
        BoardOptions o;
        o.chip = "AT89C2051";
        o.pacing = true;
        o.eraseDelayMs = 600000;
        PtyBoard board;
        std::string error;
        QVERIFY(board.start(o, &error));
        {
            Port port(board.devicePath());
            port.send("I");
            QCOMPARE(port.receive(2), std::string("21"));
            port.send("W" + std::string(64, '0') + "Z");
            QCOMPARE(port.receive(3), std::string("QQW"));
        }
        Port again(board.devicePath()); // closing the port did not end the board
        QElapsedTimer timer;
        timer.start();
        again.send("RT");
        QCOMPARE(again.receive(64), std::string(64, '0'));
        // The line's due times reach the pty too: 66 characters at 1920 a second take 34 ms.
        QVERIFY2(timer.elapsed() >= 30, qPrintable(QString::number(timer.elapsed())));
        again.send("S");
        QCOMPARE(again.receive(1, 50), std::string());
        board.stop(); // would hang here for the ten-minute erase if stop() did not wake it
        QVERIFY(!board.isServing());
    }
};

QTEST_APPLESS_MAIN(TestPtyBoard)
#include "tst_pty_board.moc"
