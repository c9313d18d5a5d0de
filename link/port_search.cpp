#include "port_search.h"

#include "board_ops.h"
#include "device_names.h"
#include "stop_signals.h"
#include "system_port.h"

#include <QSerialPortInfo>
#include <QThread>

#include <algorithm>
#include <memory>

namespace brindle::link {

namespace {

// A probe shows nothing as it goes.
class Unwatched : public TransferMonitor {
public:
    void progress(int, int) override {}
    void idle() override {}
};

Probe probe(const QString& path, double timeoutScale)
{
    const std::unique_ptr<platform::Port> port = platform::makeSystemPort({path, QString()});
    Unwatched unwatched;
    link::SerialLink serial(*port, unwatched, nullptr);
    serial.setTimeoutScale(timeoutScale);
    image::HexGrid grid;
    link::Session session;
    link::BoardOps ops(serial, unwatched, nullptr, grid, session);
    ops.setInterruptFlag(&platform::stopFlag()); // a stop ends the wait for every port's answer
    const link::Outcome outcome = ops.reset();

    Probe found;
    found.path = path;
    found.result = outcome.result;
    found.latency = port->latency();
    found.chip = outcome.chip;
    if (outcome.ok() && outcome.chip) {
        found.words = "board, " + QString::fromUtf8(outcome.chip->name.data(), int(outcome.chip->name.size())) + " in the socket";
    } else if (outcome.result == link::Result::NoChip) {
        found.words = QStringLiteral("board, no chip in the socket");
    } else if (outcome.result == link::Result::PortError) {
        found.words = QStringLiteral("cannot be opened");
    } else if (outcome.result == link::Result::BadReply) {
        found.words = "something that is not the board answered \"" + QString::fromStdString(outcome.reply) + "\"";
    } else {
        found.words = QStringLiteral("no answer");
    }
    return found;
}

// The name a user gives -p: /dev/ttyUSB0, or COM3 where the system's own is \\.\COM3.
QString openName(const QSerialPortInfo& info)
{
    const QString location = info.systemLocation();
    return location.startsWith(QLatin1String("\\\\.\\")) ? info.portName() : location;
}

} // namespace

std::vector<PortInfo> listPorts(const QStringList& candidates, const std::string& sysRoot)
{
    std::vector<PortInfo> ports;
    QList<QSerialPortInfo> system = QSerialPortInfo::availablePorts();
    std::sort(system.begin(), system.end(), [](const QSerialPortInfo& a, const QSerialPortInfo& b) {
        return a.systemLocation() < b.systemLocation();
    });
    for (const QSerialPortInfo& info : system) {
        PortInfo port{openName(info), info.description(), info.manufacturer(), {}, info.serialNumber(), {}};
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            port.usb = QStringLiteral("%1:%2").arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                           .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
        port.adapter = platform::adapterFacts(port.path.toStdString(), info.hasVendorIdentifier() ? info.vendorIdentifier() : 0,
                                          sysRoot);
        ports.push_back(port);
    }
    // A candidate that is a listed port by another name would be probed twice at once.
    for (const QString& candidate : candidates)
        if (std::none_of(ports.begin(), ports.end(), [&](const PortInfo& p) {
                return platform::sameDevice(p.path.toStdString(), candidate.toStdString());
            }))
            ports.push_back({candidate, QStringLiteral("candidate"), {}, {}, {},
                             platform::adapterFacts(candidate.toStdString(), 0, sysRoot)});
    return ports;
}

std::vector<Probe> probePorts(const std::vector<PortInfo>& ports, double timeoutScale)
{
    std::vector<Probe> probes(ports.size());
    std::vector<std::unique_ptr<QThread>> threads;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        threads.emplace_back(QThread::create([&, i] { probes[i] = probe(ports[i].path, timeoutScale); }));
        threads.back()->start();
    }
    for (auto& thread : threads)
        thread->wait();
    return probes;
}

bool findOneBoard(const std::vector<Probe>& probes, QString* device, QString* error)
{
    QStringList boards;
    for (const Probe& p : probes)
        if (p.board())
            boards << p.path + " (" + p.words + ")";
    if (boards.size() == 1) {
        *device = boards[0].left(boards[0].indexOf(QLatin1String(" (")));
        return true;
    }
    QStringList seen;
    for (const Probe& p : probes)
        seen << "  " + p.path + ": " + p.words;
    *error = (boards.isEmpty() ? QStringLiteral("-p auto found no board")
                               : QStringLiteral("-p auto found %1 boards; name the one to use with -p").arg(boards.size()))
             + (seen.isEmpty() ? QStringLiteral(" (no serial ports; add devices with --candidate).")
                               : ":\n" + seen.join('\n'));
    return false;
}

namespace {

struct LatencyLines {
    QString fact;   // for the port's line
    QString advice; // for the lines under it
};

// What the listing says of an FTDI adapter's latency timer: its value, whether the program gets
// 1 ms while it has the port open, and where it does not, how the user makes 1 ms permanent.
LatencyLines latencyLines(const platform::AdapterFacts& adapter, const Probe* probe)
{
    if (!adapter.ftdi)
        return {};
    const std::optional<int> timer = adapter.latencyTimerMs;
    LatencyLines lines{timer ? QStringLiteral("latency timer %1 ms").arg(*timer) : QString(), {}};
    const QString advice = QString::fromStdString(platform::lastingLatencyAdvice());
    if (timer && *timer <= 1)
        return lines;
    if (!platform::programLowersLatency()) {
        lines.advice = advice;
        return lines;
    }
    if (!probe || probe->result == link::Result::PortError) {
        lines.fact += QStringLiteral(" (Brindle asks for 1 ms while it has the port open; ports --probe tries it)");
        return lines;
    }
    const platform::LatencyReport& report = probe->latency;
    if (report.on && report.timerMs.value_or(1) <= 1) {
        lines.fact += QStringLiteral(" (1 ms while Brindle has the port open)");
        return lines;
    }
    const QString why = !report.refusal.empty() ? QString::fromStdString(report.refusal)
                        : report.timerMs ? QStringLiteral("the driver kept %1 ms").arg(*report.timerMs)
                                         : QString();
    lines.advice = "Brindle could not lower the latency timer to 1 ms" + (why.isEmpty() ? QString() : " (" + why + ")")
                   + ". " + advice;
    return lines;
}

} // namespace

QString portListing(const std::vector<PortInfo>& ports, const std::vector<Probe>& probes)
{
    if (ports.empty())
        return QStringLiteral("No serial ports found.");
    QStringList lines;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const PortInfo& p = ports[i];
        const Probe* probe = i < probes.size() ? &probes[i] : nullptr;
        const LatencyLines latency = latencyLines(p.adapter, probe);
        QStringList facts;
        for (const QString& fact : {p.description, p.manufacturer, p.usb.isEmpty() ? QString() : "USB " + p.usb,
                                    p.serial.isEmpty() ? QString() : "serial " + p.serial,
                                    p.adapter.driver.empty() ? QString() : "driver " + QString::fromStdString(p.adapter.driver),
                                    latency.fact})
            if (!fact.isEmpty())
                facts << fact;
        QString line = p.path + (facts.isEmpty() ? QString() : "  " + facts.join(", "));
        if (probe)
            line += "  [" + probe->words + "]";
        lines << line;
        for (const QString& advice : latency.advice.split('\n', Qt::SkipEmptyParts))
            lines << "    " + advice;
    }
    return lines.join('\n');
}

} // namespace brindle::link
