// The low-latency request of the system's port: made when the port opens and undone when it
// closes, seen through the system calls' seam; and a pseudo-terminal's refusal, met through the
// real calls, silent unless traced.
#include "link_rig.h"
#include "low_latency.h"
#include "pty_board.h"
#include "qt_serial_port.h"
#include "stderr_to_file.h"

#include <cerrno>
#include <cstring>

using namespace brindle;
using namespace brindle::link;
using namespace brindle::platform;

namespace {

// Records each call as "get", "set on" or "set off", and the descriptors it was given.
struct FakeCalls : LatencyCalls {
    FakeCalls(Flag flag, int setError) : flag(flag), setError(setError) {}
    Flag lowLatency(int fd) override { return record("get", fd), flag; }
    int setLowLatency(int fd, bool on) override { return record(on ? "set on" : "set off", fd), on ? setError : 0; }
    void record(const char* call, int fd) { calls << call, fds.push_back(fd); }
    Flag flag;
    int setError;
    QStringList calls;
    std::vector<int> fds;
};

// A system tree in which the pseudo-terminal passes for an FTDI adapter with a 1 ms timer.
void fakeFtdi(const QTemporaryDir& root, const std::string& device)
{
    const QString name = QFileInfo(QString::fromStdString(device)).fileName();
    QVERIFY(QDir(root.path()).mkpath("class/tty/" + name + "/device"));
    QVERIFY(QFile::link("../../../../bus/usb-serial/drivers/ftdi_sio", root.filePath("class/tty/" + name + "/device/driver")));
    QVERIFY(QDir(root.path()).mkpath("bus/usb-serial/devices/" + name));
    QFile timer(root.filePath("bus/usb-serial/devices/" + name + "/latency_timer"));
    QVERIFY(timer.open(QIODevice::WriteOnly));
    timer.write("1\n");
}

} // namespace

class TestLowLatency : public QObject {
    Q_OBJECT
private slots:
    void requestedOnOpenUndoneOnClose()
    {
        // the flag as read, the set's error, the calls at open and at close, the report
        const struct { const char* what; LatencyCalls::Flag flag; int setError; QStringList atOpen, atClose; bool on; int refusal; } cases[] = {
            {"flag off: set, cleared at close", {0, false}, 0, {"get", "set on"}, {"set off"}, true, 0},
            {"flag on already: left alone", {0, true}, 0, {"get"}, {}, true, 0},
            {"set refused: nothing to undo", {0, false}, EPERM, {"get", "set on"}, {}, false, EPERM},
            {"no flag: nothing asked", {ENOTTY, false}, 0, {"get"}, {}, false, ENOTTY},
        };
        board::PtyBoard board;
        std::string error;
        QVERIFY2(board.start({}, &error), error.c_str());
        QTemporaryDir root;
        fakeFtdi(root, board.devicePath());
        for (const auto& c : cases) {
            auto fake = std::make_unique<FakeCalls>(c.flag, c.setError);
            QStringList& calls = fake->calls;
            const std::vector<int>& fds = fake->fds;
            QtSerialPort port({QString::fromStdString(board.devicePath()), {}}, std::move(fake), root.path().toStdString());
            QVERIFY2(!port.open(), c.what);
            QCOMPARE(calls, c.atOpen);
            const LatencyReport report = port.latency();
            QCOMPARE(report.on, c.on);
            QCOMPARE(report.refusal, std::string(c.refusal ? std::strerror(c.refusal) : ""));
            QCOMPARE(report.driver, std::string("ftdi_sio"));
            QCOMPARE(report.timerMs, std::optional<int>(1));
            calls.clear();
            port.close();
            QCOMPARE(calls, c.atClose);
            QVERIFY(fds.front() >= 0 && std::all_of(fds.begin(), fds.end(), [&](int fd) { return fd == fds.front(); }));
        }
    }

    // A pseudo-terminal has no flag: silent unless traced.
    void pseudoTerminalRefusalIsSilent()
    {
        board::PtyBoard board;
        std::string error;
        QVERIFY2(board.start({}, &error), error.c_str());
        QTemporaryDir dir;
        const QString path = dir.filePath("stderr.txt");
        for (const bool trace : {false, true}) {
            QtSerialPort port({QString::fromStdString(board.devicePath()), {}});
            test::RecordingPanel panel;
            SerialLink link(port, panel, &panel);
            link.setTrace(trace);
            {
                const test::StderrToFile redirect(path);
                QVERIFY(link.open());
                link.close();
            }
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            const QString note = QStringLiteral("[COM1 low latency: not available (%1)]").arg(std::strerror(ENOTTY));
            QVERIFY2(trace ? text.contains(note) : text.isEmpty(), qPrintable(text));
            QVERIFY(panel.events.empty() && !port.latency().on);
        }
    }
};

QTEST_GUILESS_MAIN(TestLowLatency)
#include "tst_low_latency.moc"
