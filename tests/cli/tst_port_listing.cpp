// What `ports` says of each adapter's driver and FTDI latency timer, read from a system tree
// made up for the test, with and without what a probe found.
#include "port_search.h"

#include <QtTest>

#include <cerrno>
#include <cstring>

using namespace brindle;
using namespace brindle::link;

namespace {

enum class Probed { No, Granted, Refused };

struct Case {
    QString driver;  // empty: no entry in the tree, as for a pseudo-terminal
    QString timer;   // latency_timer's content; empty: no such file
    Probed probed;
    QString line;    // the port's line after its path
    bool rule;       // the udev rule follows
};

const char kRule[] = "ACTION==\"add\", SUBSYSTEM==\"usb-serial\", DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\"";

void makeTree(const QString& root, const QString& name, const Case& c)
{
    if (c.driver.isEmpty())
        return;
    QVERIFY(QDir(root).mkpath("class/tty/" + name + "/device"));
    QVERIFY(QFile::link("../../../../bus/usb-serial/drivers/" + c.driver, root + "/class/tty/" + name + "/device/driver"));
    if (c.timer.isEmpty())
        return;
    QVERIFY(QDir(root).mkpath("bus/usb-serial/devices/" + name));
    QFile file(root + "/bus/usb-serial/devices/" + name + "/latency_timer");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(c.timer.toLatin1());
}

} // namespace

Q_DECLARE_METATYPE(Case)

class TestPortListing : public QObject {
    Q_OBJECT
private slots:
    void driverAndLatencyTimer_data()
    {
        const QString asks = QStringLiteral(" (Brindle asks for 1 ms while it has the port open; ports --probe tries it)");
        QTest::addColumn<Case>("c");
        QTest::newRow("FTDI at 16 ms, not probed")
            << Case{"ftdi_sio", "16\n", Probed::No, "candidate, driver ftdi_sio, latency timer 16 ms" + asks, false};
        QTest::newRow("FTDI at 16 ms, 1 ms granted")
            << Case{"ftdi_sio", "16\n", Probed::Granted,
                    "candidate, driver ftdi_sio, latency timer 16 ms (1 ms while Brindle has the port open)  [no answer]", false};
        QTest::newRow("FTDI at 16 ms, refused")
            << Case{"ftdi_sio", "16\n", Probed::Refused, "candidate, driver ftdi_sio, latency timer 16 ms  [no answer]", true};
        QTest::newRow("FTDI at 1 ms already")
            << Case{"ftdi_sio", "1\n", Probed::Refused, "candidate, driver ftdi_sio, latency timer 1 ms  [no answer]", false};
        QTest::newRow("CH340: no timer") << Case{"ch341", "", Probed::No, "candidate, driver ch341", false};
        QTest::newRow("pseudo-terminal: nothing known") << Case{"", "", Probed::No, "candidate", false};
    }
    void driverAndLatencyTimer()
    {
        QFETCH(Case, c);
        QTemporaryDir root;
        const QString device = QStringLiteral("/dev/ttyUSB93"); // no such device: only the tree knows it
        makeTree(root.path(), "ttyUSB93", c);
        std::vector<PortInfo> ports = listPorts({device}, root.path().toStdString());
        ports.erase(ports.begin(), ports.end() - 1); // the system's own ports come first
        std::vector<Probe> probes;
        if (c.probed != Probed::No) {
            Probe probe;
            probe.path = device;
            probe.words = QStringLiteral("no answer");
            probe.latency.asked = true;
            probe.latency.on = c.probed == Probed::Granted;
            probe.latency.refusal = c.probed == Probed::Refused ? std::strerror(EPERM) : "";
            probe.latency.timerMs = c.probed == Probed::Granted ? 1 : 16;
            probes.push_back(probe);
        }
        const QStringList lines = portListing(ports, probes).split('\n');
        QCOMPARE(lines.first(), device + "  " + c.line);
        QCOMPARE(lines.last() == QLatin1String("    ") + kRule, c.rule);
        if (c.rule)
            QVERIFY2(lines[1].contains(std::strerror(EPERM)), qPrintable(lines[1]));
        else
            QCOMPARE(lines.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPortListing)
#include "tst_port_listing.moc"
