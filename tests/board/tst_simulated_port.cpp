// The simulated board inside the program, as the serial link sees it through the port
// interface: line-rate and adapter timing, hang-up, and COM2 left to the system's port.
#include "simulated_port.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace brindle;
using namespace brindle::board;

namespace {

// COM2's port: records what reaches it.
struct FakePort : platform::Port {
    void select(int commPort) override { chosen = commPort; }
    int selected() const override { return chosen; }
    std::string deviceName() const override { return "/dev/ttyS1"; }
    std::optional<platform::OpenFailure> open() override { return up = true, std::nullopt; }
    void close() override { up = false; }
    bool isOpen() const override { return up; }
    void output(std::string_view text) override { sent += text; }
    std::string input() override { return "from COM2"; }
    bool waitForInput(int) override { return true; }
    std::string sent;
    int chosen = 1;
    bool up = false;
};

BoardOptions options(const std::vector<std::string>& args)
{
    BoardOptions o;
    if (std::string error; !parseBoardOptions(args, &o, &error))
        qFatal("%s", error.c_str());
    return o;
}

// Collects `n` characters, waiting at most `ms` in all.
std::string collect(platform::Port& port, std::size_t n, int ms)
{
    QElapsedTimer timer;
    timer.start();
    std::string got;
    while (got.size() < n && timer.elapsed() < ms && port.isOpen()) {
        port.waitForInput(int(ms - timer.elapsed()));
        got += port.input();
    }
    return got;
}

} // namespace

class TestSimulatedPort : public QObject {
    Q_OBJECT
private slots:
    // A 32-byte block read (64 characters back) takes its line time: at 1920 characters a
    // second at least 30 ms; nothing is readable the moment the command goes out.
    void pacesAtTheLineRate()
    {
        SimulatedPort port(options({"--pace"}));
        QVERIFY(!port.open());
        QElapsedTimer timer;
        timer.start();
        port.output("RT");
        QCOMPARE(port.input(), std::string());
        const std::string block = collect(port, 64, 2000); // bound: far beyond the 34 ms due
        QCOMPARE(block, std::string(64, 'F'));
        QVERIFY2(timer.elapsed() >= 30, qPrintable(QString::number(timer.elapsed())));
    }

    // Behind an FTDI adapter a reply waits for the adapter's timer to run out. Each reply of a
    // lock-step exchange comes at a later expiry than the one before, so five exchanges take at
    // least four periods, however the thread is scheduled.
    void ftdiHoldsRepliesForItsTimer()
    {
        SimulatedPort port(options({"--adapter", "ftdi", "--latency-ms", "50"}));
        QVERIFY(!port.open());
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 5; ++i) {
            port.output("I");
            QCOMPARE(collect(port, 2, 2000), std::string("62")); // bound: far beyond the 50 ms timer
        }
        QVERIFY2(timer.elapsed() >= 200, qPrintable(QString::number(timer.elapsed())));
    }

    // A board that hangs up is a port that closes itself once its last reply is read, and
    // does not open again.
    void hangUpClosesThePort()
    {
        SimulatedPort port(options({"--hang-up-after=1"}));
        QVERIFY(!port.open());
        port.output("RTT");
        QCOMPARE(collect(port, 200, 1000), std::string(64, 'F')); // bound: the board closes at once
        QVERIFY(!port.isOpen());
        QVERIFY(!port.waitForInput(10));
        QVERIFY(port.open().has_value());
    }

    // COM2 is the system's port; COM1 the board, whose chip keeps what was written while the
    // port is closed and opened again.
    void com2IsTheSystemPort()
    {
        auto others = std::make_unique<FakePort>();
        FakePort* com2 = others.get();
        SimulatedPort port(options({}), std::move(others));
        port.select(2);
        QVERIFY(com2->chosen == 2 && port.deviceName() == "/dev/ttyS1");
        QVERIFY(!port.open());
        port.output("I");
        QCOMPARE(com2->sent, std::string("I"));
        QCOMPARE(port.input(), std::string("from COM2"));
        port.close();
        port.select(1);
        QCOMPARE(port.deviceName(), std::string(SimulatedPort::kDeviceName));
        QVERIFY(!port.open());
        port.output("IW" + std::string(64, '0') + "Z");
        QCOMPARE(port.input(), std::string("62QQW")); // unpaced: at once
        port.close();
        QVERIFY(!port.isOpen() && !port.open());
        port.output("RT");
        QCOMPARE(port.input(), std::string(64, '0'));
    }
};

QTEST_GUILESS_MAIN(TestSimulatedPort)
#include "tst_simulated_port.moc"
