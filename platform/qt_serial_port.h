// The real port, through Qt SerialPort, with COM1 and COM2 mapped to device names.
#pragma once

#include "com_port.h"
#include "file_lock.h"
#include "low_latency.h"
#include "system_port.h"

#include <QString>

#include <array>
#include <memory>

class QSerialPort;

namespace brindle::platform {

class QtSerialPort : public ComPort {
public:
    // devices[0] and devices[1]: what COM1 and COM2 stand for (empty: none found). calls and
    // sysRoot: the system's, unless a test gives its own.
    explicit QtSerialPort(std::array<QString, 2> devices, std::unique_ptr<LatencyCalls> calls = systemLatencyCalls(),
                          std::string sysRoot = "/sys");
    ~QtSerialPort() override;

    [[nodiscard]] std::optional<OpenFailure> open() override;
    void close() override;
    bool isOpen() const override;

    void output(std::string_view text) override;
    std::string input() override;
    bool waitForInput(int msecs) override;
    LatencyReport latency() const override { return latency_; }

private:
    void checkHangUp();
    void closeDevice();

    std::unique_ptr<QSerialPort> port_;
    LowLatency lowLatency_;
    LatencyReport latency_;
    DeviceLock deviceLock_;
    std::string qtLockFile_; // the serial port's own lock file, while open
};

} // namespace brindle::platform
