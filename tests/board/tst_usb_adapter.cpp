// The USB adapter model: when the bytes the board sends reach the program, in which packets.
// Pure, so the times are exact.
#include "usb_adapter.h"

#include <QtTest>

#include <string>
#include <vector>

using namespace brindle::board;
using std::chrono::microseconds;

namespace {

struct Arrival {
    int chars;
    int firstUs; // when the first has crossed the line, from the adapter's start
    int stepUs;  // and each next one later
};

struct Packet {
    int bytes;
    int dueUs;
    bool operator==(const Packet& o) const { return bytes == o.bytes && dueUs == o.dueUs; }
};

struct Case {
    std::string adapter;
    int latencyMs;
    std::vector<Arrival> arrivals;
    std::vector<Packet> packets;
};

QString describe(const std::vector<Packet>& packets)
{
    QStringList shown;
    for (const Packet& p : packets)
        shown << QStringLiteral("%1@%2us").arg(p.bytes).arg(p.dueUs);
    return shown.join(' ');
}

} // namespace

Q_DECLARE_METATYPE(Case)

class TestUsbAdapter : public QObject {
    Q_OBJECT
private slots:
    void packetsAndTheirTimes_data()
    {
        QTest::addColumn<Case>("c");
        QTest::newRow("ftdi: a lone byte waits for the timer's next expiry")
            << Case{"ftdi", 0, {{1, 3000, 0}}, {{1, 16000}}};
        QTest::newRow("ftdi: idle expiries keep the timer's phase") << Case{"ftdi", 0, {{1, 40000, 0}}, {{1, 48000}}};
        QTest::newRow("ftdi: 62 go at once, the rest at the timer")
            << Case{"ftdi", 0, {{64, 5000, 0}}, {{62, 5000}, {2, 21000}}};
        QTest::newRow("ftdi: a block at line rate in timer slices")
            << Case{"ftdi", 0, {{64, 521, 521}}, {{30, 16000}, {31, 32000}, {3, 48000}}};
        QTest::newRow("ftdi at 1 ms: the reply within the millisecond")
            << Case{"ftdi", 1, {{2, 3300, 500}}, {{2, 4000}}};
        QTest::newRow("ftdi: a later reply after the timer restarted on a full packet")
            << Case{"ftdi", 0, {{62, 1000, 0}, {1, 18000, 0}}, {{62, 1000}, {1, 33000}}};
        QTest::newRow("ch340: 32-byte packets, 1 ms") << Case{"ch340", 0, {{40, 2500, 0}}, {{32, 2500}, {8, 3500}}};
        QTest::newRow("pl2303: 64-byte packets, 1 ms") << Case{"pl2303", 0, {{70, 2500, 0}}, {{64, 2500}, {6, 3500}}};
    }
    void packetsAndTheirTimes()
    {
        QFETCH(Case, c);
        const std::optional<AdapterModel> model = adapterModel(c.adapter, c.latencyMs);
        QVERIFY(model);
        const UsbAdapter::TimePoint start{};
        UsbAdapter adapter(*model, start);
        int sent = 0;
        for (const Arrival& a : c.arrivals)
            for (int i = 0; i < a.chars; ++i, ++sent)
                adapter.carry(char('A' + sent % 26), start + microseconds(a.firstUs + i * a.stepUs));
        QCOMPARE(adapter.pending(), std::size_t(sent));

        std::vector<Packet> got;
        std::string bytes;
        while (adapter.pending() > 0 && got.size() < 100) {
            const auto due = std::chrono::duration_cast<microseconds>(adapter.nextPacketDue() - start);
            const std::string packet = adapter.takePacket();
            bytes += packet;
            got.push_back({int(packet.size()), int(due.count())});
        }
        QVERIFY2(got == c.packets, qPrintable(describe(got) + " instead of " + describe(c.packets)));
        QCOMPARE(adapter.nextPacketDue(), UsbAdapter::TimePoint::max());
        for (int i = 0; i < sent; ++i) // nothing lost, nothing reordered
            QCOMPARE(bytes[std::size_t(i)], char('A' + i % 26));
    }
};

QTEST_APPLESS_MAIN(TestUsbAdapter)
#include "tst_usb_adapter.moc"
