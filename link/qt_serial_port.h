// The real port, through Qt SerialPort, with COM1 and COM2 mapped to device names.
#pragma once

#include "file_lock.h"
#include "low_latency.h"
#include "system_port.h"

#include <QString>

#include <array>
#include <memory>

class QSerialPort;

namespace brindle::link {

class QtSerialPort : public Port {
public:
    // devices[0] and devices[1]: what COM1 and COM2 stand for (empty: none found). calls and
    // sysRoot: the system's, unless a test gives its own.
    explicit QtSerialPort(std::array<QString, 2> devices, std::unique_ptr<LatencyCalls> calls = systemLatencyCalls(),
                          std::string sysRoot = "/sys");
    ~QtSerialPort() override;

    void select(int commPort) override;
    int selected() const override { return commPort_; }
    std::string deviceName() const override;

    [[nodiscard]] std::optional<OpenFailure> open() override;
    void close() override;
    bool isOpen() const override;

    void output(std::string_view text) override;
    std::string input() override;
    bool waitForInput(int msecs) override;
    LatencyReport latency() const override { return latency_; }

    QString device(int commPort) const;

private:
    void checkHangUp();
    void closeDevice();

    std::array<QString, 2> devices_;
    int commPort_ = 1;
    std::unique_ptr<QSerialPort> port_;
    LowLatency lowLatency_;
    LatencyReport latency_;
    DeviceLock deviceLock_;
    std::string qtLockFile_; // the serial port's own lock file, while open
};

} // namespace brindle::link
