// What COM1 and COM2 stand for, written once for every system port.
#pragma once

#include "port.h"

#include <QString>

#include <array>

namespace brindle::platform {

class ComPort : public Port {
public:
    // devices[0] and devices[1]: what COM1 and COM2 stand for ("/dev/ttyUSB0", "COM7"; empty:
    // none found).
    explicit ComPort(std::array<QString, 2> devices) : devices_(std::move(devices)) {}

    // Anything but 1 and 2 leaves the choice as it was.
    void select(int commPort) override;
    int selected() const override { return commPort_; }
    std::string deviceName() const override { return device(commPort_).toStdString(); }

    // Empty for anything but 1 and 2.
    QString device(int commPort) const;

private:
    std::array<QString, 2> devices_;
    int commPort_ = 1;
};

} // namespace brindle::platform
