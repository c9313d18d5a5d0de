// The real port on Windows, through plain synchronous Win32 calls with COMMTIMEOUTS.
//
// Not QSerialPort, though Unix uses it: under Wine (8.0, Debian 12), where the Windows build's
// tests run, Qt 6.4.2's QSerialPort opens a COM port and writes to it, but its waitForReadyRead()
// never sees the reply (tried: the simulated board answers "I" within 20 ms on Linux; under Wine
// nothing came in 3 s). Every operation waits for replies that way, so the Windows build could
// not be tested. A blocking ReadFile with read timeouts works under Wine and is what Windows
// documents for a COM port.
#pragma once

#include "com_port.h"
#include "system_port.h"

#include <QString>

#include <array>
#include <string>

namespace brindle::platform {

class Win32SerialPort : public ComPort {
public:
    // devices[0] and devices[1]: what COM1 and COM2 stand for ("COM1", "COM7", "\\.\COM12").
    explicit Win32SerialPort(std::array<QString, 2> devices);
    ~Win32SerialPort() override;

    [[nodiscard]] std::optional<OpenFailure> open() override;
    void close() override;
    bool isOpen() const override;

    void output(std::string_view text) override;
    std::string input() override;
    bool waitForInput(int msecs) override;

private:
    // Characters the system holds for reading; 0, and the port closed, once the device has vanished.
    std::size_t inputQueued();
    bool setReadWait(int msecs);
    void hangUp();

    void* handle_ = nullptr; // HANDLE; null while closed
    int readWait_ = -1;      // the wait the port's read timeouts are set to; -1: not known
    std::string pending_;    // read by waitForInput, not yet taken by input
};

} // namespace brindle::platform
