#include "qt_serial_port.h"

#include "device_names.h"
#include "file_lock.h"
#include "port_facts.h"

#include "stop_signals.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>
#include <fstream>

namespace brindle::platform {

namespace {

// What link needs to word its advice.
OpenFailure refusalOf(std::string reason, QSerialPort::SerialPortError error, const QString& device)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return {std::move(reason), {}, OpenRefusal::NotFound, {}};
    case QSerialPort::PermissionError:
        // Qt reports both "no access" and "in use" as a permission error; the device's owner,
        // group and mode and its lock file tell them apart.
        return {std::move(reason), {}, OpenRefusal::Refused, gatherPortFacts(device.toStdString())};
    case QSerialPort::OpenError:
        return {std::move(reason), {}, OpenRefusal::AlreadyOpen, {}};
    default:
        return {std::move(reason), {}};
    }
}

// The lock file the serial port keeps by the device's name ("LCK..pts_3" for /dev/pts/3), where
// this process wrote it.
std::string toolkitLockFile(std::string device)
{
    if (device.rfind("/dev/", 0) == 0)
        device.erase(0, 5);
    std::replace(device.begin(), device.end(), '/', '_');
    for (const std::string& folder : defaultLockFolders()) {
        const std::string path = folder + "/LCK.." + device;
        std::ifstream file(path);
        std::string content;
        if (file && std::getline(file, content) && lockFilePid(content) == long(QCoreApplication::applicationPid()))
            return path;
    }
    return {};
}

bool isUsbAdapter(const QSerialPortInfo& info)
{
    const QString name = info.portName();
    return info.hasVendorIdentifier() || name.startsWith(QLatin1String("ttyUSB"))
        || name.startsWith(QLatin1String("ttyACM"));
}

} // namespace

QtSerialPort::QtSerialPort(std::array<QString, 2> devices, std::unique_ptr<LatencyCalls> calls, std::string sysRoot)
    : ComPort(std::move(devices)), lowLatency_(std::move(calls), std::move(sysRoot))
{
}

QtSerialPort::~QtSerialPort() { close(); }

std::optional<OpenFailure> QtSerialPort::open()
{
    close();
    latency_ = {};
    const QString name = device(selected());
    if (name.isEmpty())
        return OpenFailure{"no serial port was found for COM" + std::to_string(selected()),
                           "Plug in the programmer's USB serial adapter, or name the device with --com"
                               + std::to_string(selected()) + " PATH."};

    // Locked by the device's number first: another name for it (a second node made with mknod,
    // a bind mount) leads to the same lock, for root too, and the refusal names the holder.
    const std::string system = systemDeviceName(name.toStdString());
    long holder = 0;
    std::string held;
    if (!deviceLock_.take(system, &holder, &held)) {
        PortFacts facts = gatherPortFacts(name.toStdString());
        facts.lock = LockFacts{held, holder, holder > 0};
        return OpenFailure{"the port is in use", {}, OpenRefusal::Refused, facts};
    }
    // Opened by the device's own name, so that the lock file is the device's whatever name it
    // was given: a second program that uses another name for it finds the port in use.
    auto port = std::make_unique<QSerialPort>(QString::fromStdString(system));
    port->setBaudRate(QSerialPort::Baud19200);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite)) {
        deviceLock_.release();
        const auto error = port->error();
        return refusalOf(port->errorString().toStdString(), error, name);
    }
    // Also the device's open file itself, as other programs may lock it: root passes the
    // exclusive open, and they may keep their lock files elsewhere.
    if (!platform::lockFile(int(port->handle()), false)) {
        port->close();
        deviceLock_.release();
        return OpenFailure{"the port is in use", {}, OpenRefusal::Refused, gatherPortFacts(name.toStdString())};
    }
    qtLockFile_ = toolkitLockFile(system);
    if (!qtLockFile_.empty())
        removeOnAbruptEnd(qtLockFile_);
    // A pseudo-terminal has no modem lines; the board simulator does not need DTR.
    port->setDataTerminalReady(true);
    port->clearError();
    // A USB adapter holds what the board sends for up to its latency timer (16 ms on an FTDI),
    // and the protocol waits for every block's reply: asked for, the timer is 1 ms.
    latency_ = lowLatency_.request(static_cast<int>(port->handle()), name.toStdString());
    port_ = std::move(port);
    return std::nullopt;
}

void QtSerialPort::close()
{
    if (!port_)
        return;
    // Whatever was queued last (a lock bit letter, "Z") must still reach the board.
    if (port_->isOpen() && port_->bytesToWrite() > 0)
        port_->waitForBytesWritten(200);
    closeDevice();
}

void QtSerialPort::closeDevice()
{
    if (port_->isOpen()) {
        latency_.note = lowLatency_.restore(static_cast<int>(port_->handle()));
        port_->close();
    }
    port_.reset();
    if (!qtLockFile_.empty())
        forgetOnAbruptEnd(qtLockFile_);
    qtLockFile_.clear();
    deviceLock_.release();
}

bool QtSerialPort::isOpen() const { return port_ && port_->isOpen(); }

void QtSerialPort::output(std::string_view text)
{
    if (!isOpen())
        return;
    port_->write(text.data(), static_cast<qint64>(text.size()));
}

std::string QtSerialPort::input()
{
    if (!isOpen())
        return {};
    // Without an event loop Qt fetches from the device only inside a wait; a zero wait
    // takes in what the system holds and sends what is queued.
    if (port_->bytesAvailable() == 0 || port_->bytesToWrite() > 0) {
        port_->waitForReadyRead(0);
        checkHangUp();
    }
    if (!port_)
        return {};
    const QByteArray data = port_->readAll();
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

bool QtSerialPort::waitForInput(int msecs)
{
    if (!isOpen())
        return false;
    if (port_->bytesAvailable() > 0 && port_->bytesToWrite() == 0)
        return true;
    const bool ready = port_->waitForReadyRead(msecs);
    checkHangUp();
    return ready || (port_ && port_->bytesAvailable() > 0);
}

void QtSerialPort::checkHangUp()
{
    // A vanished adapter (a resource error) or a pseudo-terminal whose other end closed (a
    // read error): the port is gone, and every later wait must end at once instead of
    // polling a dead device, which answers every poll at once.
    if (port_ && (port_->error() == QSerialPort::ResourceError || port_->error() == QSerialPort::ReadError))
        closeDevice();
}

std::unique_ptr<Port> makeSystemPort(std::array<QString, 2> devices)
{
    return std::make_unique<QtSerialPort>(std::move(devices));
}

std::array<QString, 2> defaultComDevices()
{
    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    std::sort(ports.begin(), ports.end(), [](const QSerialPortInfo& a, const QSerialPortInfo& b) {
        const bool usbA = isUsbAdapter(a), usbB = isUsbAdapter(b);
        if (usbA != usbB)
            return usbA;
        return a.systemLocation() < b.systemLocation();
    });
    std::array<QString, 2> devices;
    for (int i = 0; i < 2 && i < ports.size(); ++i)
        devices[static_cast<std::size_t>(i)] = ports[i].systemLocation();
    return devices;
}

} // namespace brindle::platform
