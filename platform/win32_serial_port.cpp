#include "win32_serial_port.h"

#include <QSerialPortInfo>
#include <QStringList>

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>

namespace brindle::platform {

namespace {

HANDLE native(void* handle) { return static_cast<HANDLE>(handle); }

// The wait the link asks for most: its repaint period.
constexpr int kDefaultWait = 30;

std::string systemMessage(DWORD error)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    QString text = length ? QString::fromWCharArray(buffer, int(length)).trimmed() : QString();
    LocalFree(buffer);
    // The link ends the sentence itself.
    while (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text.isEmpty())
        text = QStringLiteral("system error %1").arg(error);
    return text.toStdString();
}

// "COM3" sorts before "COM10".
int comNumber(const QString& name)
{
    return name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) ? name.mid(3).toInt() : 0;
}

std::string portsAdvice(int commPort)
{
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names << info.portName();
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int na = comNumber(a), nb = comNumber(b);
        return na != nb ? na < nb : a < b;
    });
    const std::string how = "name the programmer's port with --com" + std::to_string(commPort)
                            + " COMn when starting the window, or with -p COMn for brindle-cli.";
    if (names.isEmpty())
        return "No serial ports were found. Plug in the programmer's USB serial adapter, then " + how;
    return "The serial ports on this computer: " + names.join(QStringLiteral(", ")).toStdString() + ". To use another, "
           + how;
}

OpenFailure openFailure(DWORD error, const QString& name, int commPort)
{
    switch (error) {
    case ERROR_ACCESS_DENIED:
        // Windows opens a COM port for one program at a time.
        return {"access denied", "Another program holds " + name.toStdString()
                                     + ": close it (a terminal program, or another Brindle) and try again."};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return {"this computer has no such port", portsAdvice(commPort)};
    default:
        return {systemMessage(error), {}};
    }
}

} // namespace

Win32SerialPort::Win32SerialPort(std::array<QString, 2> devices) : ComPort(std::move(devices)) {}

Win32SerialPort::~Win32SerialPort() { close(); }

std::optional<OpenFailure> Win32SerialPort::open()
{
    close();
    const QString name = device(selected());
    if (name.isEmpty())
        return OpenFailure{"no serial port was found for COM" + std::to_string(selected()),
                           "Plug in the programmer's USB serial adapter, or name its port with --com"
                               + std::to_string(selected()) + " COMn."};

    // Without the device namespace prefix only COM1 to COM9 can be opened.
    const QString path = name.startsWith(QLatin1String("\\\\")) ? name : QStringLiteral("\\\\.\\") + name;
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return openFailure(GetLastError(), name, selected());

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    bool ok = GetCommState(handle, &dcb);
    if (ok) {
        dcb.BaudRate = CBR_19200;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        // A line error would otherwise fail reads and writes until cleared, as if the device
        // had vanished.
        dcb.fAbortOnError = FALSE;
        ok = SetCommState(handle, &dcb);
    }
    if (!ok) {
        const DWORD error = GetLastError();
        CloseHandle(handle);
        return openFailure(error, name, selected());
    }
    PurgeComm(handle, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);

    handle_ = handle;
    readWait_ = -1;
    if (!setReadWait(kDefaultWait)) {
        const DWORD error = GetLastError();
        CloseHandle(handle);
        handle_ = nullptr;
        return openFailure(error, name, selected());
    }
    // The link's short naps between characters would otherwise last a whole 15.6 ms tick.
    timeBeginPeriod(1);
    return std::nullopt;
}

void Win32SerialPort::close()
{
    pending_.clear();
    if (!handle_)
        return;
    // Whatever was written last (a lock bit letter, "Z") must still reach the board.
    FlushFileBuffers(native(handle_));
    hangUp();
}

void Win32SerialPort::hangUp()
{
    if (!handle_)
        return;
    CloseHandle(native(handle_));
    handle_ = nullptr;
    timeEndPeriod(1);
}

bool Win32SerialPort::isOpen() const { return handle_ != nullptr; }

void Win32SerialPort::output(std::string_view text)
{
    while (handle_ && !text.empty()) {
        DWORD written = 0;
        const DWORD chunk = DWORD(std::min<std::size_t>(text.size(), 1u << 16));
        // No flow control: a write that does not finish within its timeout has no device
        // left behind it.
        if (!WriteFile(native(handle_), text.data(), chunk, &written, nullptr) || written == 0) {
            hangUp();
            return;
        }
        text.remove_prefix(written);
    }
}

std::string Win32SerialPort::input()
{
    std::string text = std::move(pending_);
    pending_.clear();
    // What a wait took in before the device vanished is still the board's reply.
    for (std::size_t queued = 0; (queued = inputQueued()) > 0;) {
        char buffer[4096];
        DWORD got = 0;
        // No more than the queue holds, so that the read returns at once whatever wait the
        // timeouts are set to.
        if (!ReadFile(native(handle_), buffer, DWORD(std::min(queued, sizeof buffer)), &got, nullptr)) {
            hangUp();
            break;
        }
        if (got == 0)
            break;
        text.append(buffer, got);
    }
    return text;
}

bool Win32SerialPort::waitForInput(int msecs)
{
    if (!pending_.empty() || inputQueued() > 0)
        return true;
    if (!handle_ || msecs <= 0)
        return false;
    if (!setReadWait(msecs)) {
        hangUp();
        return false;
    }
    // One character: Wine returns a larger read only when the whole wait has passed, Windows
    // on the first character either way.
    char c;
    DWORD got = 0;
    if (!ReadFile(native(handle_), &c, 1, &got, nullptr)) {
        hangUp();
        return false;
    }
    if (got == 1)
        pending_ += c;
    return got == 1;
}

std::size_t Win32SerialPort::inputQueued()
{
    if (!handle_)
        return 0;
    DWORD errors = 0;
    COMSTAT status{};
    // Fails once the device has vanished (a USB adapter unplugged, the far end of Wine's
    // pseudo-terminal closed), where a read may just time out.
    if (!ClearCommError(native(handle_), &errors, &status)) {
        hangUp();
        return 0;
    }
    return status.cbInQue;
}

bool Win32SerialPort::setReadWait(int msecs)
{
    if (msecs == readWait_)
        return true;
    COMMTIMEOUTS timeouts{};
    // Return on the first character, or empty once msecs have passed.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = DWORD(msecs);
    // A character takes about half a millisecond at 19200 baud.
    timeouts.WriteTotalTimeoutMultiplier = 2;
    timeouts.WriteTotalTimeoutConstant = 2000;
    if (!SetCommTimeouts(native(handle_), &timeouts)) {
        readWait_ = -1;
        return false;
    }
    readWait_ = msecs;
    return true;
}

std::unique_ptr<Port> makeSystemPort(std::array<QString, 2> devices)
{
    return std::make_unique<Win32SerialPort>(std::move(devices));
}

std::array<QString, 2> defaultComDevices() { return {QStringLiteral("COM1"), QStringLiteral("COM2")}; }

} // namespace brindle::platform
